#include "attlink/transport/SerialChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}
}  // namespace

bool SerialChannel::open(const QString &devicePath, int baud)
{
    close();
    path_ = devicePath;
    const speed_t speed = speedFor(baud);
    if (speed == B0) { setError(QStringLiteral("不支持的波特率")); return false; }
    const int f = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) { setError(QString::fromLocal8Bit(strerror(errno))); return false; }
    termios t{};
    if (tcgetattr(f, &t) != 0) {
        setError(QString::fromLocal8Bit(strerror(errno)));
        ::close(f);
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(f, TCSANOW, &t) != 0) {
        setError(QString::fromLocal8Bit(strerror(errno)));
        ::close(f);
        return false;
    }
    tcflush(f, TCIOFLUSH);
    adopt(f);
    return true;
}
