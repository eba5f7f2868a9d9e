#pragma once

#include "attlink/AttLink.h"
#include "attlink/TerminalClient.h"

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

// The terminal line attctl drives, set up from the options: the settings of AttLink.ini where the
// console finds it (beside a portable copy, else ~/.config/zevo) or of --settings FILE, with --baud
// on top, in memory (attctl leaves no file or folder behind, whatever ends it). One client, its line
// chosen when it is opened; the commands that mirror the console's operations go through the
// contract over that same line (link()).
class Connection {
public:
    // Throws UsageError for options that cannot work (two transports, a bad HOST:PORT).
    explicit Connection(const ConnectionOptions &options);

    TerminalClient &client() { return *client_; }
    AttLink &link() { return *link_; }
    // Opens the line; false with `reason` when the terminal's line cannot be opened.
    bool open(QString &reason);

private:
    ConnectionOptions options_;
    QString host_;
    quint16 port_ = 0;
    std::unique_ptr<TerminalClient> client_;
    std::unique_ptr<AttLink> link_;
};
