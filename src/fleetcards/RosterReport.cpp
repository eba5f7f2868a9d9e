#include "fleetcards/RosterReport.h"

#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"
#include "common/VisibleText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString head(const RosterOutcome &o) { return u'[' + visibleText(o.name) + QStringLiteral("] "); }
QString ending(const RosterOutcome &o)
{
    return o.ok() ? QStringLiteral(" ok") : QStringLiteral(" error: ") + visibleText(o.error);
}

QJsonArray entries(const std::vector<PackedRosterEntry> &list)
{
    QJsonArray out;
    for (const PackedRosterEntry &e : list)
        out.append(QJsonObject{{QStringLiteral("card"), RecordWire::cardHex(e.card)},
                               {QStringLiteral("job_number"), QString::fromLatin1(e.jobNo)},
                               {QStringLiteral("name"), TextCodec::decode(e.name)}});
    return out;
}

int failures(const QList<RosterOutcome> &all)
{
    int failed = 0;
    for (const RosterOutcome &o : all) failed += !o.ok();
    return failed;
}

}  // namespace

namespace RosterReport {

QString planLine(const RosterOutcome &o)
{
    if (!o.ok()) return head(o) + QStringLiteral("error: ") + visibleText(o.error);
    return head(o)
        + QStringLiteral("add=%1 change=%2 remove=%3 keep=%4").arg(o.add).arg(o.change).arg(o.remove).arg(o.keep);
}

QByteArray planJson(const RosterOutcome &o)
{
    QJsonObject j{{QStringLiteral("terminal"), o.name}};
    if (!o.ok()) {
        j[QStringLiteral("error")] = o.error;
    } else {
        j[QStringLiteral("add")] = o.plan ? entries(o.plan->add) : QJsonArray();
        j[QStringLiteral("change")] = o.plan ? entries(o.plan->change) : QJsonArray();
        j[QStringLiteral("remove")] = o.plan ? entries(o.plan->remove) : QJsonArray();
        j[QStringLiteral("keep")] = o.keep;
    }
    return QJsonDocument(j).toJson(QJsonDocument::Compact);
}

QString applyLine(const RosterOutcome &o)
{
    return head(o) + QStringLiteral("added=%1 changed=%2 removed=%3").arg(o.added).arg(o.changed).arg(o.removed)
        + ending(o);
}

QStringList refusalLines(const RosterOutcome &o)
{
    QStringList lines;
    for (const RosterOutcome::Refusal &r : o.refusals)
        lines << QStringLiteral("  refused %1 (list line %2): %3")
                     .arg(RecordWire::cardHex(r.card))
                     .arg(r.line)
                     .arg(r.why);
    return lines;
}

QString pullLine(const RosterOutcome &o)
{
    return head(o)
        + QStringLiteral("identity=%1 cards=%2")
              .arg(o.identity.isEmpty() ? QStringLiteral("-") : visibleText(o.identity))
              .arg(o.pulled)
        + ending(o);
}

QString planTotal(const QList<RosterOutcome> &all, double seconds)
{
    qint64 add = 0, change = 0, remove = 0;
    for (const RosterOutcome &o : all) {
        add += o.add;
        change += o.change;
        remove += o.remove;
    }
    return QStringLiteral("total: %1 terminals, %2 failed, add=%3 change=%4 remove=%5, %6 s")
        .arg(all.size())
        .arg(failures(all))
        .arg(add)
        .arg(change)
        .arg(remove)
        .arg(seconds, 0, 'f', 2);
}

QString applyTotal(const QList<RosterOutcome> &all, double seconds)
{
    qint64 added = 0, changed = 0, removed = 0, planned = 0;
    for (const RosterOutcome &o : all) {
        added += o.added;
        changed += o.changed;
        removed += o.removed;
        planned += o.add + o.change + o.remove;
    }
    const int failed = failures(all);
    QString s = QStringLiteral("total: %1 terminals, %2 failed, added=%3 changed=%4 removed=%5, %6 s")
                    .arg(all.size())
                    .arg(failed)
                    .arg(added)
                    .arg(changed)
                    .arg(removed)
                    .arg(seconds, 0, 'f', 2);
    if (failed == 0 && planned == 0) s += QStringLiteral("; every terminal already held the list, nothing changed");
    return s;
}

QString pullTotal(const QList<RosterOutcome> &all, double seconds)
{
    qint64 cards = 0;
    for (const RosterOutcome &o : all) cards += o.pulled;
    return QStringLiteral("total: %1 terminals, %2 failed, %3 cards stored, %4 s")
        .arg(all.size())
        .arg(failures(all))
        .arg(cards)
        .arg(seconds, 0, 'f', 2);
}

}  // namespace RosterReport
