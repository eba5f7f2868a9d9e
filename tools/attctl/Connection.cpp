#include "attctl/Connection.h"

#include "attctl/ExitCode.h"
#include "common/AppFolders.h"
#include "link/PortFailureText.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
// The COM number attctl gives a --device path in its private settings.
constexpr int DeviceCom = 1;

}  // namespace

Connection::Connection(const ConnectionOptions &options) : options_(options)
{
    const int transports = !options.tcp.isEmpty() + (options.com > 0) + !options.device.isEmpty();
    if (transports > 1) throw UsageError{QStringLiteral("give only one of --tcp, --com and --device")};
    if (!options.tcp.isEmpty()) {
        const qsizetype colon = options.tcp.lastIndexOf(u':');
        bool ok = false;
        const int port = colon > 0 ? options.tcp.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || port < 1 || port > 65535) throw UsageError{QStringLiteral("--tcp needs HOST:PORT, not ") + options.tcp};
    }
    // The console's rule: an installed attctl reads the user's AttLink.ini, as the window does.
    const QString folder = AppFolders::locate(QCoreApplication::applicationDirPath()).config;
    if (!options.settingsFile.isEmpty() && !QFileInfo(options.settingsFile).isFile())
        throw UsageError{QStringLiteral("no settings file ") + options.settingsFile};
    LinkSettings settings = options.settingsFile.isEmpty() ? LinkSettings::load(folder)
                                                           : LinkSettings::loadFile(options.settingsFile);
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
        reason = QStringLiteral("cannot connect to %1: %2").arg(options_.tcp, link_->lastConnectFailure());
        return false;
    }
    link_->Mode(0);
    QVariant port = options_.device.isEmpty() ? options_.com : DeviceCom;
    if (link_->SetPort(port).toBool()) return true;
    const PortFailure f = link_->lastPortFailure();
    reason = QStringLiteral("cannot open ") + (options_.device.isEmpty() ? QStringLiteral("COM%1 ").arg(options_.com) : QString())
             + (f.any() ? portFailureText(f) : options_.device);
    reason = reason.trimmed();
    return false;
}
