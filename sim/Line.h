#pragma once

#include "attlink/protocol/Frame.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class Faults;
class Subscriptions;
class QSocketNotifier;
class QTcpSocket;
class QTimer;
class Terminal;

// One line to the console (a TCP connection or the pseudo-terminal): decodes requests, lets the
// addressed terminal answer (other addresses stay silent, as on a multi-drop line), and sends the
// reply through the faults: dropped, corrupted, delayed, paced at the baud rate, cut after N bytes.
class Line : public QObject {
    Q_OBJECT
public:
    using TerminalAt = std::function<Terminal *(int address)>;
    Line(TerminalAt terminalAt, Faults &faults, QObject *parent);

    qint64 bytesIn() const { return bytesIn_; }
    qint64 bytesOut() const { return bytesOut_; }

signals:
    void finished();  // the connection is gone; the owner deletes the line

protected:
    void received(const QByteArray &bytes);
    // Hands bytes to the transport: how many it took (0 when it would block), -1 when it failed.
    virtual qint64 send(const char *data, qint64 size) = 0;
    // The transport's reaction to --disconnect-after.
    virtual void cut() = 0;
    // Whether the terminals may talk first on this line (push records to a subscriber): on TCP yes, on
    // a serial line only the host may.
    virtual bool pushes() const = 0;
    bool isCut() const { return cut_; }
    void markCut() { cut_ = true; }

private:
    // The last request each address answered on this line and its reply frame: a retry (the same
    // sequence number and content) is answered from here and not carried out again.
    struct Answered {
        uint8_t command = 0;
        uint32_t sequence = 0;
        QByteArray payload;
        QByteArray reply;
    };
    QByteArray answer(const Frame::Message &request);
    QByteArray subscribe(Terminal &t, const QByteArray &payload);
    void enqueue(const QByteArray &frame);
    void pump();

    QHash<int, Answered> answered_;
    Subscriptions *subscriptions_ = nullptr;  // made at the first Subscribe

    TerminalAt terminalAt_;
    Faults &faults_;
    Frame::Decoder decoder_;
    QByteArray pending_;
    QTimer *pacer_;
    QElapsedTimer paceClock_;
    QElapsedTimer lastByte_;
    qint64 pacedSent_ = 0;
    qint64 bytesIn_ = 0, bytesOut_ = 0;
    bool cut_ = false;
};

class TcpLine : public Line {
    Q_OBJECT
public:
    TcpLine(QTcpSocket *socket, TerminalAt terminalAt, Faults &faults, QObject *parent);

protected:
    qint64 send(const char *data, qint64 size) override;
    void cut() override;
    bool pushes() const override { return true; }

private:
    QTcpSocket *socket_;
};

// A pseudo-terminal in raw mode whose slave side is reached through a symbolic link. The simulator
// keeps the slave open itself, so that a console closing and reopening the port never hangs it up.
class PtyLine : public Line {
    Q_OBJECT
public:
    PtyLine(TerminalAt terminalAt, Faults &faults, QObject *parent);
    ~PtyLine() override;
    // Creates the pty and the link at linkPath (replacing an earlier link, never another kind of file).
    bool open(const QString &linkPath, QString &error);
    QString slavePath() const { return slavePath_; }

protected:
    qint64 send(const char *data, qint64 size) override;
    void cut() override;
    bool pushes() const override { return false; }

private:
    void readable();

    int master_ = -1, slave_ = -1;
    QString slavePath_, linkPath_;
    QSocketNotifier *notifier_ = nullptr;
};
