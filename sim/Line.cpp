#include "sim/Line.h"

#include "sim/Faults.h"
#include "sim/Subscriptions.h"
#include "sim/Terminal.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr qint64 MaxPending = 4 * 1024 * 1024;  // nobody is reading: stop queueing
constexpr qint64 PartialFrameMs = 250;
}

Line::Line(TerminalAt terminalAt, Faults &faults, QObject *parent)
    : QObject(parent), terminalAt_(std::move(terminalAt)), faults_(faults), pacer_(new QTimer(this))
{
    pacer_->setInterval(2);
    pacer_->setTimerType(Qt::PreciseTimer);
    connect(pacer_, &QTimer::timeout, this, &Line::pump);
}

void Line::received(const QByteArray &bytes)
{
    if (cut_) return;
    bytesIn_ += bytes.size();
    // Like a terminal's own inter-byte timeout: a frame left unfinished by a silence is dropped, so
    // that its stray bytes cannot swallow the next request.
    if (lastByte_.isValid() && lastByte_.elapsed() > PartialFrameMs && decoder_.pendingBytes() > 0) decoder_.clear();
    lastByte_.start();
    decoder_.feed(bytes);
    Frame::Message m;
    while (decoder_.next(m)) {
        if (m.command & Frame::ReplyBit) continue;  // a reply is never a request
        if (m.command == Command::PushAck) {         // acknowledges a push; never answered
            if (subscriptions_) subscriptions_->acknowledged(m);
            continue;
        }
        QByteArray frame = answer(m);
        if (frame.isEmpty()) continue;  // no terminal at that address
        if (faults_.dropNext()) continue;
        faults_.maybeCorrupt(frame);
        // The request itself took this long on a paced line before the terminal could answer.
        const int delay = faults_.settings().delayMs + int(faults_.lineMs(Frame::OverheadSize + m.payload.size()));
        if (delay <= 0)
            enqueue(frame);
        else
            QTimer::singleShot(delay, this, [this, frame] { enqueue(frame); });
    }
}

QByteArray Line::answer(const Frame::Message &m)
{
    const auto cached = answered_.constFind(m.address);
    if (cached != answered_.cend() && cached->sequence == m.sequence && cached->command == m.command
        && cached->payload == m.payload)
        return cached->reply;
    Terminal *t = terminalAt_(m.address);
    if (!t) return {};
    QByteArray payload;
    if (m.command == Command::Subscribe) {
        payload = subscribe(*t, m.payload);
    } else {
        const Terminal::Reply r = t->handle(m.command, m.payload);
        payload = QByteArray(1, char(r.status)) + r.data;
    }
    // The reply carries the address it was asked under (SetAddress answers from the old one).
    QByteArray frame = Frame::encode({m.address, uint8_t(m.command | Frame::ReplyBit), m.sequence, payload});
    if (frame.isEmpty())
        frame = Frame::encode(
            {m.address, uint8_t(m.command | Frame::ReplyBit), m.sequence, QByteArray(1, char(ReplyStatus::Refused))});
    answered_.insert(m.address, {m.command, m.sequence, m.payload, frame});
    return frame;
}

QByteArray Line::subscribe(Terminal &t, const QByteArray &payload)
{
    // Only the host talks first on a serial line: it polls instead.
    if (!pushes()) return QByteArray(1, char(ReplyStatus::Refused));
    if (!subscriptions_)
        subscriptions_ = new Subscriptions(
            terminalAt_, [this](const QByteArray &frame) { enqueue(frame); }, faults_, this);
    return subscriptions_->subscribe(t, payload);
}

void Line::enqueue(const QByteArray &frame)
{
    if (cut_ || pending_.size() > MaxPending) return;
    if (pending_.isEmpty()) {
        paceClock_.start();
        pacedSent_ = 0;
    }
    pending_ += frame;
    pump();
}

void Line::pump()
{
    if (cut_) {
        pending_.clear();
        pacer_->stop();
        return;
    }
    qint64 budget = pending_.size();
    if (faults_.settings().baud > 0) {
        const qint64 allowed = qint64(paceClock_.nsecsElapsed() / 1e6 * faults_.settings().baud / 10000.0);
        budget = qMin(budget, allowed - pacedSent_);
    }
    const qint64 limit = faults_.settings().disconnectAfter;
    if (limit >= 0) budget = qMin(budget, limit - bytesOut_);
    if (budget > 0) {
        const qint64 n = send(pending_.constData(), budget);
        if (n < 0) {
            pending_.clear();
            pacer_->stop();
            return;
        }
        pending_.remove(0, n);
        bytesOut_ += n;
        pacedSent_ += n;
    }
    if (limit >= 0 && bytesOut_ >= limit) {
        cut_ = true;
        pending_.clear();
        pacer_->stop();
        cut();
        return;
    }
    if (pending_.isEmpty())
        pacer_->stop();
    else if (!pacer_->isActive())
        pacer_->start();
}

// ---- TCP ----

TcpLine::TcpLine(QTcpSocket *socket, TerminalAt terminalAt, Faults &faults, QObject *parent)
    : Line(std::move(terminalAt), faults, parent), socket_(socket)
{
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket_, &QTcpSocket::readyRead, this, [this] { received(socket_->readAll()); });
    connect(socket_, &QTcpSocket::disconnected, this, &Line::finished);
}

qint64 TcpLine::send(const char *data, qint64 size)
{
    if (socket_->state() != QAbstractSocket::ConnectedState) return -1;
    return socket_->write(data, size);
}

void TcpLine::cut()
{
    socket_->flush();
    socket_->disconnectFromHost();
}

// ---- pseudo-terminal ----

PtyLine::PtyLine(TerminalAt terminalAt, Faults &faults, QObject *parent) : Line(std::move(terminalAt), faults, parent)
{
}

PtyLine::~PtyLine()
{
    // Remove the link only while it still names our pty: a later simulator may have taken the path.
    if (!linkPath_.isEmpty() && QFileInfo(linkPath_).symLinkTarget() == slavePath_)
        ::unlink(linkPath_.toLocal8Bit().constData());
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

bool PtyLine::open(const QString &linkPath, QString &error)
{
    auto fail = [&](const QString &what) {
        error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(QStringLiteral("cannot create a pseudo-terminal"));
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail(QStringLiteral("cannot unlock the pseudo-terminal"));
    const char *name = ::ptsname(master_);
    if (!name) return fail(QStringLiteral("cannot name the pseudo-terminal"));
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return fail(QStringLiteral("cannot open ") + slavePath_);
    termios t{};
    if (::tcgetattr(slave_, &t) != 0) return fail(QStringLiteral("cannot read the line settings"));
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(slave_, TCSANOW, &t) != 0) return fail(QStringLiteral("cannot set raw mode"));
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    const QByteArray link = linkPath.toLocal8Bit();
    const QFileInfo existing(linkPath);
    if (existing.isSymLink())
        ::unlink(link.constData());
    else if (existing.exists()) {
        error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
        return false;
    }
    if (::symlink(name, link.constData()) != 0) return fail(QStringLiteral("cannot create the link ") + linkPath);
    linkPath_ = linkPath;
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyLine::readable);
    return true;
}

void PtyLine::readable()
{
    char buf[16384];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            received(QByteArray(buf, n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;  // EAGAIN, or EIO while no one holds the slave (we do, so it does not last)
    }
}

qint64 PtyLine::send(const char *data, qint64 size)
{
    const ssize_t n = ::write(master_, data, size_t(size));
    if (n >= 0) return n;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void PtyLine::cut()
{
    // A serial cable cannot be closed from the far end: the line simply goes dead.
    markCut();
}
