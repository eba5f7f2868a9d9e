#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class Database;
class SimProcess;

// What the fleet tests share: fleet files in a folder of their own, the sync's arguments, a
// terminal's report line, numbers from the database, and the exactly-once check of what it stored.

// A terminal of attsim on loopback, as a fleet file names it.
struct FleetEntry {
    QString name;
    quint16 port;
    int address;
    bool clear;  // clear-after-sync
};

// The fleet file's text of `entries`, one section each, in their order.
QString fleetText(const QList<FleetEntry> &entries);

// The report line of the terminal `name` in attctl's output; empty when there is none.
QString lineOf(const QString &out, const QString &name);

// The number `sql` gives (a count, a serial); -1, with a warning, when the query fails.
qint64 number(Database &db, const QString &sql);

// The database at the URL `url`; null, with the reason in `error`, when the URL or the opening fails.
std::unique_ptr<Database> openDatabase(const QString &url, QString &error);

// Every terminal of `sim` holds only records the database has, and the database holds each serial
// the terminal ever gave exactly once. The terminals at the addresses `cleared` were cleared after
// the sync: they hold nothing more when `expectEmptyWhenCleared`; the others hold every record.
void checkExactlyOnce(SimProcess &sim, Database &db, bool expectEmptyWhenCleared, const QSet<int> &cleared);

// A temporary folder for a test's fleet files, databases and line locks.
class FleetFolder {
public:
    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString filePath(const QString &name) const { return dir_.filePath(name); }

    // Writes `bytes` to the file `name` in the folder; its path, empty when it cannot be written.
    QString writeFile(const QString &name, const QByteArray &bytes) const;
    // Writes a new fleet file (fleet1.ini, fleet2.ini...); its path, empty when it cannot be written.
    QString writeFleet(const QString &text);
    QString writeFleet(const QList<FleetEntry> &entries) { return writeFleet(fleetText(entries)); }

    // attctl sync of the fleet file `fleet` into the database `db`, its line locks in this folder.
    QStringList syncArgs(const QString &fleet, const QString &db) const;

private:
    QTemporaryDir dir_;
    int fleets_ = 0;
};
