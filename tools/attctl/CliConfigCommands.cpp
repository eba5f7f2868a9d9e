// Clock and alarms, parameters, address, password, storage mode, pictures, messages, voice.
#include "attctl/ArgumentForms.h"
#include "attctl/CommandTable.h"
#include "common/VisibleText.h"

#include "attlink/AttLink.h"
#include "common/OleDate.h"
#include "link/LinkResult.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

int setTime(CliContext &c, Args &a)
{
    const QDateTime now = QDateTime::currentDateTime();
    QString date = ArgumentForms::date(a.optionalPositional().value_or(now.toString(QStringLiteral("yyyy-MM-dd"))));
    QString time = ArgumentForms::time(a.optionalPositional().value_or(now.toString(QStringLiteral("HH:mm:ss"))));
    a.finish();
    QString code = QStringLiteral("01");
    return c.answered(QStringLiteral("set-time"), c.link->ModifyDateTime(c.address16(), date, time, code));
}

int setAlarms(CliContext &c, Args &a)
{
    const QString ring = QString::number(
        wholeNumber(a.value(QStringLiteral("--ring"), QStringLiteral("1")), 0, 255, QStringLiteral("--ring")));
    // Eleven slots as the console sends them: up to ten times of day, the rest (and slot 10) zero.
    QVector<double> alarms(11, 0.0);
    int n = 0;
    while (const std::optional<QString> t = a.optionalPositional()) {
        const QTime time = QTime::fromString(t->trimmed(), QStringLiteral("H:mm"));
        if (!time.isValid()) throw UsageError{QStringLiteral("an alarm time is HH:MM, not ") + *t};
        if (n == 10) throw UsageError{QStringLiteral("at most 10 alarm times")};
        alarms[n++] = OleDate::fromTimeOfDay(time.hour(), time.minute());
    }
    a.finish();
    return c.answered(QStringLiteral("set-alarms"), c.link->SetClock(c.address16(), alarms, ring));
}

int setParameters(CliContext &c, Args &a)
{
    QString relay =
        ArgumentForms::parameterWord(a.positional(QStringLiteral("the relay time")), QStringLiteral("the relay time"));
    QString interval =
        ArgumentForms::parameterWord(a.positional(QStringLiteral("the interval")), QStringLiteral("the interval"));
    QString mode = ArgumentForms::parameterWord(a.positional(QStringLiteral("the mode")), QStringLiteral("the mode"));
    a.finish();
    return c.answered(QStringLiteral("set-parameters"),
                      c.link->RepairSystemParameter(c.address16(), relay, interval, mode));
}

int readParameters(CliContext &c, Args &a)
{
    a.finish();
    QString parameters;
    if (!LinkResult::toBool(c.link->ReadSystemParameter(c.addressText(), parameters)))
        return c.failed(QStringLiteral("read-parameters"));
    c.out << visibleText(parameters) << Qt::endl;
    return ExitCode::Success;
}

int setAddress(CliContext &c, Args &a)
{
    const int to =
        wholeNumber(a.positional(QStringLiteral("the new address")), 0, 255, QStringLiteral("the new address"));
    a.finish();
    return c.answered(QStringLiteral("set-address"), c.link->RepairAddress(c.address16(), qint16(to)));
}

int setPassword(CliContext &c, Args &a)
{
    const QString password = ArgumentForms::password(a.positional(QStringLiteral("the menu password")));
    a.finish();
    return c.answered(QStringLiteral("set-password"), c.link->SetMachinePassword(c.addressText(), password));
}

// Operations that answer a number, -1 meaning failure; `digits` pads it with zeros on the left.
template <typename Call>
int number(CliContext &c, Args &a, const QString &name, Call call, int digits = 0)
{
    a.finish();
    bool ok = false;
    const int v = call().toInt(&ok);
    if (!ok || v < 0) return c.failed(name);
    c.out << QStringLiteral("%1").arg(v, digits, 10, QLatin1Char('0')) << Qt::endl;
    return ExitCode::Success;
}

