#include "config/VersionGate.h"

#include <QStringList>
#include <algorithm>

namespace VersionGate {

namespace {

// The digits of each component without leading zeros; compared by length then by text, so that no
// component is too long to compare.
QStringList components(const QString &version)
{
    qsizetype start = 0;
    while (start < version.size() && !(version[start].isDigit() && version[start].unicode() < 128)) ++start;
    QStringList out;
    for (const QString &part : version.mid(start).split(QLatin1Char('.'))) {
        qsizetype n = 0;
        while (n < part.size() && part[n].isDigit() && part[n].unicode() < 128) ++n;
        QString digits = part.left(n);
        while (digits.size() > 1 && digits.startsWith(QLatin1Char('0'))) digits.remove(0, 1);
        out << (digits.isEmpty() ? QStringLiteral("0") : digits);
    }
    return out;
}

int compareComponent(const QString &a, const QString &b)
{
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}  // namespace

int compare(const QString &a, const QString &b)
{
    const QStringList ca = components(a), cb = components(b);
    const qsizetype n = std::max(ca.size(), cb.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int c = compareComponent(ca.value(i, QStringLiteral("0")), cb.value(i, QStringLiteral("0")));
        if (c != 0) return c < 0 ? -1 : 1;
    }
    return 0;
}

}  // namespace VersionGate
