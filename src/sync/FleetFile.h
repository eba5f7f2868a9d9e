#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The line a terminal is on: `tcp:HOST:PORT` or `serial:DEVICE`, each with an optional `,BAUD` (on
// TCP the rate of the serial converter the terminal is behind).
struct LineTarget {
    enum Kind { Tcp, Serial };
    Kind kind = Tcp;
    QString host;    // Tcp (an IPv6 address without its brackets)
    int port = 0;    // Tcp
    QString device;  // Serial
    int baud = 0;    // 0 for the link's own setting

    // The line as the fleet file writes it.
    QString text() const;
    // What identifies the line itself (the baud is not part of it): terminals with the same key share
    // the line and are synced one after the other, and the line lock is taken on it. A serial device
    // counts by the file it resolves to, so a /dev/serial/by-id name and its /dev/tty name are one line.
    QString key() const;

    static std::optional<LineTarget> parse(const QString &text, QString &error);
};

// One terminal of a fleet: a section of the fleet file.
struct FleetTerminal {
    QString name;
    int fileLine = 0;  // the section's line in the fleet file
    LineTarget line;
    int address = 0;
    bool clearAfterSync = false;
    std::optional<qint64> clockTolerance;  // seconds
    QString timezone;                      // an IANA name; empty: this computer's zone
    QStringList groups;  // card groups it takes the cards of (roster apply), besides the cards without groups
};

// The fleet file (INI): one section per terminal, named by the section, with the keys `line`,
// `address`, `clear-after-sync`, `clock-tolerance`, `timezone` and `groups` (docs/sync.md). Errors name the file and
// the line.
namespace FleetFile {

std::optional<QList<FleetTerminal>> load(const QString &path, QString &error);
std::optional<QList<FleetTerminal>> parse(const QByteArray &content, const QString &path, QString &error);

}  // namespace FleetFile
