#include "attctl/Connection.h"

#include "attctl/ExitCode.h"
#include "common/AppFolders.h"
#include "link/PortFailureText.h"

#include <QCoreApplication>
#include <QFileInfo>

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
        host_ = options.tcp.left(colon);
        if (host_.startsWith(u'[') && host_.endsWith(u']')) host_ = host_.mid(1, host_.size() - 2);
        port_ = quint16(port);
    }
    // The console's rule: an installed attctl reads the user's AttLink.ini, as the window does.
    const QString folder = AppFolders::locate(QCoreApplication::applicationDirPath()).config;
    if (!options.settingsFile.isEmpty() && !QFileInfo(options.settingsFile).isFile())
        throw UsageError{QStringLiteral("no settings file ") + options.settingsFile};
    LinkSettings settings =
        options.settingsFile.isEmpty() ? LinkSettings::load(folder) : LinkSettings::loadFile(options.settingsFile);
    if (options.baud > 0) settings.baud = options.baud;
    client_ = std::make_unique<TerminalClient>(settings);
    link_ = std::make_unique<AttLink>(*client_);
}

bool Connection::open(QString &reason)
{
    if (!options_.tcp.isEmpty()) {
        if (client_->openTcp(host_, port_).ok()) return true;
        reason = QStringLiteral("cannot connect to %1: %2").arg(options_.tcp, client_->connectFailure());
        return false;
    }
    const QString device =
        options_.device.isEmpty() ? client_->settings().devicePathFor(options_.com) : options_.device;
    if (client_->openSerial(device).ok()) return true;
    const PortFailure &f = client_->portFailure();
    reason = QStringLiteral("cannot open ")
        + (options_.device.isEmpty() ? QStringLiteral("COM%1 ").arg(options_.com) : QString())
        + (f.any() ? portFailureText(f) : options_.device);
    reason = reason.trimmed();
    return false;
}
