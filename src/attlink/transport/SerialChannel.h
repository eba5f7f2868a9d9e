#pragma once

#include "attlink/transport/FdChannel.h"
#include "link/PortFailure.h"

#include <QList>

// A serial line (termios, 8 data bits, no parity, 1 stop bit, no flow control), held exclusively
// while open: flock() on the device, which the kernel drops when the holder ends however it ends
// (no stale lock files), binds root too, and names the holder in /proc/locks; and TIOCEXCL, which
// also keeps out programs that do not lock (other than root's). The lock is taken before the line
// settings are touched, so a refused open disturbs nothing of the holder's.
class SerialChannel : public FdChannel {
public:
    ~SerialChannel() override;
    bool open(const QString &devicePath, int baud);
    // Gives the line up (its exclusive mode first, so that a pseudo-terminal others keep open is
    // not left refusing everyone).
    void release();
    QString path() const { return path_; }
    // Why the last open failed; empty after a successful one.
    const PortFailure &failure() const { return failure_; }
    bool turnsAround() const override { return true; }

    // The rates a line can be opened at, and the same as "1200, 2400, ..." for messages.
    static const QList<int> &supportedRates();
    static QString supportedRatesText();

private:
    bool fail(int systemError);

    QString path_;
    PortFailure failure_;
};
