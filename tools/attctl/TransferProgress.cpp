#include "attctl/TransferProgress.h"

#include "common/VisibleText.h"

#include <unistd.h>

namespace {
constexpr qint64 RedrawMs = 250;
}

TransferProgress::TransferProgress(QTextStream &err) : err_(err), active_(isatty(STDERR_FILENO)) {}

QString TransferProgress::text(qint64 received, qint64 expected, qint64 elapsedMs)
{
    QString s = QStringLiteral("%1 / %2 records").arg(received).arg(qMax(received, expected));
    if (received > 0 && expected > received && elapsedMs > 0) {
        const qint64 left = (expected - received) * elapsedMs / received / 1000;
        s += QStringLiteral(", about %1 s left").arg(left);
    }
    return s;
}

void TransferProgress::setHeading(const QString &heading)
{
    if (!active_) return;
    QMutexLocker hold(&mutex_);
    heading_ = heading;
    draw();
}

void TransferProgress::update(const QString &transfer, qint64 received, qint64 expected)
{
    if (!active_) return;
    QMutexLocker hold(&mutex_);
    auto it = transfers_.find(transfer);
    if (it == transfers_.end()) {
        it = transfers_.insert(transfer, Transfer{});
        it->clock.start();
        order_.append(transfer);
    }
    it->received = received;
    it->expected = expected;
    if (sinceDrawn_.isValid() && sinceDrawn_.elapsed() < RedrawMs) return;
    draw();
}

void TransferProgress::finish(const QString &transfer)
{
    if (!active_) return;
    QMutexLocker hold(&mutex_);
    transfers_.remove(transfer);
    order_.removeAll(transfer);
}

void TransferProgress::around(const std::function<void()> &write)
{
    QMutexLocker hold(&mutex_);
    if (active_) err_ << "\r\033[K" << Qt::flush;
    write();
    if (active_) draw();
}

void TransferProgress::clear()
{
    if (!active_) return;
    QMutexLocker hold(&mutex_);
    err_ << "\r\033[K" << Qt::flush;
}

void TransferProgress::draw()
{
    QStringList parts;
    if (!heading_.isEmpty()) parts.append(heading_);
    for (const QString &name : order_) {
        const Transfer &t = transfers_[name];
        parts.append((name.isEmpty() ? QString() : visibleText(name) + QStringLiteral(": "))
                     + text(t.received, t.expected, t.clock.elapsed()));
    }
    err_ << "\r\033[K" << parts.join(QStringLiteral("; ")) << Qt::flush;
    sinceDrawn_.start();
}
