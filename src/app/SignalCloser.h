#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM and SIGINT into a close of the window, as its close box would, so that a session
// logout or Ctrl+C saves the settings. The handler only writes a byte to a pipe; the event loop reads
// it. Every open message box or file dialog is first answered as cancelled, and the window is closed
// only once the commands that opened them have finished (their nested loops have returned), so that
// what a refused box throws away is not saved.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    // Made just before the event loop that the window runs in is entered.
    explicit SignalCloser(QWidget &window, QObject *parent = nullptr);
    ~SignalCloser() override;

private:
    void step();
    static bool cancelOpenDialogs();

    QWidget &window_;
    int fds_[2] = {-1, -1};
    QSocketNotifier *notifier_ = nullptr;
    int windowLoopLevel_ = 1;  // the depth of the window's own event loop
    QTimer watch_;
    bool closeAsked_ = false;
};
