#pragma once

#include <QString>
#include <stdexcept>

// An error with a number and a description, as a command's error handler reports it
// ("number:description"). Device-link errors and failed conversions of operator text share it.
struct RaisedError : std::runtime_error {
    RaisedError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), number(number), description(description)
    {
    }

    int number;
    QString description;

    QString report() const { return QString::number(number) + QStringLiteral(":") + description; }

    static constexpr int Overflow = 6;
    static constexpr int TypeMismatch = 13;
};
