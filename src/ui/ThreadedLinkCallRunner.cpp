#include "ui/ThreadedLinkCallRunner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

ThreadedLinkCallRunner::ThreadedLinkCallRunner(QObject *parent) : QObject(parent)
{
    worker_ = std::thread([this] { workerLoop(); });
}

ThreadedLinkCallRunner::~ThreadedLinkCallRunner()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void ThreadedLinkCallRunner::workerLoop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // stopping with nothing left to run
        Job *job = jobs_.front();
        jobs_.pop_front();
        lock.unlock();
        try {
            job->call();
        } catch (...) {
            job->error = std::current_exception();
        }
        // The GUI thread learns of the end through its event queue, behind any progress posted
        // before it, and only then reads the job.
        QMetaObject::invokeMethod(
            this, [job] { job->done = true; }, Qt::QueuedConnection);
        lock.lock();
    }
}

void ThreadedLinkCallRunner::run(const std::function<void()> &call)
{
    Job job;
    job.call = call;
    if (depth_ == 0) qApp->installEventFilter(this);
    ++depth_;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(&job);
    }
    wake_.notify_all();
    // Painting, timers and posted events go on; the desktop's input waits in its queue.
    while (!job.done)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    if (depth_ == 1) {
        // Input that queued up during the call is let through now and dropped by the filter.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        qApp->removeEventFilter(this);
    }
    --depth_;
    if (depth_ == 0 && (!pending_.empty() || !heldCloses_.empty()))
        QTimer::singleShot(0, this, [this] { runPending(); });
    if (job.error) std::rethrow_exception(job.error);
}

void ThreadedLinkCallRunner::forwardProgress(qint64 done, qint64 expected)
{
    if (QThread::currentThread() == thread()) {
        LinkCallRunner::forwardProgress(done, expected);
        return;
    }
    std::lock_guard lock(progressMutex_);
    progressDone_ = done;
    progressExpected_ = expected;
    if (progressQueued_) return;  // the delivery in flight will carry the latest figures
    progressQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { deliverProgress(); }, Qt::QueuedConnection);
}

void ThreadedLinkCallRunner::deliverProgress()
{
    qint64 done, expected;
    {
        std::lock_guard lock(progressMutex_);
        done = progressDone_;
        expected = progressExpected_;
        progressQueued_ = false;
    }
    LinkCallRunner::forwardProgress(done, expected);
}

void ThreadedLinkCallRunner::whenIdle(std::function<void()> fn)
{
    if (!busy()) {
        fn();
        return;
    }
    pending_.push_back(std::move(fn));
}

void ThreadedLinkCallRunner::runPending()
{
    // A function run here may itself make calls; whatever it defers lands in a fresh list.
    while (!busy() && (!pending_.empty() || !heldCloses_.empty())) {
        if (!pending_.empty()) {
            auto fn = std::move(pending_.front());
            pending_.erase(pending_.begin());
            fn();
        } else {
            QPointer<QWidget> w = heldCloses_.front();
            heldCloses_.erase(heldCloses_.begin());
            if (w) w->close();
        }
    }
}

bool ThreadedLinkCallRunner::isOperatorInput(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

bool ThreadedLinkCallRunner::eventFilter(QObject *watched, QEvent *event)
{
    if (!busy()) return false;
    if (isOperatorInput(event)) return true;
    if (event->type() == QEvent::Close && watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow()) {
        auto *w = static_cast<QWidget *>(watched);
        // Tooltips and popups close themselves (a timer, a click elsewhere): that is no one asking
        // to leave, and abandoning would end the call and every later one.
        if (w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup) return false;
        bool held = false;
        for (const auto &p : heldCloses_) held = held || p == w;
        if (!held) heldCloses_.emplace_back(w);
        if (abandon_) abandon_();
        event->ignore();
        return true;
    }
    return false;
}
