#include "sync/PunchExport.h"

#include "common/CsvText.h"
#include "common/TextCodec.h"
#include "sync/Database.h"
#include "sync/Punch.h"
#include "layout/RecordLayout.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSqlError>
#include <QVariant>

namespace {

constexpr const char *TimeText = "yyyy-MM-dd HH:mm:ss";

void appendCardDecimal(QByteArray &out, uint32_t card)
{
    char digits[10];
    for (int i = 9; i >= 0; --i) {
        digits[i] = char('0' + card % 10);
        card /= 10;
    }
    out.append(digits, 10);
}

void appendCardHex(QByteArray &out, uint32_t card)
{
    static const char hex[] = "0123456789ABCDEF";
    for (int shift = 28; shift >= 0; shift -= 4) out.append(hex[(card >> shift) & 0xF]);
}

void appendCsvField(QByteArray &out, QByteArray field, bool spreadsheetSafe)
{
    // A spreadsheet takes a cell starting with one of these for a formula.
    const char first = field.isEmpty() ? '\0' : field[0];
    if (spreadsheetSafe && (first == '=' || first == '+' || first == '-' || first == '@')) field.prepend('\'');
    CsvText::appendField(out, field);
}

void appendJsonString(QByteArray &out, const QByteArray &utf8)
{
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out.append('\\').append(c);
        else if (u < 0x20 || u == 0x7f)
            out.append("\\u00").append(hex[u >> 4]).append(hex[u & 0xF]);
        else
            out.append(c);
    }
    out.append('"');
}

class CsvFormatter : public RowFormatter {
public:
    explicit CsvFormatter(bool spreadsheetSafe) : safe_(spreadsheetSafe) {}
    void begin(QByteArray &out) override { out.append("terminal,identity,serial,card,card_hex,time,flag,suspect\r\n"); }
    void row(const ExportRow &r, QByteArray &out) override
    {
        appendCsvField(out, r.terminal.toUtf8(), safe_);
        out.append(',');
        appendCsvField(out, r.identity.toUtf8(), safe_);
        out.append(',').append(QByteArray::number(r.serial)).append(',');
        appendCardDecimal(out, r.card);
        out.append(',');
        appendCardHex(out, r.card);
        out.append(',');
        char time[19];
        PunchTime::writeText(r.stamp, time, true);
        out.append(time, 19).append(',');
        appendCsvField(out, r.flag, safe_);
        out.append(',');
        appendCsvField(out, r.suspect, safe_);
        out.append("\r\n");
    }

private:
    bool safe_;
};

class JsonLinesFormatter : public RowFormatter {
public:
    void row(const ExportRow &r, QByteArray &out) override
    {
        out.append("{\"terminal\":");
        appendJsonString(out, r.terminal.toUtf8());
        out.append(",\"identity\":");
        appendJsonString(out, r.identity.toUtf8());
        out.append(",\"serial\":").append(QByteArray::number(r.serial)).append(",\"card\":\"");
        appendCardDecimal(out, r.card);
        out.append("\",\"card_hex\":\"");
        appendCardHex(out, r.card);
        out.append("\",\"time\":\"");
        char time[19];
        PunchTime::writeText(r.stamp, time, true);
        out.append(time, 19).append("\",\"flag\":");
        appendJsonString(out, r.flag);
        out.append(",\"suspect\":");
        appendJsonString(out, r.suspect);
        out.append("}\n");
    }
};

