#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The pieces every page is made of. All text from the database (terminal names, identities, errors,
// card lists) goes through html(): it is shown as the characters it is, never read as markup.
namespace WebHtml {

QString html(const QString &text);
// A whole page: the shared style sheet, the navigation, `title` and `body` (already markup).
QByteArray page(const QString &title, const QString &body);
QByteArray styleSheet();

struct Point {
    QDateTime at;
    double value;
};
// A line chart of values over time drawn on the server as SVG (no script); empty points give a
// short note instead.
QString chart(const QString &title, const QString &unit, const QList<Point> &points);

}  // namespace WebHtml
