#include "link/PortFailureText.h"

#include <QStringList>

#include <sys/stat.h>

namespace {

QString holdersText(const QList<PortHolder> &holders)
{
    QStringList who;
    for (const PortHolder &h : holders)
        who << (h.program.isEmpty() ? QStringLiteral("process %1").arg(h.pid)
                                    : QStringLiteral("%1 (process %2)").arg(h.program).arg(h.pid));
    return who.isEmpty() ? QStringLiteral("in use by another program")
                         : QStringLiteral("in use by ") + who.join(QStringLiteral(", "));
}

// Who may open a device the user was refused. A group is worth joining only when it may read and
// write the device, and never the group root: that would hand the user far more than a port.
QString refusedAdvice(const PortFailure &f)
{
    if (!f.typeKnown()) return {};
    const bool groupMayUse = (f.mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (groupMayUse && f.groupId != 0 && !f.group.isEmpty())
        return QStringLiteral("; join the group %1 (sudo usermod -aG %1 $USER) and log in again").arg(f.group);
    const QString owner = f.owner.isEmpty() ? QStringLiteral("its owner") : f.owner;
    return QStringLiteral(
               "; only %1 may open it: an administrator can add a udev rule that gives it to a group such as dialout (MODE=\"0660\")")
        .arg(owner);
}

}  // namespace

QString portFailureText(const PortFailure &f)
{
    if (!f.any()) return {};
    const QString device = f.deviceText() + QStringLiteral(": ");
    if (f.busy()) return device + holdersText(f.holders);
    if (f.typeKnown() && !S_ISCHR(f.mode)) return device + QStringLiteral("not a serial device");
    if (f.refused()) return device + f.reason + refusedAdvice(f);
    if (f.missing()) return device + f.reason + QStringLiteral("; attctl ports lists the serial ports of this machine");
    return device + f.reason;
}
