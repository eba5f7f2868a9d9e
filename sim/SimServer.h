#pragma once

#include "sim/Faults.h"
#include "sim/Terminal.h"

#include <QList>
#include <QObject>
#include <QString>

class PtyLine;
class QTcpServer;

// The simulator's lines: a TCP listener (a line per connection) and a pseudo-terminal, all reaching
// the same terminals. Lines are single-threaded on the event loop, so terminals need no locks.
class SimServer : public QObject {
    Q_OBJECT
public:
    // The terminals stay the caller's and outlive the server.
    SimServer(QList<Terminal *> terminals, const FaultSettings &faults, QObject *parent = nullptr);
    ~SimServer() override;

    // "HOST:PORT"; port 0 takes a free one. listening() gives "HOST:PORT" as bound.
    bool listenTcp(const QString &hostPort, QString &error);
    QString listening() const;
    bool openPty(const QString &linkPath, QString &error);

    Terminal *terminalAt(int address);

private:
    const QList<Terminal *> terminals_;
    Faults faults_;
    QTcpServer *tcp_ = nullptr;
    PtyLine *pty_ = nullptr;
};
