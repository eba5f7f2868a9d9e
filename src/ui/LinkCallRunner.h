#pragma once

#include "link/DeviceLink.h"

#include <functional>

// Runs one device-link call for a command. The call blocks the command (it returns when the
// terminal exchange is over) and any error it raises is rethrown here. Progress reported by the
// device link meanwhile reaches the progress listener.
class LinkCallRunner {
public:
    using ProgressListener = std::function<void(qint64 done, qint64 expected)>;

    virtual ~LinkCallRunner() = default;
    virtual void run(const std::function<void()> &call) = 0;

    void setProgressListener(ProgressListener listener) { listener_ = std::move(listener); }
    // What ends the call in progress early (the device link's abandon), for a runner that sees the
    // window close during a call.
    void setAbandonHandler(std::function<void()> handler) { abandon_ = std::move(handler); }

    // True while a call is running. A runner that keeps the window's events going during a call can
    // see a timer tick meanwhile; whenIdle() runs such work once the call is over (at once when idle).
    virtual bool busy() const { return false; }
    virtual void whenIdle(std::function<void()> fn) { fn(); }

    // Hands the device link's progress to the listener; the link may report it from the thread that
    // runs the call, so a runner that uses another thread delivers it on its own.
    virtual void forwardProgress(qint64 done, qint64 expected)
    {
        if (listener_) listener_(done, expected);
    }

protected:
    ProgressListener listener_;
    std::function<void()> abandon_;
};

// The plain runner: calls on the current thread.
class DirectLinkCallRunner : public LinkCallRunner {
public:
    void run(const std::function<void()> &call) override { call(); }
};
