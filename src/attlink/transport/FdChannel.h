#pragma once

#include <QByteArray>
#include <QString>
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

protected:
    void adopt(int fd) { close(); fd_ = fd; }
    int fd() const { return fd_; }
    void setError(const QString &e) { error_ = e; }

private:
    ssize_t send(const char *data, size_t size);

    int fd_ = -1;
    bool notSocket_ = false;
    QString error_;
};
