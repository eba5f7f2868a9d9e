#include "attctl/Args.h"

#include "common/NumberText.h"

bool Args::flag(const QString &name) { return args_.removeAll(name) > 0; }

std::optional<QString> Args::value(const QString &name)
{
    const qsizetype i = args_.indexOf(name);
    if (i < 0) {
        // --name=value
        for (qsizetype j = 0; j < args_.size(); ++j)
            if (args_[j].startsWith(name + QLatin1Char('='))) {
                const QString v = args_[j].mid(name.size() + 1);
                args_.removeAt(j);
                return v;
            }
        return std::nullopt;
    }
    if (i + 1 >= args_.size()) throw UsageError{name + QStringLiteral(" needs a value")};
    const QString v = args_[i + 1];
    args_.remove(i, 2);
    return v;
}

QString Args::positional(const QString &what)
{
    const std::optional<QString> v = optionalPositional();
    if (!v) throw UsageError{QStringLiteral("missing ") + what};
    return *v;
}

std::optional<QString> Args::optionalPositional()
{
    for (qsizetype i = 0; i < args_.size(); ++i) {
        // A lone "-" or a negative number is a value, not an option.
        if (args_[i].startsWith(QLatin1String("--")) && args_[i].size() > 2) continue;
        return args_.takeAt(i);
    }
    return std::nullopt;
}

void Args::finish() const
{
    for (const QString &a : args_)
        throw UsageError{(a.startsWith(QLatin1String("--")) ? QStringLiteral("unknown option ")
                                                            : QStringLiteral("unexpected argument "))
                         + a};
}

int wholeNumber(const QString &text, int low, int high, const QString &what)
{
    const std::optional<qint64> v = NumberText::wholeNumber(QStringView(text).trimmed(), low, high);
    if (!v)
        throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                             .arg(what)
                             .arg(low)
                             .arg(high)
                             .arg(text)};
    return int(*v);
}
