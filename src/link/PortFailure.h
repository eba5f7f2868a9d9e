#pragma once

#include <QList>
#include <QString>

#include <cerrno>

// A process that holds a serial port.
struct PortHolder {
    QString program;  // its name as the system gives it (may be empty)
    qint64 pid = 0;
};

// Why a serial port could not be opened, kept so that each program words a message that helps:
// who holds a busy port, who may open a refused one.
struct PortFailure {
    QString device;             // the device as configured (perhaps a /dev/serial/by-id name); empty: none
    QString resolved;           // the device node it names, when that differs
    int systemError = 0;        // the open's errno; EBUSY when another program holds the port
    QString reason;             // the system's text for it
    QList<PortHolder> holders;  // who holds a busy port, as far as the system says
    // What the system says of the device node, when it can say: type and permission bits (0: unknown),
    // owner and group.
    unsigned mode = 0;
    QString owner;
    QString group;
    unsigned groupId = 0;

    bool any() const { return !device.isEmpty(); }
    bool busy() const { return systemError == EBUSY; }
    bool refused() const { return systemError == EACCES || systemError == EPERM; }
    bool typeKnown() const { return mode != 0; }
    bool missing() const { return systemError == ENOENT || systemError == ENODEV || systemError == ENXIO; }
    // "/dev/serial/by-id/usb-... (/dev/ttyUSB0)" or just the device.
    QString deviceText() const { return resolved.isEmpty() ? device : device + QStringLiteral(" (") + resolved + u')'; }
};
