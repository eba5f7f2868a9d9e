#include "sim/SimServer.h"

#include "sim/Line.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

SimServer::SimServer(QList<Terminal *> terminals, const FaultSettings &faults, QObject *parent)
    : QObject(parent), terminals_(std::move(terminals)), faults_(faults)
{
    for (Terminal *self : terminals_) {
        self->addressTaken = [this, self](int a) {
            for (const Terminal *other : terminals_)
                if (other != self && other->address == a) return true;
            return false;
        };
    }
}

SimServer::~SimServer() { delete pty_; }

Terminal *SimServer::terminalAt(int address)
{
    for (Terminal *t : terminals_)
        if (t->address == address) return t;
    return nullptr;
}

bool SimServer::listenTcp(const QString &hostPort, QString &error)
{
    const qsizetype colon = hostPort.lastIndexOf(u':');
    bool ok = false;
    const int port = colon > 0 ? hostPort.mid(colon + 1).toInt(&ok) : 0;
    QString host = colon > 0 ? hostPort.left(colon) : QString();
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    QHostAddress address(host == u"localhost" ? QStringLiteral("127.0.0.1") : host);
    if (!ok || port < 0 || port > 65535 || address.isNull()) {
        error = QStringLiteral("--tcp wants HOST:PORT with an IP address, got %1").arg(hostPort);
        return false;
    }
    tcp_ = new QTcpServer(this);
    if (!tcp_->listen(address, quint16(port))) {
        error = QStringLiteral("cannot listen on %1: %2").arg(hostPort, tcp_->errorString());
        // The terminal's own port 1001 is below 1024, which only root may take.
        if (tcp_->serverError() == QAbstractSocket::SocketAccessError && port < 1024)
            error += QStringLiteral(" (ports below 1024 need root; try --tcp %1:%2)")
                         .arg(host.contains(u':') ? u'[' + host + u']' : host)
                         .arg(port + 10000);
        return false;
    }
    connect(tcp_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = tcp_->nextPendingConnection()) {
            auto *line = new TcpLine(
                s, [this](int a) { return terminalAt(a); }, faults_, this);
            connect(line, &Line::finished, line, &QObject::deleteLater);
        }
    });
    return true;
}

QString SimServer::listening() const
{
    if (!tcp_) return {};
    const QHostAddress a = tcp_->serverAddress();
    const QString host = a.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + a.toString() + u']' : a.toString();
    return host + u':' + QString::number(tcp_->serverPort());
}

bool SimServer::openPty(const QString &linkPath, QString &error)
{
    auto line = std::make_unique<PtyLine>([this](int a) { return terminalAt(a); }, faults_, nullptr);
    if (!line->open(linkPath, error)) return false;
    pty_ = line.release();
    return true;
}
