// The roster and single cards.
#include "attctl/ArgumentForms.h"
#include "attctl/CommandTable.h"
#include "common/VisibleText.h"

#include "attlink/AttLink.h"
#include "link/LinkResult.h"

#include <QDir>

namespace {

int roster(CliContext &c, Args &a)
{
    const QString dir = a.value(QStringLiteral("--dir"), QStringLiteral("."));
    const bool decimal = a.flag(QStringLiteral("--decimal"));
    const QString sleep = a.value(QStringLiteral("--sleep"), QStringLiteral("2"));
    const std::optional<QString> from = a.value(QStringLiteral("--from"));
    const std::optional<QString> to = a.value(QStringLiteral("--to"));
    a.finish();
    if (from.has_value() != to.has_value()) throw UsageError{QStringLiteral("--from and --to go together")};
    if (from
        && wholeNumber(*to, 1, 65535, QStringLiteral("--to")) < wholeNumber(*from, 1, 65535, QStringLiteral("--from")))
        throw UsageError{QStringLiteral("--to is before --from")};
    if (!QDir(dir).exists() && !QDir().mkpath(dir)) throw UsageError{QStringLiteral("cannot create the folder ") + dir};
    const QString folder = QDir(dir).absolutePath();
    const QString name = QStringLiteral("NameList.txt");
    QString message;
    qint32 count = 0;
    const QVariant r = from ? c.link->GatherSendCardData_all(c.addressText(), folder, name, message, count, sleep,
                                                             decimal, from->trimmed(), to->trimmed())
                            : c.link->GatherSendCardData(c.addressText(), folder, name, message, count, sleep, decimal);
    if (!LinkResult::toBool(r)) return c.failed(QStringLiteral("roster"), message);
    c.out << count << '\t' << QStringLiteral("%1 roster entries collected").arg(count)
          << Qt::endl;  // the link's message is the console's Chinese
    return ExitCode::Success;
}

int rosterCount(CliContext &c, Args &a)
{
    a.finish();
    qint32 n = 0;
    if (!LinkResult::toBool(c.link->GatherSendCardSum(c.addressText(), n)))
        return c.failed(QStringLiteral("roster-count"));
    c.out << n << Qt::endl;
    return ExitCode::Success;
}

int clearRoster(CliContext &c, Args &a)
{
    const bool yes = a.flag(QStringLiteral("--yes"));
    a.finish();
    if (!yes)
        throw UsageError{QStringLiteral("clear-roster erases the roster and every record on the terminal: add --yes")};
    return c.answered(QStringLiteral("clear-roster"), c.link->ClearNameList(c.address16()));
}

int readCard(CliContext &c, Args &a)
{
    a.finish();
    QString reply;
    const QVariant card = c.link->ReadCardNum(c.address16(), reply);
    if (card.isNull() || card.toString().isEmpty()) return c.failed(QStringLiteral("read-card"));
    c.out << card.toString() << '\t' << visibleText(reply) << Qt::endl;
    return ExitCode::Success;
}

int issueCard(CliContext &c, Args &a)
{
    const std::optional<QString> job = a.value(QStringLiteral("--job"));
    const QString name = ArgumentForms::name(a.value(QStringLiteral("--name"), QString()));
    const QString card = ArgumentForms::card(a.positional(QStringLiteral("the card number")));
    a.finish();
    if (!job) throw UsageError{QStringLiteral("issue-card needs --job J, the card's job number")};
    ArgumentForms::jobNumber(*job);
    return c.answered(
        QStringLiteral("issue-card"),
        c.link->CardSendToMachine(c.address16(), card, *job, name, QStringLiteral("00"), QStringLiteral("00000000")));
}

int withdrawCard(CliContext &c, Args &a)
{
    const QString card = ArgumentForms::card(a.positional(QStringLiteral("the card number")));
    a.finish();
    return c.answered(QStringLiteral("withdraw-card"), c.link->ClearName(c.address16(), card));
}

int findCard(CliContext &c, Args &a)
{
    const QString card = ArgumentForms::card(a.positional(QStringLiteral("the card number")));
    a.finish();
    bool found = false;
    if (!LinkResult::toBool(c.link->FindCard(c.address16(), card, found))) return c.failed(QStringLiteral("find-card"));
    c.out << (found ? "found" : "not found") << Qt::endl;
    return ExitCode::Success;
}

}  // namespace

void addRosterCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("roster"), QStringLiteral("[--dir D] [--decimal] [--from P --to P] [--sleep S]"),
                 QStringLiteral("collect the roster into D/NameList.txt (only packets P to P with --from and --to)"),
                 true, roster});
    t.push_back({QStringLiteral("roster-count"), QString(), QStringLiteral("the number of cards in the roster"), true,
                 rosterCount});
    t.push_back({QStringLiteral("clear-roster"), QStringLiteral("--yes"),
                 QStringLiteral("erase the roster and, with it, every record the terminal holds"), true, clearRoster});
    t.push_back({QStringLiteral("read-card"), QString(),
                 QStringLiteral("the card held to the reader: decimal number and reply"), true, readCard});
    t.push_back({QStringLiteral("issue-card"), QStringLiteral("CARD --job J [--name N]"),
                 QStringLiteral("add a card to the roster"), true, issueCard});
    t.push_back({QStringLiteral("withdraw-card"), QStringLiteral("CARD"),
                 QStringLiteral("remove a card from the roster"), true, withdrawCard});
    t.push_back({QStringLiteral("find-card"), QStringLiteral("CARD"),
                 QStringLiteral("whether the roster holds a card: found or not found"), true, findCard});
}
