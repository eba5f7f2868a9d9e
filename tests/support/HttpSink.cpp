#include "support/HttpSink.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

struct HttpSink::State {
    bool keepBodies = true;
    QThread thread;
    QObject *context = nullptr;  // lives in `thread`, parent of the server and the sockets
    quint16 port = 0;

    mutable QMutex mutex;
    QList<Request> requests;
    qint64 count = 0, bytes = 0;
    struct Phase {
        Behaviour how;
        int remaining, value;
    };
    QList<Phase> phases;

    // The behaviour for the next request; Accept once the misbehaving ones are used up. `take`: the
    // request is handled now, and uses it up.
    std::pair<Behaviour, int> next(bool take)
    {
        QMutexLocker lock(&mutex);
        if (phases.isEmpty()) return {Accept, 0};
        Phase &p = phases.front();
        const std::pair<Behaviour, int> now{p.how, p.value};
        if (take && p.remaining > 0 && --p.remaining == 0) phases.removeFirst();
        return now;
    }

    qint64 keep(Request r)
    {
        QMutexLocker lock(&mutex);
        bytes += r.body.size();
        if (keepBodies) requests.append(r);
        return count++;
    }

    void markAnswered(qint64 index, int status)
    {
        QMutexLocker lock(&mutex);
        if (keepBodies && index < requests.size()) requests[index].status = status;
    }

    void answer(QTcpSocket *socket, qint64 index, int status, const QByteArray &extraHeaders, const QByteArray &body)
    {
        if (socket->state() != QAbstractSocket::ConnectedState) return;
        socket->write("HTTP/1.1 " + QByteArray::number(status) + (status < 300 ? " OK" : " Not OK")
                      + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n"
                      + body);
        markAnswered(index, status);
    }

    // Handles every complete request in the socket's buffer.
    void serve(QTcpSocket *socket, QByteArray &buffer)
    {
        for (;;) {
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end < 0) return;
            Request r;
            qint64 length = 0;
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon <= 0) continue;
                const QByteArray name = lines[i].left(colon).trimmed().toLower();
                r.headers.insert(name, lines[i].mid(colon + 1).trimmed());
                if (name == "content-length") length = lines[i].mid(colon + 1).trimmed().toLongLong();
            }
            if (next(false).first == AnswerUnread) {
                next(true);
                const qint64 index = keep(r);
                answer(socket, index, 200, "Connection: close\r\n", QByteArray());
                socket->disconnectFromHost();
                buffer.clear();
                return;
            }
            if (buffer.size() < end + 4 + length) return;
            r.body = buffer.mid(end + 4, length);
            buffer.remove(0, end + 4 + length);
            const auto [how, value] = next(true);
            const qint64 index = keep(r);
            switch (how) {
            case Fail:
                answer(socket, index, 500, {}, "database unavailable");
                break;
            case Throttle:
                answer(socket, index, 429, "Retry-After: " + QByteArray::number(value) + "\r\n", {});
                break;
            case Refuse:
                answer(socket, index, value, {}, "{\"error\":\"punch refused\"}\n");
                break;
            case Slow:
                QTimer::singleShot(value, socket, [this, socket, index] { answer(socket, index, 200, {}, {}); });
                break;
            case Hang:
                break;
            default:
                answer(socket, index, 200, {}, {});
            }
        }
    }
};

HttpSink::HttpSink(bool keepBodies) : state_(std::make_unique<State>()) { state_->keepBodies = keepBodies; }

HttpSink::~HttpSink()
{
    if (!state_->context) return;
    QObject::connect(&state_->thread, &QThread::finished, state_->context, &QObject::deleteLater);
    state_->thread.quit();
    state_->thread.wait();
}

bool HttpSink::start()
{
    State *s = state_.get();
    s->thread.start();
    s->context = new QObject;
    s->context->moveToThread(&s->thread);
    QMetaObject::invokeMethod(
        s->context,
        [s] {
            auto *server = new QTcpServer(s->context);
            QObject::connect(server, &QTcpServer::newConnection, s->context, [s, server] {
                while (QTcpSocket *socket = server->nextPendingConnection()) {
                    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);  // answers go out at once
                    auto buffer = std::make_shared<QByteArray>();
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [s, socket, buffer] {
                        // Acknowledge at once, as a busy server would: a delayed acknowledgement holds
                        // the tail of a request the client's Nagle algorithm keeps back.
                        const int on = 1;
                        ::setsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
                        buffer->append(socket->readAll());
                        s->serve(socket, *buffer);
                    });
                    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                }
            });
            if (server->listen(QHostAddress::LocalHost, 0)) s->port = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
    return s->port != 0;
}

QString HttpSink::url() const { return QStringLiteral("http://127.0.0.1:%1/punches").arg(state_->port); }

void HttpSink::misbehave(Behaviour how, int count, int value)
{
    QMutexLocker lock(&state_->mutex);
    state_->phases.append({how, count, value});
}

QList<HttpSink::Request> HttpSink::requests() const
{
    QMutexLocker lock(&state_->mutex);
    return state_->requests;
}

qint64 HttpSink::requestCount() const
{
    QMutexLocker lock(&state_->mutex);
    return state_->count;
}

qint64 HttpSink::bodyBytes() const
{
    QMutexLocker lock(&state_->mutex);
    return state_->bytes;
}

bool HttpSink::waitForRequests(qint64 count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (requestCount() < count) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(10);
    }
    return true;
}
