#pragma once

#include "attctl/ExitCode.h"

#include <QStringList>
#include <optional>

// The arguments of one command, taken option by option; whatever is left at finish() is an error.
// Options may stand anywhere among the positional arguments, so a command takes its options (and
// their values) before its positional arguments.
class Args {
public:
    explicit Args(QStringList args) : args_(std::move(args)) {}

    bool flag(const QString &name);
    std::optional<QString> value(const QString &name);
    QString value(const QString &name, const QString &fallback) { return value(name).value_or(fallback); }
    // The next positional argument; `what` names it in the error when it is missing.
    QString positional(const QString &what);
    std::optional<QString> optionalPositional();
    // Throws UsageError for anything not taken.
    void finish() const;

private:
    QStringList args_;
};

// A whole number in low..high, or UsageError naming `what`.
int wholeNumber(const QString &text, int low, int high, const QString &what);
