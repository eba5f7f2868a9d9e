#pragma once

#include "attlink/transport/FdChannel.h"

// A serial line (termios, 8 data bits, no parity, 1 stop bit, no flow control).
class SerialChannel : public FdChannel {
public:
    bool open(const QString &devicePath, int baud);
    QString path() const { return path_; }
    bool turnsAround() const override { return true; }

private:
    QString path_;
};
