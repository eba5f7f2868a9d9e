#include "report/DailyFormat.h"

#include "sync/FieldText.h"
#include "sync/Punch.h"

namespace {

using namespace FieldText;

QString cardText(uint32_t card) { return QStringLiteral("%1").arg(card, 10, 10, QLatin1Char('0')); }

// In a table under its day's heading: the time alone on that day, date and time on another (a night
// shift's morning).
QString timeOnDay(quint64 stamp, const QDate &day)
{
    if (!stamp) return QString();
    char t[19];
    PunchTime::writeText(stamp, t, false);
    const QString text = QString::fromLatin1(t, 19);
    return text.left(10) == day.toString(Qt::ISODate) ? text.mid(11) : text;
}

void appendTime(QByteArray &out, quint64 stamp)
{
    if (!stamp) return;
    char t[19];
    PunchTime::writeText(stamp, t, true);
    out.append(t, 19);
}

void appendDate(QByteArray &out, const QDate &date)
{
    char t[19];
    PunchTime::writeText(quint64(date.year() * 10000 + date.month() * 100 + date.day()) * 1000000, t, true);
    out.append(t, 10);
}

void appendWorked(QByteArray &out, qint64 seconds)
{
    appendDecimal(out, quint64(seconds / 3600));
    const int minutes = int(seconds / 60 % 60);
    out.append(':').append(char('0' + minutes / 10)).append(char('0' + minutes % 10));
}

QByteArray csv(const QList<DailyRow> &rows)
{
    QByteArray out("card,card_hex,job_number,name,date,first_in,last_out,punches,worked,flags\r\n");
    out.reserve(rows.size() * 96);
    for (const DailyRow &r : rows) {
        appendCardDecimal(out, r.card);
        out.append(',');
        appendCardHex(out, r.card);
        out.append(',');
        appendCsvField(out, r.jobNumber.toUtf8());
        out.append(',');
        appendCsvField(out, r.name.toUtf8());
        out.append(',');
        appendDate(out, r.date);
        out.append(',');
        appendTime(out, r.firstIn);
        out.append(',');
        appendTime(out, r.lastOut);
        out.append(',');
        appendDecimal(out, quint64(r.punches));
        out.append(',');
        appendWorked(out, r.workedSeconds);
        out.append(',').append(r.flags().toUtf8()).append("\r\n");
    }
    return out;
}

QByteArray jsonLines(const QList<DailyRow> &rows)
{
    QByteArray out;
    out.reserve(rows.size() * 220);
    for (const DailyRow &r : rows) {
        DailyFormat::appendJsonObject(out, r);
        out.append('\n');
    }
    return out;
}

QString cell(const QString &text) { return QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>"); }

QByteArray html(const QList<DailyRow> &rows, const DailyOptions &options)
{
    const QString title = QStringLiteral("Daily attendance %1 to %2")
                              .arg(options.from.toString(Qt::ISODate), options.to.toString(Qt::ISODate));
    QString out =
        QStringLiteral(
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>\n"
            "<style>body{font-family:sans-serif;font-size:10pt}table{border-collapse:collapse;margin-bottom:1em;"
            "page-break-inside:avoid}th,td{border:1px solid #888;padding:2px 6px;text-align:left}"
            "h2{font-size:12pt;margin:1em 0 .3em}</style></head><body>\n<h1>%1</h1>\n")
            .arg(title.toHtmlEscaped());
    out += DailyFormat::htmlTables(rows);
    out += QStringLiteral("</body></html>\n");
    return out.toUtf8();
}

}  // namespace

namespace DailyFormat {

void appendJsonObject(QByteArray &out, const DailyRow &r)
{
    out.append("{\"card\":\"");
    appendCardDecimal(out, r.card);
    out.append("\",\"card_hex\":\"");
    appendCardHex(out, r.card);
    out.append("\",\"job_number\":");
    appendJsonString(out, r.jobNumber.toUtf8());
    out.append(",\"name\":");
    appendJsonString(out, r.name.toUtf8());
    out.append(",\"date\":\"");
    appendDate(out, r.date);
    out.append("\",\"first_in\":\"");
    appendTime(out, r.firstIn);
    out.append("\",\"last_out\":\"");
    appendTime(out, r.lastOut);
    out.append("\",\"punches\":");
    appendDecimal(out, quint64(r.punches));
    out.append(",\"worked\":\"");
    appendWorked(out, r.workedSeconds);
    out.append("\",\"worked_seconds\":");
    appendDecimal(out, quint64(r.workedSeconds));
    out.append(",\"flags\":");
    appendJsonString(out, r.flags().toUtf8());
    out.append('}');
}

QString htmlTables(const QList<DailyRow> &rows)
{
    QString out;
    if (rows.isEmpty()) out += QStringLiteral("<p>No punches.</p>\n");
    QDate day;
    for (const DailyRow &r : rows) {
        if (r.date != day) {
            if (day.isValid()) out += QStringLiteral("</table>\n");
            day = r.date;
            out +=
                QStringLiteral(
                    "<h2>%1</h2>\n<table class=\"day\"><tr><th>card</th><th>job number</th><th>name</th><th>first in</th>"
                    "<th>last out</th><th>punches</th><th>worked</th><th>flags</th></tr>\n")
                    .arg(day.toString(Qt::ISODate));
        }
        out += QStringLiteral("<tr>") + cell(cardText(r.card)) + cell(r.jobNumber) + cell(r.name)
            + cell(timeOnDay(r.firstIn, r.date)) + cell(timeOnDay(r.lastOut, r.date)) + cell(QString::number(r.punches))
            + cell(DailyReport::workedText(r.workedSeconds)) + cell(r.flags()) + QStringLiteral("</tr>\n");
    }
    if (day.isValid()) out += QStringLiteral("</table>\n");
    return out;
}

bool known(const QString &format)
{
    return format == QLatin1String("csv") || format == QLatin1String("jsonl") || format == QLatin1String("html");
}

QByteArray write(const QString &format, const QList<DailyRow> &rows, const DailyOptions &options)
{
    if (format == QLatin1String("jsonl")) return jsonLines(rows);
    if (format == QLatin1String("html")) return html(rows, options);
    return csv(rows);
}

}  // namespace DailyFormat
