#pragma once

#include "attlink/AttLink.h"

#include <QString>
#include <memory>

// How attctl reaches a terminal, from its global options.
struct ConnectionOptions {
    QString tcp;           // HOST:PORT
    int com = 0;           // COMn, mapped by AttLink.ini
    QString device;        // a serial device path
    int baud = 0;          // 0: the link's own setting (AttLink.ini, else 9600)
    QString settingsFile;  // AttLink.ini to use instead of the application folder's

    bool any() const { return !tcp.isEmpty() || com > 0 || !device.isEmpty(); }
};

// The device link attctl drives, set up from the options: the settings of AttLink.ini where the
// console finds it (beside a portable copy, else ~/.config/zevo) or of --settings FILE, with --device
// and --baud applied on top, in memory (attctl leaves no file or folder behind, whatever ends it).
class Connection {
public:
    // Throws UsageError for options that cannot work (two transports, a bad HOST:PORT).
    explicit Connection(const ConnectionOptions &options);

    AttLink &link() { return *link_; }
    // Opens the transport; false with `reason` when the terminal's line cannot be opened.
    bool open(QString &reason);

private:
    ConnectionOptions options_;
    std::unique_ptr<AttLink> link_;
};
