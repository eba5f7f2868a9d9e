#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <sys/types.h>

// A byte channel over one POSIX file descriptor (a TCP socket or a serial device), blocking with
// poll() so that any thread may use it, one call at a time.
class FdChannel {
public:
    FdChannel() = default;
    FdChannel(const FdChannel &) = delete;
    FdChannel &operator=(const FdChannel &) = delete;
    virtual ~FdChannel();

    bool isOpen() const { return fd_ >= 0; }
    void close();
    // Writes everything within timeoutMs; false on error or timeout.
    bool writeAll(const QByteArray &bytes, int timeoutMs);
    // Waits up to timeoutMs for bytes: > 0 bytes read, 0 timeout, -1 closed or failed.
    int readSome(QByteArray &into, int timeoutMs);
    // Drops whatever is waiting to be read (stale bytes of an earlier exchange).
    void discardInput();
    QString lastError() const { return error_; }
    // Counts the descriptors this channel has opened: a new value means a new connection or port.
    quint64 generation() const { return generation_; }
    // A line that must turn around between directions (a serial line, possibly half duplex).
    virtual bool turnsAround() const { return false; }

protected:
    void adopt(int fd)
    {
        close();
        fd_ = fd;
        ++generation_;
    }
    int fd() const { return fd_; }
    void setError(const QString &e) { error_ = e; }

private:
    ssize_t send(const char *data, size_t size);

    int fd_ = -1;
    bool notSocket_ = false;
    quint64 generation_ = 0;
    QString error_;
};
