#include "web/WebHtml.h"

#include <algorithm>
#include <cmath>

namespace WebHtml {

QString html(const QString &text) { return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&#39;")); }

QByteArray page(const QString &title, const QString &body)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
               "<title>%1 - Zevo</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body>"
               "<nav><a href=\"/\">Fleet</a> <a href=\"/punches\">Punches</a> <a href=\"/report\">Attendance</a> <a href=\"/metrics\">Metrics</a></nav>"
               "<main><h1>%1</h1>\n%2</main></body></html>\n")
        .arg(html(title), body)
        .toUtf8();
}

QByteArray styleSheet()
{
    return QByteArrayLiteral(
        "body{font-family:system-ui,'Noto Sans CJK SC','WenQuanYi Micro Hei',sans-serif;margin:0;color:#1d2329;background:#f5f6f8}"
        "nav{background:#243447;padding:.6em 1em}nav a{color:#fff;margin-right:1.2em;text-decoration:none;font-weight:600}"
        "main{padding:1em;max-width:1200px;margin:auto}h1{font-size:1.4em;margin:.2em 0 .6em}"
        ".scroll{overflow-x:auto}table{border-collapse:collapse;background:#fff;width:100%}"
        "th,td{padding:.35em .6em;border-bottom:1px solid #dde1e6;text-align:left;white-space:nowrap}"
        "th{background:#e9edf1;font-size:.9em}td.num{text-align:right;font-variant-numeric:tabular-nums}"
        ".state{border-radius:.8em;padding:.1em .6em;font-size:.85em;font-weight:600;color:#fff}"
        ".ok{background:#2e7d32}.stale{background:#8d6e00}.failing{background:#c62828}.filling{background:#e65100}"
        ".lost{background:#6a1b9a}meter{width:5em;vertical-align:middle}.error{color:#c62828;white-space:normal}form.filter{margin:0 0 1em;display:flex;"
        "flex-wrap:wrap;gap:.5em;align-items:end}form label{display:flex;flex-direction:column;font-size:.85em}"
        "input,button{font:inherit;padding:.3em}.charts{display:flex;flex-wrap:wrap;gap:1em}.charts svg{background:#fff;"
        "max-width:100%;height:auto}.note{color:#55606b}@media print{nav,form,.pager{display:none}}\n");
}

QString chart(const QString &title, const QString &unit, const QList<Point> &points)
{
    if (points.size() < 2)
        return QStringLiteral("<p class=\"note\">%1: not enough syncs yet to draw.</p>").arg(html(title));
    constexpr int W = 560, H = 220, L = 56, R = 12, T = 28, B = 30;
    const qint64 t0 = points.first().at.toSecsSinceEpoch(), t1 = qMax(t0 + 1, points.last().at.toSecsSinceEpoch());
    double lo = points.first().value, hi = lo;
    for (const Point &p : points) lo = qMin(lo, p.value), hi = qMax(hi, p.value);
    if (hi - lo < 1e-9) lo -= 1, hi += 1;
    QString path;
    path.reserve(points.size() * 16);
    for (const Point &p : points) {
        const double x = L + double(p.at.toSecsSinceEpoch() - t0) * (W - L - R) / double(t1 - t0);
        const double y = T + (hi - p.value) * (H - T - B) / (hi - lo);
        path += (path.isEmpty() ? u'M' : u'L') + QString::number(x, 'f', 1) + u',' + QString::number(y, 'f', 1);
    }
    const auto label = [&](double v) { return QString::number(v, 'f', std::abs(hi - lo) < 10 ? 1 : 0) + html(unit); };
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" width=\"%1\" height=\"%2\" role=\"img\" "
               "aria-label=\"%3\"><text x=\"%4\" y=\"18\" font-size=\"14\" font-weight=\"600\">%3</text>"
               "<line x1=\"%4\" y1=\"%5\" x2=\"%4\" y2=\"%6\" stroke=\"#99a\"/><line x1=\"%4\" y1=\"%6\" x2=\"%7\" y2=\"%6\" stroke=\"#99a\"/>"
               "<text x=\"%8\" y=\"%9\" font-size=\"11\" text-anchor=\"end\">%10</text>"
               "<text x=\"%8\" y=\"%6\" font-size=\"11\" text-anchor=\"end\">%11</text>"
               "<text x=\"%4\" y=\"%12\" font-size=\"11\">%13</text><text x=\"%7\" y=\"%12\" font-size=\"11\" text-anchor=\"end\">%14</text>"
               "<path d=\"%15\" fill=\"none\" stroke=\"#1565c0\" stroke-width=\"1.5\"/></svg>")
        .arg(W)
        .arg(H)
        .arg(html(title))
        .arg(L)
        .arg(T)
        .arg(H - B)
        .arg(W - R)
        .arg(L - 4)
        .arg(T + 4)
        .arg(label(hi), label(lo))
        .arg(H - 10)
        .arg(points.first().at.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             points.last().at.toString(QStringLiteral("yyyy-MM-dd HH:mm")), path);
}

}  // namespace WebHtml
