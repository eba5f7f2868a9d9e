#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <sys/types.h>

// A byte channel over one POSIX file descriptor (a TCP socket or a serial device), blocking with
// poll() so that any thread may use it, one call at a time. Waits are cut into slices of at most
// 100 ms and end early, as failures, once the abandon flag (set from any thread) is up.
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
    // The other end closed the connection (end of file, reset, broken pipe): retrying is pointless.
    bool peerGone() const { return peerGone_; }
    // Counts the descriptors this channel has opened: a new value means a new connection or port.
    quint64 generation() const { return generation_; }
    // A line that must turn around between directions (a serial line, possibly half duplex).
    virtual bool turnsAround() const { return false; }

    static constexpr int WaitSliceMs = 100;
    // The flag that abandons every wait (shared by the owner's channels; null: never abandoned).
    void setAbandonFlag(const std::atomic<bool> *flag) { abandon_ = flag; }
    bool abandoned() const { return abandon_ && abandon_->load(); }
    static QString abandonedText() { return QStringLiteral("通讯已中止"); }

protected:
    void adopt(int fd)
    {
        close();
        fd_ = fd;
        peerGone_ = false;
        ++generation_;
    }
    int fd() const { return fd_; }
    void setError(const QString &e) { error_ = e; }
    // poll() for `events` on fd up to timeoutMs in slices: 1 ready, 0 timed out, -1 failed or
    // abandoned (the error set).
    int waitFor(int fd, short events, int timeoutMs);

private:
    ssize_t send(const char *data, size_t size);

    int fd_ = -1;
    bool notSocket_ = false;
    bool peerGone_ = false;
    const std::atomic<bool> *abandon_ = nullptr;
    quint64 generation_ = 0;
    QString error_;
};
