// attctl sync and export as programs against attsim fleets and real databases: a fleet synced once
// and again, syncs killed at random moments while punches arrive, a PostgreSQL server stopped in
// the middle, a clear refused after the commit, a busy line, and the refusals that touch nothing.
#include "support/AttctlProcess.h"
#include "support/PgServer.h"
#include "support/SimProcess.h"
#include "sync/Database.h"
#include "sync/LineLock.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

struct FleetEntry {
    QString name;
    quint16 port;
    int address;
    bool clear;
};

QString fleetText(const QList<FleetEntry> &entries)
{
    QString text;
    for (const FleetEntry &e : entries)
        text += QStringLiteral("[%1]\nline = tcp:127.0.0.1:%2\naddress = %3\nclear-after-sync = %4\n\n")
                    .arg(e.name)
                    .arg(e.port)
                    .arg(e.address)
                    .arg(e.clear ? QStringLiteral("true") : QStringLiteral("false"));
    return text;
}

// The report line of a terminal.
QString lineOf(const QString &out, const QString &name)
{
    for (const QString &l : out.split(u'\n'))
        if (l.startsWith(u'[' + name + u']')) return l;
    return {};
}

qint64 number(Database &db, const QString &sql)
{
    QString error;
    const auto v = db.value(sql, error);
    if (!v) qWarning("%s", qPrintable(error));
    return v ? v->toLongLong() : -1;
}

}  // namespace

