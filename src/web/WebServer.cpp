#include "web/WebServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

WebServer::WebServer(Handler handler, Limits limits, QObject *parent)
    : QObject(parent), handler_(std::move(handler)), limits_(limits)
{
    pool_.setMaxThreadCount(limits_.workers);
    pool_.setExpiryTimeout(-1);
    server_.setMaxPendingConnections(limits_.connections);
    server_.setListenBacklogSize(1024);
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this, &WebServer::acceptPending);
}

WebServer::~WebServer()
{
    server_.close();
    pool_.waitForDone();
}

bool WebServer::listen(const QHostAddress &address, quint16 port, QString &error)
{
    if (server_.listen(address, port)) return true;
    error = server_.errorString();
    return false;
}

void WebServer::acceptPending()
{
    while (open_ < limits_.connections && server_.hasPendingConnections()) serve(server_.nextPendingConnection());
    // At the limit the kernel's listen queue holds the rest until a connection closes.
    if (open_ >= limits_.connections) server_.pauseAccepting();
}

void WebServer::serve(QTcpSocket *socket)
{
    ++open_;
    connect(socket, &QObject::destroyed, this, [this] {
        --open_;
        server_.resumeAccepting();
        acceptPending();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    // A client that sends its head slowly (or not at all) is cut at the deadline.
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
        socket->write(HttpResponse::text(408, "the request did not arrive in time\n").toBytes(false));
        socket->flush();
        socket->abort();
        socket->deleteLater();
    });
    deadline->start(limits_.headDeadlineMs);
    auto reader = std::make_shared<HttpRequestReader>();
    const auto readMore = [this, socket, reader, deadline] {
        const HttpRequestReader::State state = reader->feed(socket->readAll());
        if (state == HttpRequestReader::State::Incomplete) return;
        disconnect(socket, &QTcpSocket::readyRead, socket, nullptr);
        deadline->start(limits_.answerDeadlineMs);
        if (state == HttpRequestReader::State::Refused) {
            socket->write(HttpResponse::text(reader->refusal(), "refused\n").toBytes(false));
            socket->disconnectFromHost();
            return;
        }
        answer(socket, reader->request());
    };
    connect(socket, &QTcpSocket::readyRead, socket, readMore);
    // The request may have come whole while the connection waited in the server's queue: no further
    // readyRead would announce it.
    if (socket->bytesAvailable() > 0) readMore();
}

void WebServer::answer(QTcpSocket *socket, const HttpRequest &request)
{
    QPointer<QTcpSocket> client(socket);
    pool_.start([this, client, request] {
        const QByteArray bytes = handler_(request).toBytes(request.method == "HEAD");
        QMetaObject::invokeMethod(
            this,
            [client, bytes] {
                if (!client) return;
                client->write(bytes);
                client->disconnectFromHost();
            },
            Qt::QueuedConnection);
    });
}
