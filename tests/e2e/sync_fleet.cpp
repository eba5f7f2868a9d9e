// attctl sync and export as programs against attsim fleets and real databases: a fleet synced once
// and again and its export, syncs killed at random moments while punches arrive, a PostgreSQL server
// stopped in the middle, two terminals on one serial line, and a clock that drifted. The faults and
// refusals of a sync are in sync_fleet_faults.
#include "support/AttctlProcess.h"
#include "support/FleetFixture.h"
#include "support/PgServer.h"
#include "support/SimProcess.h"
#include "sync/Database.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>

class SyncFleet : public QObject {
    Q_OBJECT

    FleetFolder dir_;

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void syncsAFleetThenOnlyWhatIsNew()
    {
        SimProcess fleet(
            {QStringLiteral("--fleet"), QStringLiteral("3"), QStringLiteral("--records"), QStringLiteral("700")});
        QVERIFY2(fleet.start(), qPrintable(fleet.errorText()));
        // Two terminals sharing one line (multi-drop), synced one after the other.
        SimProcess shared({QStringLiteral("--terminal"), QStringLiteral("7"), QStringLiteral("--terminal"),
                           QStringLiteral("8"), QStringLiteral("--records"), QStringLiteral("50")});
        QVERIFY2(shared.start(), qPrintable(shared.errorText()));
        const QList<quint16> ports = fleet.fleetPorts();
        QCOMPARE(ports.size(), 3);
        const QString fleetFile = dir_.writeFleet({{QStringLiteral("正门"), ports[0], 1, true},
                                                   {QStringLiteral("side door"), ports[1], 2, false},
                                                   {QStringLiteral("back"), ports[2], 3, true},
                                                   {QStringLiteral("shared 7"), shared.port(), 7, false},
                                                   {QStringLiteral("shared 8"), shared.port(), 8, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("first.sqlite"));

        AttctlRun dry = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--dry-run"));
        QVERIFY2(dry.code == 0, qPrintable(dry.out + dry.err));
        QVERIFY2(lineOf(dry.out, QStringLiteral("正门"))
                     .contains(QStringLiteral(" waiting=700 stored-serial=0 terminal-serial=700 ")),
                 qPrintable(dry.out));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("first.sqlite"))));  // a dry run writes nothing

