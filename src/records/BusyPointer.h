#pragma once

#include <QApplication>

// The busy pointer for the length of a scope, restored on every path out of it.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { restore(); }
    // For handlers that must show the default pointer before their message box.
    void restore()
    {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    bool active_ = true;
};
