// attctl serve: the read-only web dashboard over the punch database.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOption.h"
#include "attctl/StopSignal.h"

#include "web/WebServer.h"
#include "web/WebSite.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

constexpr quint16 DefaultPort = 8470;

// ADDRESS:PORT, an IPv6 address in brackets.
void readListen(const QString &text, QHostAddress &address, quint16 &port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    QString host = colon < 0 ? QString() : text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint p = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&ok);
    if (colon < 0 || !ok || p > 65535 || !address.setAddress(host))
        throw UsageError{
            QStringLiteral(
                "--listen wants ADDRESS:PORT with a numeric address, e.g. 127.0.0.1:8470 or [::1]:8470, not \"%1\"")
                .arg(text)};
    port = quint16(p);
}

QByteArray readToken(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw UsageError{QStringLiteral("--token-file %1: %2").arg(path, f.errorString())};
    const QByteArray token = f.read(4097).trimmed();
    if (token.size() < 16 || token.size() > 4096 || token.contains('\n'))
        throw UsageError{
            QStringLiteral("--token-file %1: wants one line of 16 to 4096 characters (e.g. from openssl rand -hex 32)")
                .arg(path)};
    return token;
}

int serveCommand(CliContext &c, Args &a)
{
    const DatabaseUrl url = DatabaseOption::urlOf(a.value(QStringLiteral("--db")));
    QHostAddress address(QHostAddress::LocalHost);
    quint16 port = DefaultPort;
    if (const auto listen = a.value(QStringLiteral("--listen"))) readListen(*listen, address, port);
    const std::optional<QString> tokenFile = a.value(QStringLiteral("--token-file"));
    a.finish();
    // Off this computer only with a secret: the pages show who worked when.
    if (!address.isLoopback() && !tokenFile)
        throw UsageError{
            QStringLiteral(
                "--listen %1 is reachable from other computers: give --token-file FILE (or listen on 127.0.0.1)")
                .arg(address.toString())};
    const QByteArray token = tokenFile ? readToken(*tokenFile) : QByteArray();

    WebSite *site = nullptr;
    WebServer server([&site](const HttpRequest &r) { return site->respond(r); }, WebServer::Limits{});
    QString error;
    if (!server.listen(address, port, error)) {
        c.err << "attctl: cannot listen on " << address.toString() << ':' << port << ": " << error << Qt::endl;
        return ExitCode::Communication;
    }
    WebSite website(url, WebAccess(address, server.port(), token));
    site = &website;
    const QString shown =
        address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address.toString() + u']' : address.toString();
    c.out << "serving http://" << shown << ':' << server.port() << "/ from " << url.display()
          << (token.isEmpty() ? "" : " (token required)") << Qt::endl;
    const std::atomic<bool> &stop = StopSignal::install();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&stop] {
        if (stop.load()) QCoreApplication::quit();
    });
    poll.start(200);
    QCoreApplication::exec();
    c.out << "stopped" << Qt::endl;
    return ExitCode::Success;
}

}  // namespace

void addServeCommand(std::vector<CommandEntry> &t)
{
    t.push_back(
        {QStringLiteral("serve"), QStringLiteral("[--db URL] [--listen ADDRESS:PORT] [--token-file FILE]"),
         QStringLiteral("the read-only web dashboard of a database (default 127.0.0.1:8470; another address needs "
                        "--token-file)"),
         false, serveCommand});
}
