#include "attctl/RecordOptions.h"

#include "layout/LayoutText.h"

#include <QDir>

namespace RecordOptions {

RecordLayout layout(const std::optional<QString> &text, bool decimal, bool fullYear)
{
    if (!text) {
        RecordLayout l = RecordLayout::defaults();
        l.decimalCards = decimal;
        l.fullYear = fullYear;
        return l;
    }
    QString error;
    const std::optional<RecordLayout> l = LayoutText::parse(*text, decimal, fullYear, error);
    if (!l) throw UsageError{QStringLiteral("--layout: ") + error};
    return *l;
}

QString folder(const QString &dir)
{
    QDir d(dir);
    if (!d.exists() && !QDir().mkpath(dir)) throw UsageError{QStringLiteral("cannot create the folder ") + dir};
    return d.absolutePath();
}

std::pair<QString, QString> packetRange(Args &a)
{
    const std::optional<QString> from = a.value(QStringLiteral("--from"));
    const std::optional<QString> to = a.value(QStringLiteral("--to"));
    if (from.has_value() != to.has_value()) throw UsageError{QStringLiteral("--from and --to go together")};
    if (!from) return {};
    const int f = wholeNumber(*from, 1, 65535, QStringLiteral("--from"));
    const int t = wholeNumber(*to, 1, 65535, QStringLiteral("--to"));
    if (t < f) throw UsageError{QStringLiteral("--to is before --from")};
    return {QString::number(f), QString::number(t)};
}

Destination destination(Args &a)
{
    Destination d;
    const QString dir = a.value(QStringLiteral("--dir"), QStringLiteral("."));
    d.toStdout = a.flag(QStringLiteral("--stdout")) || dir == QLatin1String("-");
    if (dir == QLatin1String("-")) {
        d.scratch = std::make_unique<QTemporaryDir>();
        if (!d.scratch->isValid())
            throw UsageError{QStringLiteral("cannot create a temporary folder: ") + d.scratch->errorString()};
        d.folder = d.scratch->path();
    } else {
        d.folder = dir;
    }
    return d;
}

quint64 serial(const QString &text, const QString &what)
{
    bool ok = false;
    const QString t = text.trimmed();
    const quint64 v = t.toULongLong(&ok, 10);
    for (QChar c : t) ok = ok && c.isDigit() && c.unicode() < 0x80;
    if (!ok || t.isEmpty()) throw UsageError{what + QStringLiteral(" wants a serial number (0 or more), not ") + text};
    return v;
}

}  // namespace RecordOptions
