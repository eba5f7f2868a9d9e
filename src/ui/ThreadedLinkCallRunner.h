#pragma once

#include "ui/LinkCallRunner.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs every device-link call on one worker thread that lives as long as the runner, while the GUI
// thread waits in a local event loop that leaves user input aside. The window keeps painting and
// answering the desktop during a long transfer, yet takes no click or key: input that arrives during
// the call is dropped, so an impatient second click cannot start the command again. A close of a
// window during the call (the close box, SIGTERM) abandons the call through the abandon handler and
// is carried out once the call is over, so that the window goes within a second. Progress that the link
// reports on the worker reaches the listener on the GUI thread; an error the call raises is rethrown
// on the GUI thread, as from a direct call.
//
// Only the GUI thread may call run(); calls are never nested (a function that must not run during a
// call waits for whenIdle()).
class ThreadedLinkCallRunner : public QObject, public LinkCallRunner {
    Q_OBJECT
public:
    explicit ThreadedLinkCallRunner(QObject *parent = nullptr);
    ~ThreadedLinkCallRunner() override;

    void run(const std::function<void()> &call) override;
    void forwardProgress(qint64 done, qint64 expected) override;
    bool busy() const override { return depth_ > 0; }
    void whenIdle(std::function<void()> fn) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Job {
        std::function<void()> call;
        std::exception_ptr error;
        bool done = false;
    };
    void workerLoop();
    void deliverProgress();
    void runPending();
    static bool isOperatorInput(const QEvent *event);

    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job *> jobs_;  // jobs the worker is to run, in order; guarded by mutex_
    bool stopping_ = false;

    // Latest progress from the worker; one delivery is in flight at a time.
    std::mutex progressMutex_;
    qint64 progressDone_ = 0, progressExpected_ = 0;
    bool progressQueued_ = false;

    int depth_ = 0;
    std::vector<std::function<void()>> pending_;
    std::vector<QPointer<QWidget>> heldCloses_;
};
