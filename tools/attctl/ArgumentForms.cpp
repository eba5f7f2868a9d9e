#include "attctl/ArgumentForms.h"

#include "attctl/ExitCode.h"
#include "attlink/OperationArgs.h"
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"
#include "link/DeviceLink.h"

namespace ArgumentForms {

namespace {

[[noreturn]] void refuse(const QString &what, const QString &form, const QString &text)
{
    throw UsageError{QStringLiteral("%1 must be %2, not \"%3\"").arg(what, form, text)};
}

bool hasControl(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
    return false;
}

QString wholeIn(const QString &text, int low, int high, int maxDigits, const QString &what)
{
    const QString t = text.trimmed();
    if (!OperationArgs::digits(t, 1, maxDigits) || t.toInt() < low || t.toInt() > high)
        refuse(what, QStringLiteral("a whole number from %1 to %2").arg(low).arg(high), text);
    return QString::number(t.toInt());
}

}  // namespace

QString card(const QString &text)
{
    uint32_t c = 0;
    if (!RecordWire::parseCard(text.trimmed(), c))
        refuse(QStringLiteral("the card number"),
               QStringLiteral("8 hexadecimal digits (0079A785) or 10 decimal digits (0007972229)"), text);
    return text.trimmed();
}

QString recordTime(const QString &text)
{
    QDateTime when;
    if (!OperationArgs::recordTime(text, when))
        refuse(QStringLiteral("the date and time"),
               QStringLiteral("a real date and time as YYMMDDhhmmss, YYYYMMDDhhmmss or \"YYYY-MM-DD hh:mm:ss\""), text);
    return text.trimmed();
}

QString date(const QString &text)
{
    QDate d;
    if (!OperationArgs::date(text, d))
        refuse(QStringLiteral("the date"), QStringLiteral("a real date as YYYY-MM-DD"), text);
    return text.trimmed();
}

QString time(const QString &text)
{
    QTime t;
    if (!OperationArgs::time(text, t))
        refuse(QStringLiteral("the time"), QStringLiteral("a time of day as hh:mm:ss"), text);
    return text.trimmed();
}

QString message(const QString &text)
{
    const qsizetype bytes = TextCodec::encode(text).size();
    if (bytes > 32)
        throw UsageError{QStringLiteral("the message text must be at most 32 bytes as the terminal stores it "
                                        "(16 Chinese characters or 32 others), not %1 bytes")
                             .arg(bytes)};
    if (hasControl(text)) throw UsageError{QStringLiteral("the message text must not hold control characters")};
    return text;
}

QString minutes(const QString &text) { return wholeIn(text, 0, 9999, 4, QStringLiteral("the minutes")); }

QString voicePrompt(const QString &text) { return wholeIn(text, 1, 255, 3, QStringLiteral("the voice prompt number")); }

QString password(const QString &text)
{
    if (!OperationArgs::digits(text.trimmed(), 1, 4))
        refuse(QStringLiteral("the menu password"), QStringLiteral("1 to 4 digits"), text);
    return text.trimmed();
}

QString jobNumber(const QString &text)
{
    if (!OperationArgs::jobNumber(text))
        refuse(QStringLiteral("the job number"), QStringLiteral("1 to 8 printable ASCII characters other than \",\""),
               text);
    return text;
}

QString name(const QString &text)
{
    const qsizetype bytes = TextCodec::encode(text).size();
    if (bytes > DeviceLink::NameFieldBytes)
        throw UsageError{QStringLiteral("the name must be at most %1 bytes as the terminal stores it "
                                        "(%2 Chinese characters), not %3 bytes")
                             .arg(DeviceLink::NameFieldBytes)
                             .arg(DeviceLink::NameFieldBytes / 2)
                             .arg(bytes)};
    if (hasControl(text)) throw UsageError{QStringLiteral("the name must not hold control characters")};
    return text;
}

QString parameterWord(const QString &text, const QString &what)
{
    QString out;
    if (text.size() != 4 || !OperationArgs::hexCode(text, 4, out))
        refuse(what, QStringLiteral("4 hexadecimal digits"), text);
    return text;
}

}  // namespace ArgumentForms
