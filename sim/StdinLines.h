#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Standard input as lines, read on the event loop; at its end the simulator keeps running.
class StdinLines : public QObject {
    Q_OBJECT
public:
    explicit StdinLines(QObject *parent = nullptr);

signals:
    void line(const QString &text);

private:
    void readable();
    QSocketNotifier *notifier_;
    QByteArray buffer_;
};

// SIGTERM and SIGINT as a signal on the event loop (the handler only writes to a socket pair).
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void stopped();

private:
    int fds_[2] = {-1, -1};
};
