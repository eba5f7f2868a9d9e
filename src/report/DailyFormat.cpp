#include "report/DailyFormat.h"

#include "sync/Punch.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString cardText(uint32_t card) { return QStringLiteral("%1").arg(card, 10, 10, QLatin1Char('0')); }
QString cardHex(uint32_t card) { return QStringLiteral("%1").arg(card, 8, 16, QLatin1Char('0')).toUpper(); }

QString timeText(quint64 stamp)
{
    if (!stamp) return QString();
    char t[19];
    PunchTime::writeText(stamp, t, true);
    return QString::fromLatin1(t, 19);
}

QString csvField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n') && !field.contains(u'\r')) return field;
    return u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QByteArray csv(const QList<DailyRow> &rows)
{
    QString out = QStringLiteral("card,card_hex,job_number,name,date,first_in,last_out,punches,worked,flags\r\n");
    for (const DailyRow &r : rows)
        out += QStringList{cardText(r.card), cardHex(r.card), csvField(r.jobNumber), csvField(r.name), r.date.toString(Qt::ISODate),
                           timeText(r.firstIn), timeText(r.lastOut), QString::number(r.punches),
                           DailyReport::workedText(r.workedSeconds), r.flags()}
                   .join(u',')
               + QStringLiteral("\r\n");
    return out.toUtf8();
}

QByteArray jsonLines(const QList<DailyRow> &rows)
{
    QByteArray out;
    for (const DailyRow &r : rows) {
        const QJsonObject o{{QStringLiteral("card"), cardText(r.card)},
                            {QStringLiteral("card_hex"), cardHex(r.card)},
                            {QStringLiteral("job_number"), r.jobNumber},
                            {QStringLiteral("name"), r.name},
                            {QStringLiteral("date"), r.date.toString(Qt::ISODate)},
                            {QStringLiteral("first_in"), timeText(r.firstIn)},
                            {QStringLiteral("last_out"), timeText(r.lastOut)},
                            {QStringLiteral("punches"), r.punches},
                            {QStringLiteral("worked"), DailyReport::workedText(r.workedSeconds)},
                            {QStringLiteral("worked_seconds"), r.workedSeconds},
                            {QStringLiteral("flags"), r.flags()}};
        out += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }
    return out;
}

QString cell(const QString &text) { return QStringLiteral("<td>") + text.toHtmlEscaped() + QStringLiteral("</td>"); }

QByteArray html(const QList<DailyRow> &rows, const DailyOptions &options)
{
    const QString title = QStringLiteral("Daily attendance %1 to %2").arg(options.from.toString(Qt::ISODate), options.to.toString(Qt::ISODate));
    QString out = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>\n"
                                 "<style>body{font-family:sans-serif;font-size:10pt}table{border-collapse:collapse;margin-bottom:1em;"
                                 "page-break-inside:avoid}th,td{border:1px solid #888;padding:2px 6px;text-align:left}"
                                 "h2{font-size:12pt;margin:1em 0 .3em}</style></head><body>\n<h1>%1</h1>\n").arg(title.toHtmlEscaped());
    if (rows.isEmpty()) out += QStringLiteral("<p>No punches.</p>\n");
    QDate day;
    for (const DailyRow &r : rows) {
        if (r.date != day) {
            if (day.isValid()) out += QStringLiteral("</table>\n");
            day = r.date;
            out += QStringLiteral("<h2>%1</h2>\n<table><tr><th>card</th><th>job number</th><th>name</th><th>first in</th>"
                                  "<th>last out</th><th>punches</th><th>worked</th><th>flags</th></tr>\n").arg(day.toString(Qt::ISODate));
        }
        out += QStringLiteral("<tr>") + cell(cardText(r.card)) + cell(r.jobNumber) + cell(r.name) + cell(timeText(r.firstIn))
               + cell(timeText(r.lastOut)) + cell(QString::number(r.punches)) + cell(DailyReport::workedText(r.workedSeconds))
               + cell(r.flags()) + QStringLiteral("</tr>\n");
    }
    if (day.isValid()) out += QStringLiteral("</table>\n");
    out += QStringLiteral("</body></html>\n");
    return out.toUtf8();
}

}  // namespace

namespace DailyFormat {

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
