#include "attlink/transport/SerialChannel.h"

#include <QStringList>

#include "attlink/transport/PortHolder.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0;
    }
}
}  // namespace

const QList<int> &SerialChannel::supportedRates()
{
    static const QList<int> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    return rates;
}

QString SerialChannel::supportedRatesText()
{
    QStringList texts;
    for (int r : supportedRates()) texts << QString::number(r);
    return texts.join(QStringLiteral(", "));
}

SerialChannel::~SerialChannel() { release(); }

void SerialChannel::release()
{
    if (isOpen()) ::ioctl(fd(), TIOCNXCL);
    close();
}

bool SerialChannel::fail(int systemError)
{
    failure_.systemError = systemError;
    failure_.reason = QString::fromLocal8Bit(strerror(systemError));
    const QFileInfo info(failure_.device);
    if (info.isSymLink()) failure_.resolved = info.canonicalFilePath();
    if (failure_.busy()) failure_.holders = PortHolders::of(failure_.device);
    struct stat s {};
    if (::stat(failure_.device.toLocal8Bit().constData(), &s) == 0) {
        failure_.mode = s.st_mode;
        failure_.groupId = s.st_gid;
        if (const group *g = ::getgrgid(s.st_gid)) failure_.group = QString::fromLocal8Bit(g->gr_name);
        if (const passwd *p = ::getpwuid(s.st_uid)) failure_.owner = QString::fromLocal8Bit(p->pw_name);
    }
    setError(failure_.reason);
    return false;
}

bool SerialChannel::open(const QString &devicePath, int baud)
{
    release();
    path_ = devicePath;
    failure_ = PortFailure{};
    failure_.device = devicePath;
    const speed_t speed = speedFor(baud);
    if (speed == B0) {
        failure_.systemError = EINVAL;
        failure_.reason = QStringLiteral("unsupported rate %1").arg(baud);
        setError(QStringLiteral("不支持的波特率"));
        return false;
    }
    const int f = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) return fail(errno);
    if (::flock(f, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(f);
        return fail(e);
    }
    termios t{};
    if (tcgetattr(f, &t) != 0) {
        const int e = errno;
        ::close(f);
        return fail(e);
    }
    ::ioctl(f, TIOCEXCL);
    cfmakeraw(&t);
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(f, TCSANOW, &t) != 0) {
        const int e = errno;
        ::ioctl(f, TIOCNXCL);
        ::close(f);
        return fail(e);
    }
    tcflush(f, TCIOFLUSH);
    adopt(f);
    failure_ = PortFailure{};
    return true;
}