int setStorage(CliContext &c, Args &a)
{
    const int code =
        wholeNumber(a.positional(QStringLiteral("the storage mode")), 0, 32767, QStringLiteral("the storage mode"));
    a.finish();
    return c.answered(QStringLiteral("set-storage"), c.link->SetStorageModel(c.addressText(), qint16(code)));
}

int logo(CliContext &c, Args &a)
{
    const bool restore = a.flag(QStringLiteral("--restore"));
    const bool custom = a.flag(QStringLiteral("--custom"));
    a.finish();
    if (restore == custom) throw UsageError{QStringLiteral("logo needs one of --restore and --custom")};
    return c.answered(QStringLiteral("logo"), c.link->SetLogoMode(c.address16(), restore));
}

int sendPicture(CliContext &c, Args &a)
{
    QString file = a.positional(QStringLiteral("the picture file"));
    a.finish();
    if (!QFileInfo(file).isFile()) throw UsageError{QStringLiteral("no picture file ") + file};
    return c.answered(QStringLiteral("send-picture"), c.link->SendPictureMach(c.addressText(), file));
}

int message(CliContext &c, Args &a)
{
    const QString minutes = ArgumentForms::minutes(a.positional(QStringLiteral("the minutes to show the message")));
    const QString text = ArgumentForms::message(a.positional(QStringLiteral("the message text")));
    a.finish();
    return c.answered(QStringLiteral("message"), c.link->SendShortMsg(c.addressText(), minutes, text));
}

int voice(CliContext &c, Args &a)
{
    const QString n = ArgumentForms::voicePrompt(a.positional(QStringLiteral("the voice prompt number")));
    a.finish();
    return c.answered(QStringLiteral("voice"), c.link->GetSounds(c.addressText(), n));
}

}  // namespace

void addConfigCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("set-time"), QStringLiteral("[YYYY-MM-DD [hh:mm:ss]]"),
                 QStringLiteral("set the terminal's clock, to now by default"), true, setTime});
    t.push_back({QStringLiteral("set-alarms"), QStringLiteral("[--ring R] [HH:MM]..."),
                 QStringLiteral("set up to 10 alarm times and the ring period"), true, setAlarms});
    t.push_back({QStringLiteral("set-parameters"), QStringLiteral("RELAY INTERVAL MODE"),
                 QStringLiteral("set the system parameters"), true, setParameters});
    t.push_back(
        {QStringLiteral("read-parameters"), QString(), QStringLiteral("the system parameters"), true, readParameters});
    t.push_back({QStringLiteral("set-address"), QStringLiteral("NEW"),
                 QStringLiteral("give the terminal a new address 0..255"), true, setAddress});
    t.push_back({QStringLiteral("set-password"), QStringLiteral("PASSWORD"), QStringLiteral("set the menu password"),
                 true, setPassword});
    t.push_back(
        {QStringLiteral("get-password"), QString(),
         QStringLiteral("the menu password, the four digits the terminal keeps"), true, [](CliContext &c, Args &a) {
             return number(
                 c, a, QStringLiteral("get-password"), [&] { return c.link->GetMachinePassword(c.address16()); }, 4);
         }});
    t.push_back({QStringLiteral("get-storage"), QString(), QStringLiteral("the storage mode"), true,
                 [](CliContext &c, Args &a) {
                     return number(c, a, QStringLiteral("get-storage"),
                                   [&] { return c.link->GetStorageModel(c.addressText()); });
                 }});
    t.push_back({QStringLiteral("set-storage"), QStringLiteral("CODE"), QStringLiteral("set the storage mode"), true,
                 setStorage});
    t.push_back({QStringLiteral("logo"), QStringLiteral("--restore | --custom"),
                 QStringLiteral("show the maker's boot picture again, or the custom one"), true, logo});
    t.push_back({QStringLiteral("send-picture"), QStringLiteral("FILE"),
                 QStringLiteral("send a picture file to the terminal"), true, sendPicture});
    t.push_back({QStringLiteral("message"), QStringLiteral("MINUTES TEXT"),
                 QStringLiteral("show a short message for some minutes"), true, message});
    t.push_back({QStringLiteral("voice"), QStringLiteral("N"), QStringLiteral("play voice prompt N"), true, voice});
}
