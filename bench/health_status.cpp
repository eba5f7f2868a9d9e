// attctl status over a fleet of 1,000 terminals with a year of hourly samples each (8.76 million
// samples) and a few suspect punches each, in SQLite. Baseline of the same run: attctl status over a
// database of one terminal, i.e. the program's start and the opening of the database.
#include "sync/Database.h"
#include "sync/Schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Terminals = 1000;
constexpr int HoursOfSamples = 365 * 24;
constexpr int Rounds = 7;

QString attctl() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/attctl"); }

bool check(int rc, sqlite3 *db)
{
    if (rc == SQLITE_OK || rc == SQLITE_DONE) return true;
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    return false;
}

// A fleet as the syncs would have left it: each terminal synced every hour for a year.
bool makeFleet(const QString &path, int terminals, int hours)
{
    QString error;
    {
        DatabaseUrl url;
        url.path = path;
        auto db = Database::open(url, error);
        if (!db || !Schema::migrate(*db, error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toLocal8Bit().constData(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *terminal = nullptr, *sample = nullptr, *punch = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO terminals (id, identity, name, last_serial, last_sync, clock_drift, capacity, held, "
        "last_error) VALUES (?1, printf('%016X', ?1), printf('door %04d', ?1), ?2, ?3, 1, 100000, ?4, '')",
        -1, &terminal, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO samples (terminal_id, at, held, capacity, last_serial, drift, lost) "
                       "VALUES (?1, ?2, ?3, 100000, ?4, 1, 0)",
                       -1, &sample, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO punches VALUES (?1, ?2, 7, '1999-01-01 00:00:00', '0000', 'before 2000')", -1,
                       &punch, nullptr);
    const QDateTime now = QDateTime::currentDateTime();
    bool ok = true;
    for (int t = 1; t <= terminals && ok; ++t) {
        const int perHour = 3 + t % 40;
        for (int h = hours; h >= 0 && ok; --h) {
            const QByteArray at = now.addSecs(-3600LL * h).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
            const qint64 serial = qint64(hours - h) * perHour;
            sqlite3_bind_int(sample, 1, t);
            sqlite3_bind_text(sample, 2, at.constData(), int(at.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(sample, 3, serial % 100000);
            sqlite3_bind_int64(sample, 4, serial);
            ok = check(sqlite3_step(sample), db);
            sqlite3_reset(sample);
            if (h == 0) {
                sqlite3_bind_int(terminal, 1, t);
                sqlite3_bind_int64(terminal, 2, serial);
                sqlite3_bind_text(terminal, 3, at.constData(), int(at.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int64(terminal, 4, serial % 100000);
                ok = ok && check(sqlite3_step(terminal), db);
                sqlite3_reset(terminal);
            }
        }
        for (int s = 1; s <= 3 && ok; ++s) {
            sqlite3_bind_int(punch, 1, t);
            sqlite3_bind_int(punch, 2, s);
            ok = check(sqlite3_step(punch), db);
            sqlite3_reset(punch);
        }
    }
    sqlite3_finalize(terminal);
    sqlite3_finalize(sample);
    sqlite3_finalize(punch);
    ok = ok && check(sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    return ok;
}

// The best and the median of attctl status runs, in milliseconds.
bool timeStatus(const QString &path, int expectedRows, double &best, double &median)
{
    std::vector<double> ms;
    for (int i = 0; i < Rounds; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(attctl(),
                {QStringLiteral("status"), QStringLiteral("--db"), QStringLiteral("sqlite:") + path,
                 QStringLiteral("--json")});
        if (!p.waitForFinished(120000)) return false;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        const int rows = int(p.readAllStandardOutput().count('\n'));
        if (rows != expectedRows || (p.exitCode() != 0 && p.exitCode() != 6)) {
            std::fprintf(stderr, "attctl status: status %d, %d rows: %s\n", p.exitCode(), rows,
                         p.readAllStandardError().constData());
            return false;
        }
    }
    std::sort(ms.begin(), ms.end());
    best = ms.front();
    median = ms[ms.size() / 2];
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString fleet = dir.filePath(QStringLiteral("fleet.sqlite")),
                  one = dir.filePath(QStringLiteral("one.sqlite"));
    QElapsedTimer t;
    t.start();
    if (!makeFleet(fleet, Terminals, HoursOfSamples) || !makeFleet(one, 1, 24)) return 1;
    std::printf("made %d terminals x %d samples in %.1f s\n", Terminals, HoursOfSamples + 1,
                double(t.elapsed()) / 1000.0);
    double best = 0, median = 0, baseBest = 0, baseMedian = 0;
    if (!timeStatus(one, 1, baseBest, baseMedian) || !timeStatus(fleet, Terminals, best, median)) return 1;
    std::printf("attctl status, 1 terminal (baseline): best %.1f ms, median %.1f ms\n", baseBest, baseMedian);
    std::printf("attctl status, %d terminals:          best %.1f ms, median %.1f ms (goal <= 100 ms)\n", Terminals,
                best, median);
    std::printf("the fleet's own share (median minus baseline): %.1f ms\n", median - baseMedian);
    return median <= 100.0 ? 0 : 3;
}
