#include "attctl/Connection.h"

#include "attctl/ExitCode.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
// The COM number attctl gives a --device path in its private settings.
constexpr int DeviceCom = 1;

// What the system said about a port that did not open, and what to do about it.
QString portFailureText(const PortFailure &f)
{
    QString s = f.deviceText() + QStringLiteral(": ");
    if (f.busy()) {
        QStringList who;
        for (const PortHolder &h : f.holders)
            who << (h.program.isEmpty() ? QStringLiteral("process %1").arg(h.pid)
                                        : QStringLiteral("%1 (process %2)").arg(h.program).arg(h.pid));
        return s
            + (who.isEmpty() ? QStringLiteral("in use by another program")
                             : QStringLiteral("in use by ") + who.join(QStringLiteral(", ")));
    }
    s += f.reason;
    if (f.refused())
        s += QStringLiteral("; to use serial ports, join the group %1 (sudo usermod -aG %1 $USER) and log in again")
                 .arg(f.group.isEmpty() ? QStringLiteral("dialout") : f.group);
    else if (f.missing())
        s += QStringLiteral("; attctl ports lists the serial ports of this machine");
    return s;
}
}  // namespace

Connection::Connection(const ConnectionOptions &options) : options_(options)
{
    const int transports = !options.tcp.isEmpty() + (options.com > 0) + !options.device.isEmpty();
    if (transports > 1) throw UsageError{QStringLiteral("give only one of --tcp, --com and --device")};
    if (!options.tcp.isEmpty()) {
        const qsizetype colon = options.tcp.lastIndexOf(u':');
        bool ok = false;
        const int port = colon > 0 ? options.tcp.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || port < 1 || port > 65535)
            throw UsageError{QStringLiteral("--tcp needs HOST:PORT, not ") + options.tcp};
    }
    const QString folder = QCoreApplication::applicationDirPath();
    if (!options.settingsFile.isEmpty() && !QFileInfo(options.settingsFile).isFile())
        throw UsageError{QStringLiteral("no settings file ") + options.settingsFile};
    LinkSettings settings =
        options.settingsFile.isEmpty() ? LinkSettings::load(folder) : LinkSettings::loadFile(options.settingsFile);
    if (!options.device.isEmpty()) settings.ports.insert(DeviceCom, options.device);
    if (options.baud > 0) settings.baud = options.baud;
    link_ = std::make_unique<AttLink>(settings);
}

bool Connection::open(QString &reason)
{
    if (!options_.tcp.isEmpty()) {
        link_->Mode(1);
        const qsizetype colon = options_.tcp.lastIndexOf(u':');
        QString host = options_.tcp.left(colon);
        if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
        if (link_->Connect_Net(host, options_.tcp.mid(colon + 1)).toBool()) return true;
        reason = QStringLiteral("cannot connect to ") + options_.tcp;
        return false;
    }
    link_->Mode(0);
    QVariant port = options_.device.isEmpty() ? options_.com : DeviceCom;
    if (link_->SetPort(port).toBool()) return true;
    const PortFailure f = link_->lastPortFailure();
    reason = QStringLiteral("cannot open ")
        + (options_.device.isEmpty() ? QStringLiteral("COM%1 ").arg(options_.com) : QString())
        + (f.any() ? portFailureText(f) : options_.device);
    reason = reason.trimmed();
    return false;
}
