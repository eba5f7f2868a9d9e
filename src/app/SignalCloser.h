#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM and SIGINT into a close of the window, as its close box would, so that a session
// logout or Ctrl+C saves the settings. The handler only writes a byte to a pipe; the event loop reads
// it and closes the window.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QWidget &window, QObject *parent = nullptr);
    ~SignalCloser() override;

private:
    QWidget &window_;
    int fds_[2] = {-1, -1};
    QSocketNotifier *notifier_ = nullptr;
};