        AttctlRun r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--jobs") << QStringLiteral("2"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(
            QRegularExpression(
                QStringLiteral(
                    "^\\[正门\\] identity=[0-9A-F]{16} new=700 last-serial=700 drift=[+-]\\d+s fill=0% cleared=700 ok$"))
                .match(lineOf(r.out, QStringLiteral("正门")))
                .hasMatch(),
            qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("side door")).contains(QStringLiteral(" new=700 last-serial=700 ")),
                 qPrintable(r.out));
        QVERIFY2(!lineOf(r.out, QStringLiteral("side door")).contains(QStringLiteral("cleared")), qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("shared 7")).contains(QStringLiteral(" new=50 last-serial=50 ")),
                 qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("shared 8")).contains(QStringLiteral(" new=0 last-serial=0 ")),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("total: 5 terminals, 5 synced, 0 failed, 2150 new records")),
                 qPrintable(r.out));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));  // no progress when standard error is not a terminal

        fleet.send(QStringLiteral("punch 0079A785 1"));
        fleet.send(QStringLiteral("punch 0079A786 2"));
        shared.send(QStringLiteral("punch 0079A787 8"));
        fleet.dump();  // the punches are in once the dump answers
        shared.dump();
        r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("正门")).contains(QStringLiteral(" new=1 last-serial=701 ")),
                 qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("side door")).contains(QStringLiteral(" new=1 last-serial=701 ")),
                 qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("back")).contains(QStringLiteral(" new=0 last-serial=700 ")),
                 qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("shared 8")).contains(QStringLiteral(" new=1 last-serial=1 ")),
                 qPrintable(r.out));

        QString error;
        auto database = openDatabase(db, error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(fleet, *database, true, {1, 3});
        checkExactlyOnce(shared, *database, true, {8});

        // The export of one terminal's day, written atomically to a file.
        const QString csv = dir_.filePath(QStringLiteral("out.csv"));
        AttctlRun e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--terminal"),
                              QStringLiteral("shared 8"), QStringLiteral("--out"), csv});
        QVERIFY2(e.code == 0, qPrintable(e.err));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        f.close();
        QCOMPARE(rows.size(), 3);  // header, one punch, the end
        QVERIFY2(rows[1].startsWith("shared 8,") && rows[1].contains(",1,0007972743,0079A787,"), rows[1].constData());
        // A failed export leaves the earlier file as it was.
        e = attctl({QStringLiteral("export"), QStringLiteral("--db"),
                    QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("none.sqlite")), QStringLiteral("--out"),
                    csv});
        QCOMPARE(e.code, 4);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().split('\n').size(), 3);
        f.close();
        // An output that cannot be written is a local write failure, named, not a success.
        AttctlOptions full;
        full.standardOutputFile = QStringLiteral("/dev/full");
        e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db}, full);
        QCOMPARE(e.code, 5);
        QVERIFY2(e.err.contains(QStringLiteral("cannot write to standard output")), qPrintable(e.err));
        e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--out"),
                    dir_.filePath(QStringLiteral("no/such/folder.csv"))});
        QCOMPARE(e.code, 5);
        QVERIFY2(e.err.contains(QStringLiteral("no/such/folder.csv")), qPrintable(e.err));
        // A moment that is not a date is refused by the name of its option.
        e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--from"),
                    QStringLiteral("08.12.2026")});
        QCOMPARE(e.code, 2);
        QVERIFY2(e.err.contains(QStringLiteral("--from wants a date")), qPrintable(e.err));

        // Mistakes are usage errors that say what is wrong, never an empty file and success.
        const QStringList exportDb{QStringLiteral("export"), QStringLiteral("--db"), db};
        AttctlOptions here;
        here.workingDirectory = dir_.path();
        const QList<std::pair<QStringList, QString>> mistakes{
            {{QStringLiteral("--terminal"), QStringLiteral("shared 9")},
             QStringLiteral("no terminal named \"shared 9\"")},
            {{QStringLiteral("--from"), QStringLiteral("2026-12-09"), QStringLiteral("--to"),
              QStringLiteral("2026-12-08")},
             QStringLiteral("--from is after --to")},
            {{QStringLiteral("--out"), dir_.path()}, QStringLiteral("is a folder")},
            {{QStringLiteral("--out"), QStringLiteral("/dev/stdout")},
             QStringLiteral("is not a regular file (--out - writes to standard output)")},
            {{QStringLiteral("--format"), QStringLiteral("jsonl"), QStringLiteral("--spreadsheet-safe")},
             QStringLiteral("goes with --format csv")}};
        for (const auto &[args, message] : mistakes) {
            e = attctl(QStringList(exportDb) << args, here);
            QCOMPARE(e.code, 2);
            QVERIFY2(e.err.contains(message) && e.out.isEmpty(), qPrintable(e.err));
        }
        // `--out -` is standard output, not a file named "-".
        e = attctl(QStringList(exportDb) << QStringLiteral("--terminal") << QStringLiteral("shared 8")
                                         << QStringLiteral("--out") << QStringLiteral("-"),
                   here);
        QCOMPARE(e.code, 0);
        QCOMPARE(e.outBytes, rows.join('\n'));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("-"))));
    }

    void killedSyncsLoseAndDoubleNothing()
    {
        SimProcess fleet(
            {QStringLiteral("--fleet"), QStringLiteral("4"), QStringLiteral("--records"), QStringLiteral("4000")});
        QVERIFY2(fleet.start(), qPrintable(fleet.errorText()));
        const QList<quint16> p = fleet.fleetPorts();
        const QString fleetFile = dir_.writeFleet({{QStringLiteral("a"), p[0], 1, true},
                                                   {QStringLiteral("b"), p[1], 2, true},
                                                   {QStringLiteral("c"), p[2], 3, false},
                                                   {QStringLiteral("d"), p[3], 4, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("killed.sqlite"));
        QRandomGenerator random(20261208);
        int punches = 0;
        for (int run = 0; run < 24; ++run) {
            QProcess sync;
            sync.start(attctlPath(), dir_.syncArgs(fleetFile, db));
            QVERIFY(sync.waitForStarted(10000));
            // Punches arrive while it runs; then it dies at some moment of its work.
            for (int i = 0; i < 3; ++i)
                fleet.send(
                    QStringLiteral("punch %1 %2").arg(0x00B00000 + punches++, 8, 16, QLatin1Char('0')).arg(1 + i % 4));
            QThread::msleep(random.bounded(5, 160));
            ::kill(pid_t(sync.processId()), SIGKILL);
            sync.waitForFinished(30000);
        }
        AttctlRun r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QString error;
        auto database = openDatabase(db, error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(fleet, *database, true, {1, 2, 4});
        QCOMPARE(number(*database, QStringLiteral("SELECT count(*) FROM punches")), 16000 + punches);
    }

    void postgresStoppedMidSyncAndStartedAgain()
    {
        PgServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        const QString db = pg.createDatabase(QStringLiteral("site"));
        QVERIFY2(!db.isEmpty(), qPrintable(pg.errorText()));
        // Slow replies, so that the server can be stopped between two terminals' stores.
        SimProcess fleet({QStringLiteral("--fleet"), QStringLiteral("4"), QStringLiteral("--records"),
                          QStringLiteral("3000"), QStringLiteral("--delay"), QStringLiteral("40")});
        QVERIFY2(fleet.start(), qPrintable(fleet.errorText()));
        const QList<quint16> p = fleet.fleetPorts();
        const QString fleetFile = dir_.writeFleet({{QStringLiteral("a"), p[0], 1, true},
                                                   {QStringLiteral("b"), p[1], 2, true},
                                                   {QStringLiteral("c"), p[2], 3, true},
                                                   {QStringLiteral("d"), p[3], 4, true}});
        QProcess sync;
        sync.start(attctlPath(), dir_.syncArgs(fleetFile, db) << QStringLiteral("--jobs") << QStringLiteral("1"));
        QVERIFY(sync.waitForStarted(10000));
        while (!sync.canReadLine() && sync.state() == QProcess::Running) sync.waitForReadyRead(1000);
        const QByteArray first = sync.readLine();
        QVERIFY2(first.contains(" ok"), first.constData());
        QVERIFY(pg.stop());
        QVERIFY(sync.waitForFinished(120000));
        const QString out = QString::fromUtf8(first + sync.readAllStandardOutput());
        QCOMPARE(sync.exitCode(), 4);
        QVERIFY2(out.contains(QStringLiteral(" error: "))
                     && out.contains(QStringLiteral("database postgresql://zevo@127.0.0.1:")),
                 qPrintable(out));

        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        AttctlRun r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QString error;
        auto database = openDatabase(db, error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(fleet, *database, true, {1, 2, 3, 4});
        QCOMPARE(number(*database, QStringLiteral("SELECT count(*) FROM punches")), 12000);
    }

    // Two terminals on one serial line (multi-drop), through the simulator's pty at a given rate.
    void serialLineSharedByTwoTerminals()
    {
        SimProcess sim({QStringLiteral("--terminal"), QStringLiteral("3"), QStringLiteral("--terminal"),
                        QStringLiteral("4"), QStringLiteral("--records"), QStringLiteral("120")},
                       SimProcess::WithPty);
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile =
            dir_.writeFleet(QStringLiteral("[east]\nline = serial:%1,115200\naddress = 3\nclear-after-sync = true\n\n"
                                           "[west]\nline = serial:%1,115200\naddress = 4\n")
                                .arg(sim.ptyPath()));
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("serial.sqlite"));
        AttctlRun r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("east")).contains(QStringLiteral(" new=120 last-serial=120 "))
                     && lineOf(r.out, QStringLiteral("east")).contains(QStringLiteral(" cleared=120 ok")),
                 qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("west")).contains(QStringLiteral(" new=0 last-serial=0 ")),
                 qPrintable(r.out));
        sim.send(QStringLiteral("punch 0079A785 4"));
        r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("west")).contains(QStringLiteral(" new=1 last-serial=1 ")),
                 qPrintable(r.out));
        QString error;
        auto database = openDatabase(db, error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(sim, *database, true, {3});
    }

    // A clock beyond the tolerance is marked; only --set-clock-beyond sets it, and only beyond its limit.
    void clockDriftMarkedAndSetBeyondTheLimit()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("5")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = dir_.writeFleet(
            QStringLiteral("[door]\nline = tcp:127.0.0.1:%1\naddress = 105\nclock-tolerance = 30\n").arg(sim.port()));
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("clock.sqlite"));
        const QDateTime behind = QDateTime::currentDateTime().addSecs(-3600);
        AttctlRun r =
            attctl({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.port()), QStringLiteral("set-time"),
                    behind.toString(QStringLiteral("yyyy-MM-dd")), behind.toString(QStringLiteral("HH:mm:ss"))});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

        // An hour behind: marked, not set without the option, and not set when the limit is above it.
        r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(QRegularExpression(QStringLiteral(" drift=-3[56]\\d\\ds \\(beyond 30s\\) fill=0% ok$"))
                     .match(lineOf(r.out, QStringLiteral("door")))
                     .hasMatch(),
                 qPrintable(r.out));
        r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--set-clock-beyond") << QStringLiteral("7200"));
        QVERIFY2(r.code == 0 && !r.out.contains(QStringLiteral("clock-set")), qPrintable(r.out + r.err));

        const qsizetype changesBefore = sim.terminal(105)[QStringLiteral("timeChangeLog")].toArray().size();
        r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--set-clock-beyond") << QStringLiteral("60"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" (beyond 30s) fill=0% clock-set ok")),
                 qPrintable(r.out));
        // The terminal logs the change, as it does for the console's setting of the clock.
        QCOMPARE(sim.terminal(105)[QStringLiteral("timeChangeLog")].toArray().size(), changesBefore + 1);
        // The next sync finds the clock right.
        r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--set-clock-beyond") << QStringLiteral("60"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(QRegularExpression(QStringLiteral(" drift=[+-][0-2]s fill=0% ok$"))
                     .match(lineOf(r.out, QStringLiteral("door")))
                     .hasMatch(),
                 qPrintable(r.out));
    }
};

QTEST_GUILESS_MAIN(SyncFleet)
#include "sync_fleet.moc"
