// What guards a sync against others and says what went wrong: lock folders other users could
// use against it, a database lock held by a stalled sync, lines that cannot be reached, and the
// PostgreSQL URL's own parameters and password sources. attctl runs as a program against attsim,
// SQLite files and the suite's PostgreSQL server.
#include "support/AttctlProcess.h"
#include "support/FleetFixture.h"
#include "support/PgServer.h"
#include "support/SimProcess.h"
#include "sync/Database.h"
#include "sync/LineLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class SyncGuards : public QObject {
    Q_OBJECT

    FleetFolder dir_;

    QString writeFleet(const QString &name, quint16 port, int address)
    {
        return dir_.writeFleet({{name, port, address, false}});
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Lock folders that others can write to are refused; the default one falls back to a folder of
    // the user's own; a link planted as a lock file is never followed.
    void lockFoldersOfOthersAreRefused()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("3")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = writeFleet(QStringLiteral("door"), sim.port(), 105);
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("locks.sqlite"));
        QTemporaryDir tmp;
        const QString shared = tmp.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(QFile::setPermissions(shared, QFileDevice::Permissions(0x7777)));
        QStringList args = dir_.syncArgs(fleetFile, db);
        args.last() = shared;
        AttctlRun r = attctl(args);
        QCOMPARE(r.code, 2);
        QCOMPARE(
            r.err,
            QStringLiteral(
                "attctl: --lock-dir: the lock folder %1 is writable by every user: chmod o-w it, or give --lock-dir a folder of your own\n")
                .arg(shared));
        if (::geteuid() == 0) {
            QVERIFY(::chown(QFile::encodeName(shared).constData(), 65534, 65534) == 0);
            QVERIFY(QFile::setPermissions(shared,
                                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
            r = attctl(args);
            QCOMPARE(r.code, 2);
            QVERIFY2(
                r.err.contains(QStringLiteral("the lock folder %1 belongs to another user (uid 65534)").arg(shared)),
                qPrintable(r.err));
        }

        // Without a runtime folder (cron, su) the shared temporary folder is used only when it is
        // the user's own; one made by another user is passed over for the user's cache.
        const QString planted = tmp.filePath(QStringLiteral("zevo-sync-%1").arg(::geteuid()));
        QVERIFY(QDir().mkpath(planted));
        QVERIFY(QFile::setPermissions(planted, QFileDevice::Permissions(0x7777)));
        AttctlOptions cron;
        cron.environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        cron.environment.insert(QStringLiteral("TMPDIR"), tmp.path());
        cron.environment.insert(QStringLiteral("XDG_CACHE_HOME"), tmp.filePath(QStringLiteral("cache")));
        r = attctl({QStringLiteral("sync"), QStringLiteral("--fleet"), fleetFile, QStringLiteral("--db"), db}, cron);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY(QDir(planted).isEmpty());
        const QDir cache(tmp.filePath(QStringLiteral("cache/zevo/sync-locks")));
        QCOMPARE(cache.entryList(QDir::Files).size(), 1);
        QCOMPARE(QFileInfo(cache.path()).permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther),
                 QFileDevice::Permissions());

        // A link in place of a lock file: refused, and its target never made.
        const QString lockFile = cache.filePath(cache.entryList(QDir::Files).first());
        QVERIFY(QFile::remove(lockFile));
        QVERIFY(QFile::link(tmp.filePath(QStringLiteral("victim")), lockFile));
        LineLock lock;
        QString error;
        QVERIFY(!lock.acquire(cache.path(), QStringLiteral("tcp:127.0.0.1:%1").arg(sim.port()), 0, error));
        QVERIFY2(error.startsWith(QStringLiteral("cannot open the lock file ") + lockFile), qPrintable(error));
        QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("victim"))));
    }

    // A line that cannot be reached says why in its report line, as a single command does.
    void unreachableLinesSayWhy()
    {
        const QString fleetFile = dir_.writeFleet(QStringLiteral("[gone]\nline = serial:%1\naddress = 1\n\n"
                                                                 "[closed]\nline = tcp:127.0.0.1:1\naddress = 2\n\n"
                                                                 "[file]\nline = serial:/etc/passwd\naddress = 3\n")
                                                      .arg(dir_.filePath(QStringLiteral("ttyUSB7"))));
        AttctlOptions c;
        c.environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        const AttctlRun r = attctl(
            dir_.syncArgs(fleetFile, QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("unreachable.sqlite"))),
            c);
        QCOMPARE(r.code, 4);
        const QStringList why{
            QStringLiteral(
                "cannot open serial:%1: No such file or directory; attctl ports lists the serial ports of this machine")
                .arg(dir_.filePath(QStringLiteral("ttyUSB7"))),
            QStringLiteral("cannot connect to tcp:127.0.0.1:1: Connection refused"),
            QStringLiteral("cannot open serial:/etc/passwd: not a serial device")};
        const QStringList names{QStringLiteral("gone"), QStringLiteral("closed"), QStringLiteral("file")};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(lineOf(r.out, names[i]).endsWith(QStringLiteral(" error: ") + why[i]), qPrintable(r.out));
    }

    // A sync stalled inside its transaction holds the others up for --lock-wait, not a minute (SQLite)
    // or for ever (PostgreSQL, where another machine's sync shares no lock folder), and they say so.
    void stalledWriterHoldsOthersOnlyForTheLockWait()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("4")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = writeFleet(QStringLiteral("door"), sim.port(), 105);
        AttctlOptions bounded;
        bounded.timeoutMs = 45000;  // far beyond the wait asked for, far below the old minute

        const QString lite = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("stalled.sqlite"));
        AttctlRun r = attctl(dir_.syncArgs(fleetFile, lite));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QString error;
        auto stalled = openDatabase(lite, error);
        QVERIFY2(stalled && stalled->begin(error), qPrintable(error));
        r = attctl(dir_.syncArgs(fleetFile, lite) << QStringLiteral("--lock-wait") << QStringLiteral("1"), bounded);
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(
                     QStringLiteral("database is locked (another connection held the lock longer than the 1 s wait)")),
                 qPrintable(r.err));
        stalled->rollback();

        PgServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        QString url = pg.createDatabase(QStringLiteral("stalled"));
        QVERIFY2(!url.isEmpty(), qPrintable(pg.errorText()));
        // libpq's own parameters pass through the URL.
        url += QStringLiteral("?sslmode=disable&application_name=zevo%20test");
        r = attctl(dir_.syncArgs(fleetFile, url));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        stalled = openDatabase(url, error);
        QVERIFY2(stalled && stalled->begin(error)
                     && stalled->exec(QStringLiteral("UPDATE terminals SET name = name"), error),
                 qPrintable(error));
        r = attctl(dir_.syncArgs(fleetFile, url) << QStringLiteral("--lock-wait") << QStringLiteral("1"), bounded);
        QCOMPARE(r.code, 4);
        // The server may add where it waited (CONTEXT: ...) before the code.
        const QString door = lineOf(r.out, QStringLiteral("door"));
        QVERIFY2(door.contains(QStringLiteral("lock timeout"))
                     && door.endsWith(QStringLiteral("(another connection held the lock longer than the 1 s wait)")),
                 qPrintable(r.out));
        stalled->rollback();
        r = attctl(dir_.syncArgs(fleetFile,
                                 url.replace(QStringLiteral("sslmode=disable"), QStringLiteral("sslmode=require"))));
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(QStringLiteral("/stalled?sslmode=require&application_name=zevo test: cannot open: ")),
                 qPrintable(r.err));

        // A role that must give a password is told where it can come from.
        QVERIFY2(pg.requirePassword(QStringLiteral("guarded"), QStringLiteral("s3cret")), qPrintable(pg.errorText()));
        AttctlOptions nopass;
        nopass.environment.remove(QStringLiteral("PGPASSWORD"));
        nopass.environment.insert(QStringLiteral("PGPASSFILE"), dir_.filePath(QStringLiteral("no.pgpass")));
        const QString guarded = pg.url(QStringLiteral("stalled"), QStringLiteral("guarded"));
        r = attctl(dir_.syncArgs(fleetFile, guarded), nopass);
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(QStringLiteral(
                     "no password supplied (give it in the URL as USER:PASSWORD@, in PGPASSWORD or in ~/.pgpass)")),
                 qPrintable(r.err));
        nopass.environment.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("s3cret"));
        r = attctl(dir_.syncArgs(fleetFile, guarded), nopass);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    }
};

QTEST_GUILESS_MAIN(SyncGuards)
#include "sync_guards.moc"
