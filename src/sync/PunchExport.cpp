#include "sync/PunchExport.h"

#include "sync/Database.h"
#include "sync/FieldText.h"
#include "sync/Punch.h"
#include "sync/PunchRows.h"
#include "sync/ZoneClock.h"

#include <QSqlQuery>
#include <QVariant>

#include <QDateTime>

namespace {

constexpr const char *TimeText = "yyyy-MM-dd HH:mm:ss";

using namespace FieldText;

// The time of a row: its wall-clock time, or with `utc` the UTC time and a Z.
void appendTime(QByteArray &out, const ExportRow &r, bool utc)
{
    char time[20];
    if (!utc) {
        PunchTime::writeText(r.stamp, time, true);
        out.append(time, 19);
        return;
    }
    PunchTime::writeText(PunchTime::stampAt(PunchTime::secondsOf(r.stamp) - r.utcOffset), time, true);
    time[19] = 'Z';
    out.append(time, 20);
}

class CsvFormatter : public RowFormatter {
public:
    CsvFormatter(bool utc, bool spreadsheetSafe) : utc_(utc), safe_(spreadsheetSafe) {}
    void begin(QByteArray &out) override { out.append("terminal,identity,serial,card,card_hex,time,flag,suspect\r\n"); }
    void row(const ExportRow &r, QByteArray &out) override
    {
        appendCsvCell(out, r.terminal, safe_);
        out.append(',');
        appendCsvCell(out, r.identity, safe_);
        out.append(',');
        appendDecimal(out, r.serial);
        out.append(',');
        appendCardDecimal(out, r.card);
        out.append(',');
        appendCardHex(out, r.card);
        out.append(',');
        appendTime(out, r, utc_);
        out.append(',');
        appendCsvCell(out, r.flag, safe_);
        out.append(',');
        appendCsvCell(out, r.suspect, safe_);
        out.append("\r\n");
    }

private:
    bool utc_, safe_;
};

class JsonLinesFormatter : public RowFormatter {
public:
    explicit JsonLinesFormatter(bool utc) : utc_(utc) {}
    void row(const ExportRow &r, QByteArray &out) override
    {
        PunchExport::appendJsonObject(r, out, utc_, false);
        out.append('\n');
    }

private:
    bool utc_;
};

// A terminal's clock has no zone: the moment is read as wall-clock fields (held as UTC, which has no
// gaps), so that a daylight-saving change of this computer's zone neither refuses nor shifts it.
std::optional<QDateTime> readMoment(const QString &text, bool &dateOnly)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid()) {
        dateOnly = true;
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    dateOnly = false;
    if (text.size() < 16 || (text[10] != u'T' && text[10] != u' ')) return std::nullopt;
    const QDate day = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
    if (!time.isValid()) time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm"));
    if (!day.isValid() || !time.isValid()) return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

bool flush(const PunchExport::Sink &out, QByteArray &buffer, QString &error)
{
    if (buffer.isEmpty()) return true;
    if (!out(buffer)) {
        error = QStringLiteral("cannot write the export");
        return false;
    }
    buffer.clear();
    return true;
}

}  // namespace

namespace PunchExport {

std::unique_ptr<RowFormatter> formatter(const QString &format, FormatOptions options)
{
    if (format == QLatin1String("csv")) return std::make_unique<CsvFormatter>(options.utc, options.spreadsheetSafe);
    if (format == QLatin1String("jsonl")) return std::make_unique<JsonLinesFormatter>(options.utc);
    return nullptr;
}

void appendJsonObject(const ExportRow &r, QByteArray &out, bool utc, bool withId)
{
    out.append("{\"terminal\":");
    appendJsonString(out, r.terminal);
    out.append(",\"identity\":");
    appendJsonString(out, r.identity);
    out.append(",\"serial\":");
    appendDecimal(out, r.serial);
    out.append(",\"card\":\"");
    appendCardDecimal(out, r.card);
    out.append("\",\"card_hex\":\"");
    appendCardHex(out, r.card);
    out.append("\",\"time\":\"");
    appendTime(out, r, utc);
    // The moment itself: the wall-clock time and the offset it was placed at.
    char moment[25];
    PunchTime::writeText(r.stamp, moment, true);
    writeUtcOffset(r.utcOffset, moment + 19);
    out.append("\",\"utc\":\"").append(moment, 25).append("\",\"flag\":");
    appendJsonString(out, r.flag);
    out.append(",\"suspect\":");
    appendJsonString(out, r.suspect);
    if (withId)
        out.append(",\"id\":\"").append(r.identity).append(':').append(QByteArray::number(r.serial)).append('"');
    out.append('}');
}

bool readFrom(const QString &text, ExportFilter &filter, QString &error)
{
    bool dateOnly = false;
    const std::optional<QDateTime> t = readMoment(text, dateOnly);
    if (!t) {
        error = QStringLiteral("wants a date yyyy-MM-dd or a time yyyy-MM-ddTHH:mm:ss, not \"%1\"").arg(text);
        return false;
    }
    filter.from = t->toString(QLatin1String(TimeText));
    return true;
}

bool readTo(const QString &text, ExportFilter &filter, QString &error)
{
    bool dateOnly = false;
    const std::optional<QDateTime> t = readMoment(text, dateOnly);
    if (!t) {
        error = QStringLiteral("wants a date yyyy-MM-dd or a time yyyy-MM-ddTHH:mm:ss, not \"%1\"").arg(text);
        return false;
    }
    // A day includes all of it; a time includes that second.
    filter.until = (dateOnly ? t->addDays(1) : t->addSecs(1)).toString(QLatin1String(TimeText));
    return true;
}

bool checkFilter(Database &db, const ExportFilter &filter, FilterProblem &problem, QString &error)
{
    problem = FilterProblem::None;
    if (!filter.from.isEmpty() && !filter.until.isEmpty() && filter.from >= filter.until) {
        problem = FilterProblem::EmptyRange;
        return true;
    }
    if (filter.terminal.isEmpty()) return true;
    QSqlQuery q(db.sql());
    q.prepare(QStringLiteral("SELECT count(*) FROM terminals WHERE name = ?"));
    q.addBindValue(filter.terminal);
    if (!db.exec(q, error)) return false;
    if (q.next() && q.value(0).toLongLong() == 0) problem = FilterProblem::UnknownTerminal;
    return true;
}

bool write(Database &db, const ExportFilter &filter, RowFormatter &formatter, const Sink &out, qint64 &rows,
           QString &error)
{
    rows = 0;
    QByteArray buffer;
    buffer.reserve(1 << 17);
    formatter.begin(buffer);
    bool written = true;
    const bool read = PunchRows::byTime(
        db, filter,
        [&](const ExportRow &r) {
            formatter.row(r, buffer);
            ++rows;
            written = buffer.size() < (1 << 16) || flush(out, buffer, error);
            return written;
        },
        error);
    if (!read) return false;
    return flush(out, buffer, error);
}

}  // namespace PunchExport
