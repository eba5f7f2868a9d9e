#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The serial ports of this machine, each with its stable names: the links of /dev/serial/by-id (a
// USB adapter keeps its name there whatever ttyUSB number it gets) and the COM numbers AttLink.ini
// maps to it.
struct SerialPortEntry {
    QString device;           // the device node, e.g. /dev/ttyUSB0
    QStringList stableNames;  // links in the by-id folder that name it
    QStringList comNames;     // "COM2", from the settings or the /dev/ttyS<n-1> default
    QString description;      // what the system says the adapter is (may be empty)
    QString state;            // "", "in use by attctl (process 1234)", "no access (group dialout)"
};

namespace SerialPortList {

// Every port the system lists, and every device a link in byIdFolder names; comMap: COMn -> device
// path as the settings give it (a path may itself be a by-id name).
QList<SerialPortEntry> list(const QString &byIdFolder, const QList<QPair<int, QString>> &comMap);

// One line a port: the first stable name (else the device), the device, the COM names, the
// description and the state, separated by tabs.
QString line(const SerialPortEntry &entry);

}  // namespace SerialPortList