class SyncFleet : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int files_ = 0;

    QString writeFleet(const QString &text)
    {
        const QString path = dir_.filePath(QStringLiteral("fleet%1.ini").arg(++files_));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
        return path;
    }
    QString writeFleet(const QList<FleetEntry> &entries) { return writeFleet(fleetText(entries)); }

    QStringList syncArgs(const QString &fleet, const QString &db)
    {
        return {QStringLiteral("sync"),
                QStringLiteral("--fleet"),
                fleet,
                QStringLiteral("--db"),
                db,
                QStringLiteral("--lock-dir"),
                dir_.filePath(QStringLiteral("locks"))};
    }

    // Every terminal of the simulator holds only records the database has, and the database holds
    // each serial the terminal ever gave exactly once.
    void checkExactlyOnce(SimProcess &sim, Database &db, bool expectEmptyWhenCleared, const QSet<int> &cleared)
    {
        const QJsonArray terminals = sim.dump()[QStringLiteral("terminals")].toArray();
        QVERIFY(!terminals.isEmpty());
        for (const QJsonValue &v : terminals) {
            const QJsonObject t = v.toObject();
            const QString identity = t[QStringLiteral("identity")].toString();
            const qint64 last = t[QStringLiteral("lastSerial")].toString().toLongLong();
            const QString where =
                QStringLiteral(" FROM punches p JOIN terminals t ON t.id = p.terminal_id WHERE t.identity = '%1'")
                    .arg(identity);
            QCOMPARE(number(db, QStringLiteral("SELECT count(*)") + where), last);
            QCOMPARE(number(db, QStringLiteral("SELECT count(DISTINCT p.serial)") + where), last);
            QCOMPARE(number(db, QStringLiteral("SELECT coalesce(max(p.serial), 0)") + where), last);
            const QJsonArray held = t[QStringLiteral("records")].toArray();
            for (const QJsonValue &r : held)
                QVERIFY(r.toObject()[QStringLiteral("serial")].toString().toLongLong() <= last);
            if (expectEmptyWhenCleared && cleared.contains(t[QStringLiteral("address")].toInt()))
                QCOMPARE(held.size(), 0);
            if (!cleared.contains(t[QStringLiteral("address")].toInt())) QCOMPARE(held.size(), last);
        }
    }

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
        const QString fleetFile = writeFleet({{QStringLiteral("正门"), ports[0], 1, true},
                                              {QStringLiteral("side door"), ports[1], 2, false},
                                              {QStringLiteral("back"), ports[2], 3, true},
                                              {QStringLiteral("shared 7"), shared.port(), 7, false},
                                              {QStringLiteral("shared 8"), shared.port(), 8, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("first.sqlite"));

        AttctlRun dry = attctl(syncArgs(fleetFile, db) << QStringLiteral("--dry-run"));
        QVERIFY2(dry.code == 0, qPrintable(dry.out + dry.err));
        QVERIFY2(lineOf(dry.out, QStringLiteral("正门"))
                     .contains(QStringLiteral(" waiting=700 stored-serial=0 terminal-serial=700 ")),
                 qPrintable(dry.out));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("first.sqlite"))));  // a dry run writes nothing

        AttctlRun r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--jobs") << QStringLiteral("2"));
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
        r = attctl(syncArgs(fleetFile, db));
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
        auto database = Database::open(*DatabaseUrl::parse(db, error), error);
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
        const QString fleetFile = writeFleet({{QStringLiteral("a"), p[0], 1, true},
                                              {QStringLiteral("b"), p[1], 2, true},
                                              {QStringLiteral("c"), p[2], 3, false},
                                              {QStringLiteral("d"), p[3], 4, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("killed.sqlite"));
        QRandomGenerator random(20261208);
        int punches = 0;
        for (int run = 0; run < 24; ++run) {
            QProcess sync;
            sync.start(attctlPath(), syncArgs(fleetFile, db));
            QVERIFY(sync.waitForStarted(10000));
            // Punches arrive while it runs; then it dies at some moment of its work.
            for (int i = 0; i < 3; ++i)
                fleet.send(
                    QStringLiteral("punch %1 %2").arg(0x00B00000 + punches++, 8, 16, QLatin1Char('0')).arg(1 + i % 4));
            QThread::msleep(random.bounded(5, 160));
            ::kill(pid_t(sync.processId()), SIGKILL);
            sync.waitForFinished(30000);
        }
        AttctlRun r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QString error;
        auto database = Database::open(*DatabaseUrl::parse(db, error), error);
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
        const QString fleetFile = writeFleet({{QStringLiteral("a"), p[0], 1, true},
                                              {QStringLiteral("b"), p[1], 2, true},
                                              {QStringLiteral("c"), p[2], 3, true},
                                              {QStringLiteral("d"), p[3], 4, true}});
        QProcess sync;
        sync.start(attctlPath(), syncArgs(fleetFile, db) << QStringLiteral("--jobs") << QStringLiteral("1"));
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
        AttctlRun r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QString error;
        auto database = Database::open(*DatabaseUrl::parse(db, error), error);
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
            writeFleet(QStringLiteral("[east]\nline = serial:%1,115200\naddress = 3\nclear-after-sync = true\n\n"
                                      "[west]\nline = serial:%1,115200\naddress = 4\n")
                           .arg(sim.ptyPath()));
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("serial.sqlite"));
        AttctlRun r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("east")).contains(QStringLiteral(" new=120 last-serial=120 "))
                     && lineOf(r.out, QStringLiteral("east")).contains(QStringLiteral(" cleared=120 ok")),
                 qPrintable(r.out));
        QVERIFY2(lineOf(r.out, QStringLiteral("west")).contains(QStringLiteral(" new=0 last-serial=0 ")),
                 qPrintable(r.out));
        sim.send(QStringLiteral("punch 0079A785 4"));
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("west")).contains(QStringLiteral(" new=1 last-serial=1 ")),
                 qPrintable(r.out));
        QString error;
        auto database = Database::open(*DatabaseUrl::parse(db, error), error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(sim, *database, true, {3});
    }

    // A clock beyond the tolerance is marked; only --set-clock-beyond sets it, and only beyond its limit.
    void clockDriftMarkedAndSetBeyondTheLimit()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("5")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = writeFleet(
            QStringLiteral("[door]\nline = tcp:127.0.0.1:%1\naddress = 105\nclock-tolerance = 30\n").arg(sim.port()));
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("clock.sqlite"));
        const QDateTime behind = QDateTime::currentDateTime().addSecs(-3600);
        AttctlRun r =
            attctl({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sim.port()), QStringLiteral("set-time"),
                    behind.toString(QStringLiteral("yyyy-MM-dd")), behind.toString(QStringLiteral("HH:mm:ss"))});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

        // An hour behind: marked, not set without the option, and not set when the limit is above it.
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(QRegularExpression(QStringLiteral(" drift=-3[56]\\d\\ds \\(beyond 30s\\) fill=0% ok$"))
                     .match(lineOf(r.out, QStringLiteral("door")))
                     .hasMatch(),
                 qPrintable(r.out));
        r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--set-clock-beyond") << QStringLiteral("7200"));
        QVERIFY2(r.code == 0 && !r.out.contains(QStringLiteral("clock-set")), qPrintable(r.out + r.err));

        const qsizetype changesBefore = sim.terminal(105)[QStringLiteral("timeChangeLog")].toArray().size();
        r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--set-clock-beyond") << QStringLiteral("60"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" (beyond 30s) fill=0% clock-set ok")),
                 qPrintable(r.out));
        // The terminal logs the change, as it does for the console's setting of the clock.
        QCOMPARE(sim.terminal(105)[QStringLiteral("timeChangeLog")].toArray().size(), changesBefore + 1);
        // The next sync finds the clock right.
        r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--set-clock-beyond") << QStringLiteral("60"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(QRegularExpression(QStringLiteral(" drift=[+-][0-2]s fill=0% ok$"))
                     .match(lineOf(r.out, QStringLiteral("door")))
                     .hasMatch(),
                 qPrintable(r.out));
    }

    void clearRefusedAfterTheCommitIsDoneNextTime()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("90")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = writeFleet({{QStringLiteral("door"), sim.port(), 105, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("refused.sqlite"));
        sim.send(QStringLiteral("refuse-deletes on"));
        AttctlRun r = attctl(syncArgs(fleetFile, db));
        QCOMPARE(r.code, 4);
        QVERIFY2(lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=90 last-serial=90 drift="))
                     && lineOf(r.out, QStringLiteral("door"))
                            .contains(QStringLiteral("error: stored, but clearing the terminal failed")),
                 qPrintable(r.out));
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 90);
        sim.send(QStringLiteral("refuse-deletes off"));
        sim.send(QStringLiteral("punch 0079A785"));
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=1 last-serial=91 "))
                     && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" cleared=91 ok")),
                 qPrintable(r.out));
        QString error;
        auto database = Database::open(*DatabaseUrl::parse(db, error), error);
        checkExactlyOnce(sim, *database, true, {105});

        // Records cleared at the terminal before any sync stored them, which its memory admits (its
        // oldest serial is past the stored one): the sync counts them lost, stores what is there and
        // goes on. (A gap the terminal does not explain fails the terminal: sync_store.)
        sim.send(QStringLiteral("punch 0079A786"));
        sim.send(QStringLiteral("punch 0079A787"));
        sim.dump();
        QCOMPARE(attctl({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:") + sim.portText(),
                         QStringLiteral("clear-records"), QStringLiteral("--yes")})
                     .code,
                 0);
        sim.send(QStringLiteral("punch 0079A788"));
        sim.dump();
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0 && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=1 last-serial=94 "))
                     && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral("lost=2"))
                     && lineOf(r.out, QStringLiteral("door")).endsWith(QStringLiteral(" ok")),
                 qPrintable(r.out));
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0
                     && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=0 last-serial=94 ")),
                 qPrintable(r.out));
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 0);
    }

    // A terminal behind a 9600-baud network-to-serial converter, its backlog larger than a reply can
    // carry in the deadline of a TCP line: the link adopts the rate it sees, asks for less and says so.
    void slowConverterSyncsWithTheDefaults()
    {
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("5000"), QStringLiteral("--baud"), QStringLiteral("9600")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = writeFleet({{QStringLiteral("gate"), sim.port(), 105, false}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("slow.sqlite"));
        AttctlRun r = attctl(QStringList{QStringLiteral("--trace")} + syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err.right(2000)));
        QVERIFY2(lineOf(r.out, QStringLiteral("gate")).contains(QStringLiteral(" new=5000 last-serial=5000 ")),
                 qPrintable(r.out));
        QVERIFY2(r.err.contains(QStringLiteral("asking for 256 records a request instead of 16384")),
                 qPrintable(r.err.right(3000)));
    }

    // A terminal replaced under its name is said, in the dry run (which names what it compares) and
    // in the sync, to the journal as a warning; the name then selects the new terminal's punches only.
    void replacedTerminalIsSaidAndExportedApart()
    {
        SimProcess first({QStringLiteral("--records"), QStringLiteral("30")});
        SimProcess second({QStringLiteral("--records"), QStringLiteral("10")});
        QVERIFY2(first.start() && second.start(), qPrintable(first.errorText() + second.errorText()));
        const QString oldId = first.terminal(105)[QStringLiteral("identity")].toString();
        const QString newId = second.terminal(105)[QStringLiteral("identity")].toString();
        const QString dbPath = dir_.filePath(QStringLiteral("replaced.sqlite"));
        const QString db = QStringLiteral("sqlite:") + dbPath;
        AttctlRun r = attctl(syncArgs(writeFleet({{QStringLiteral("door"), first.port(), 105, false}}), db));
        QVERIFY2(r.code == 0 && !r.out.contains(QStringLiteral("identity-changed")), qPrintable(r.out + r.err));

        const QString fleetFile = writeFleet({{QStringLiteral("door"), second.port(), 105, false}});
        AttctlOptions journal;
        journal.environment.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("8:1234"));
        r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--dry-run"), journal);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(r.lines().value(0), QStringLiteral("dry run: database ") + db);
        QVERIFY2(r.lines().value(1).startsWith(
                     QStringLiteral(
                         "<4>[door] identity=%1 identity-changed=%2->%1 waiting=10 stored-serial=0 terminal-serial=10 ")
                         .arg(newId, oldId)),
                 qPrintable(r.out));
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("door"))
                     .contains(QStringLiteral(" identity-changed=%1->%2 new=10 last-serial=10 ").arg(oldId, newId)),
                 qPrintable(r.out));
        r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0 && !r.out.contains(QStringLiteral("identity-changed")), qPrintable(r.out));

        auto exported = [&](const QString &name) {
            const AttctlRun e =
                attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--terminal"), name});
            QSet<QString> identities;
            const QStringList rows = e.lines().mid(1);
            for (const QString &row : rows) identities.insert(row.section(u',', 1, 1));
            return std::pair(rows.size(), QStringList(identities.begin(), identities.end()));
        };
        QCOMPARE(exported(QStringLiteral("door")), std::pair(qsizetype(10), QStringList{newId}));
        QCOMPARE(exported(QStringLiteral("door (replaced by %1)").arg(newId)),
                 std::pair(qsizetype(30), QStringList{oldId}));

        // Payroll may read the folder but not write it: the export reads the file as it stands.
        if (::geteuid() == 0) return;  // root writes everywhere
        const QFile::Permissions folder = QFileInfo(dir_.path()).permissions();
        QVERIFY(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner));
        const AttctlRun e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db});
        QFile::setPermissions(dir_.path(), folder);
        QVERIFY2(e.code == 0 && e.lines().size() == 41, qPrintable(e.err));
    }

    // A stop signal mid-sync: the terminal in hand is finished or rolled back, the others are not
    // started, every line comes in the fleet file's order, and the journal gets priorities.
    void stoppedSyncSaysWhatItDid()
    {
        SimProcess fleet({QStringLiteral("--fleet"), QStringLiteral("4"), QStringLiteral("--records"),
                          QStringLiteral("3000"), QStringLiteral("--delay"), QStringLiteral("40")});
        QVERIFY2(fleet.start(), qPrintable(fleet.errorText()));
        const QList<quint16> p = fleet.fleetPorts();
        const QList<FleetEntry> entries{{QStringLiteral("a"), p[0], 1, true},
                                        {QStringLiteral("b"), p[1], 2, false},
                                        {QStringLiteral("c"), p[2], 3, true},
                                        {QStringLiteral("d"), p[3], 4, true}};
        const QString fleetFile = writeFleet(entries);
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("stopped.sqlite"));
        QProcess sync;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("8:1234"));
        sync.setProcessEnvironment(env);
        sync.start(attctlPath(), syncArgs(fleetFile, db) << QStringLiteral("--jobs") << QStringLiteral("1"));
        QVERIFY(sync.waitForStarted(10000));
        while (!sync.canReadLine() && sync.state() == QProcess::Running) sync.waitForReadyRead(1000);
        ::kill(pid_t(sync.processId()), SIGTERM);
        QVERIFY(sync.waitForFinished(120000));
        QCOMPARE(sync.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sync.exitCode(), 143);
        const QStringList lines = QString::fromUtf8(sync.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        for (int i = 0; i < 4; ++i) {
            const bool ok = lines[i].endsWith(QStringLiteral(" ok"));
            QVERIFY2(lines[i].startsWith((ok ? QString() : QStringLiteral("<3>")) + u'[' + entries[i].name + u']'),
                     qPrintable(lines[i]));
        }
        QVERIFY2(lines[0].endsWith(QStringLiteral(" ok"))
                     && lines[3].endsWith(QStringLiteral("error: not started, the sync was stopped")),
                 qPrintable(lines.join(u'\n')));
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^<4>interrupted: (\\d) terminals stored, (\\d) not started$"))
                .match(lines[4]);
        QVERIFY2(m.hasMatch(), qPrintable(lines[4]));
        QCOMPARE(m.captured(1).toInt() + m.captured(2).toInt()
                     + int(lines.filter(QStringLiteral("collection failed: the sync was stopped")).size()),
                 4);

        // What was stored stays stored once; the next sync takes the rest.
        AttctlRun r = attctl(syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QStringList names;
        for (const QString &l : r.lines()) names.append(l.section(u']', 0, 0));
        QCOMPARE(names.mid(0, 4),
                 (QStringList{QStringLiteral("[a"), QStringLiteral("[b"), QStringLiteral("[c"), QStringLiteral("[d")}));
        QString error;
        auto database = Database::open(*DatabaseUrl::parse(db, error), error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(fleet, *database, true, {1, 3, 4});
    }

    void refusalsTouchNothing()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("20")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = writeFleet({{QStringLiteral("door"), sim.port(), 105, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("refusals.sqlite"));

        const QString bad = dir_.filePath(QStringLiteral("bad.ini"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[door]\nline = modem:123\naddress = 1\n");
        f.close();
        AttctlRun r = attctl(syncArgs(bad, db));
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(bad + QStringLiteral(":2: line \"modem:123\" is of an unknown kind")),
                 qPrintable(r.err));

        r = attctl(syncArgs(fleetFile, QStringLiteral("mysql://x")));
        QCOMPARE(r.code, 2);
        r = attctl(syncArgs(fleetFile, QStringLiteral("sqlite:/nonexistent/punches.sqlite")));
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(QStringLiteral(
                     "database sqlite:/nonexistent/punches.sqlite: the folder /nonexistent does not exist")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());

        // Another sync holds the line: this one reports it and leaves the terminal alone.
        LineLock held;
        QString error;
        QVERIFY2(held.acquire(dir_.filePath(QStringLiteral("locks")),
                              QStringLiteral("tcp:127.0.0.1:%1").arg(sim.port()), 0, error),
                 qPrintable(error));
        r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--lock-wait") << QStringLiteral("0"));
        QCOMPARE(r.code, 4);
        QVERIFY2(
            lineOf(r.out, QStringLiteral("door"))
                .contains(QStringLiteral("error: the line tcp:127.0.0.1:%1 is in use by another sync").arg(sim.port())),
            qPrintable(r.out));
        // None of these changed the terminal.
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 20);
        held.release();
        r = attctl(syncArgs(fleetFile, db) << QStringLiteral("--lock-wait") << QStringLiteral("0"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

        // Mistakes in the options are usage errors, said once before any terminal is touched.
        r = attctl(syncArgs(fleetFile, db)
                   << QStringLiteral("--link-settings") << dir_.filePath(QStringLiteral("missing.ini")));
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err,
                 QStringLiteral("attctl: --link-settings: no settings file %1\n")
                     .arg(dir_.filePath(QStringLiteral("missing.ini"))));
        const QString notAFolder = dir_.filePath(QStringLiteral("plain"));
        QVERIFY(QFile(notAFolder).open(QIODevice::WriteOnly));
        QStringList args = syncArgs(fleetFile, db);
        args.last() = notAFolder + QStringLiteral("/locks");
        r = attctl(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith(
                     QStringLiteral("attctl: --lock-dir: cannot create the lock folder %1/locks: ").arg(notAFolder)),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 0);
    }
};

QTEST_GUILESS_MAIN(SyncFleet)
#include "sync_fleet.moc"