// The console's record layout for consumers of its formatted files: each field written from the
// stored punch as a raw record line would hold it (the machine number being the terminal's address),
// the separators in GB18030, lines ended by CR LF.
class LayoutFormatter : public RowFormatter {
public:
    explicit LayoutFormatter(const RecordLayout &layout)
        : decimalCards_(layout.decimalCards), fullYear_(layout.fullYear)
    {
        for (const LayoutPiece &p : layoutPieces(layout)) {
            if (p.field == RecordField::None)
                pieces_.push_back({p.field, TextCodec::encode(p.literal)});
            else
                pieces_.push_back({p.field, {}});
        }
    }
    void row(const ExportRow &r, QByteArray &out) override
    {
        char time[19];  // yyyy-MM-dd HH:mm:ss
        PunchTime::writeText(r.stamp, time, false);
        for (const Piece &p : pieces_) {
            switch (p.field) {
            case RecordField::None:
                out.append(p.literal);
                break;
            case RecordField::Machine: {
                const char machine[3] = {char('0' + r.address / 100 % 10), char('0' + r.address / 10 % 10),
                                         char('0' + r.address % 10)};
                out.append(machine, 3);
                break;
            }
            case RecordField::Card:
                decimalCards_ ? appendCardDecimal(out, r.card) : appendCardHex(out, r.card);
                break;
            case RecordField::Year:
                out.append(fullYear_ ? time : time + 2, fullYear_ ? 4 : 2);
                break;
            case RecordField::Month:
                out.append(time + 5, 2);
                break;
            case RecordField::Day:
                out.append(time + 8, 2);
                break;
            case RecordField::Hour:
                out.append(time + 11, 2);
                break;
            case RecordField::Minute:
                out.append(time + 14, 2);
                break;
            case RecordField::Second:
                out.append(time + 17, 2);
                break;
            case RecordField::Flag:
                appendFlag(out, r.flag.left(4));
                break;
            }
        }
        out.append("\r\n");
    }

private:
    // A flag is printable ASCII as the terminals send it; other stored bytes are read one a character.
    static void appendFlag(QByteArray &out, const QByteArray &flag)
    {
        for (char c : flag)
            if (uchar(c) >= 0x80) return void(out.append(TextCodec::encode(QString::fromLatin1(flag))));
        out.append(flag);
    }

    struct Piece {
        RecordField field;
        QByteArray literal;
    };
    std::vector<Piece> pieces_;
    bool decimalCards_, fullYear_;
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

std::unique_ptr<RowFormatter> formatter(const QString &format, bool spreadsheetSafe)
{
    if (format == QLatin1String("csv")) return std::make_unique<CsvFormatter>(spreadsheetSafe);
    if (format == QLatin1String("jsonl")) return std::make_unique<JsonLinesFormatter>();
    return nullptr;
}

std::unique_ptr<RowFormatter> layoutFormatter(const RecordLayout &layout)
{
    return std::make_unique<LayoutFormatter>(layout);
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
    const QString stamp = db.postgres() ? QStringLiteral("to_char(p.at, 'YYYYMMDDHH24MISS')")
                                        : QStringLiteral("replace(replace(replace(p.at, '-', ''), ' ', ''), ':', '')");
    QString sql = QStringLiteral("SELECT t.name, t.identity, t.address, p.serial, p.card, %1, p.flag, "
                                 "p.suspect FROM punches p JOIN terminals t ON t.id = p.terminal_id WHERE 1 = 1")
                      .arg(stamp);
    QVariantList binds;
    if (!filter.from.isEmpty()) {
        sql += db.postgres() ? QStringLiteral(" AND p.at >= CAST(? AS TIMESTAMP)") : QStringLiteral(" AND p.at >= ?");
        binds << filter.from;
    }
    if (!filter.until.isEmpty()) {
        sql += db.postgres() ? QStringLiteral(" AND p.at < CAST(? AS TIMESTAMP)") : QStringLiteral(" AND p.at < ?");
        binds << filter.until;
    }
    if (!filter.terminal.isEmpty()) {
        sql += QStringLiteral(" AND t.name = ?");
        binds << filter.terminal;
    }
    if (filter.terminalId > 0) {
        sql += QStringLiteral(" AND p.terminal_id = ? AND p.serial > ? ORDER BY p.serial");
        binds << filter.terminalId << qint64(filter.afterSerial);
    } else {
        sql += QStringLiteral(" ORDER BY p.at, t.identity, p.serial");
    }
    if (filter.limit > 0) sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &b : binds) q.addBindValue(b);
    if (!db.exec(q, error)) return false;

    QByteArray buffer;
    buffer.reserve(1 << 17);
    formatter.begin(buffer);
    ExportRow r;
    while (q.next()) {
        r.terminal = q.value(0).toString();
        r.identity = q.value(1).toString();
        r.address = q.value(2).toInt();
        r.serial = q.value(3).toULongLong();
        r.card = uint32_t(q.value(4).toULongLong());
        r.stamp = q.value(5).toString().toULongLong();
        r.flag = q.value(6).toString().toUtf8();
        r.suspect = q.value(7).toString().toUtf8();
        formatter.row(r, buffer);
        ++rows;
        if (buffer.size() >= (1 << 16) && !flush(out, buffer, error)) return false;
    }
    if (q.lastError().isValid()) return db.failed(q, QStringLiteral("read punches"), error);
    return flush(out, buffer, error);
}

}  // namespace PunchExport
