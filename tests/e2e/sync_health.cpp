// Fleet health end to end: attsim terminals whose memory overwrote records, whose clocks jumped, and
// a database of the previous schema version, synced by attctl into SQLite and PostgreSQL; what
// `attctl status`, the metrics file and the export then say.
#include "health/FleetHealth.h"
#include "health/HealthMetrics.h"
#include "support/AttctlProcess.h"
#include "support/FileContent.h"
#include "support/FleetFixture.h"
#include "support/PgServer.h"
#include "support/SimProcess.h"
#include "sync/Database.h"
#include "sync/Schema.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString text(Database &db, const QString &sql)
{
    QString error;
    const auto v = db.value(sql, error);
    return v ? v->toString() : error;
}

// promtool's verdict on a metrics text: empty when it passes (or promtool is not installed).
QString promtoolProblems(const QByteArray &metrics)
{
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (promtool.isEmpty()) return {};
    QProcess p;
    p.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    p.write(metrics);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) return QStringLiteral("promtool did not finish");
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

}  // namespace

class SyncHealth : public QObject {
    Q_OBJECT

    FleetFolder dir_;
    PgServer pg_;

    QString writeFleet(const QString &name, quint16 port) { return dir_.writeFleet({{name, port, 105, false}}); }
    static QJsonObject statusJson(const AttctlRun &r)
    {
        const QStringList lines = r.lines();
        return lines.size() == 1 ? QJsonDocument::fromJson(lines.first().toUtf8()).object() : QJsonObject();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY2(pg_.start(), qPrintable(pg_.errorText()));
    }

    // Capacity 1,000 and 1,500 records made: 500 were overwritten before any sync. The sync counts
    // them once, the status and the metrics say so, and a later sync counts nothing again.
    void overwrittenRecordsCountedOnceAndTold()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("1500"), QStringLiteral("--capacity"),
                        QStringLiteral("1000"), QStringLiteral("--firmware"), QStringLiteral("2009-01-01")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        QCOMPARE(sim.terminal(105)[QStringLiteral("capacity")].toInt(), 1000);
        QCOMPARE(sim.terminal(105)[QStringLiteral("oldestSerial")].toString(), QStringLiteral("501"));
        const QString fleet = writeFleet(QStringLiteral("正门"), sim.port());
        const QString path = dir_.filePath(QStringLiteral("lost.sqlite"));
        const QString db = QStringLiteral("sqlite:") + path;
        const QString metrics = dir_.filePath(QStringLiteral("zevo.prom"));

        AttctlRun r = attctl(dir_.syncArgs(fleet, db) << QStringLiteral("--metrics") << metrics);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        const QString line = lineOf(r.out, QStringLiteral("正门"));
        QVERIFY2(line.contains(QStringLiteral(" new=1000 last-serial=1500 drift="))
                     && line.endsWith(QStringLiteral(" lost=500 fill=100% ok")),
                 qPrintable(r.out));
        QString error;
        auto store = openDatabase(db, error);
        QVERIFY2(store, qPrintable(error));
        QCOMPARE(number(*store, QStringLiteral("SELECT count(*) FROM punches")), 1000);
        QCOMPARE(number(*store, QStringLiteral("SELECT min(serial) FROM punches")), 501);
        QCOMPARE(number(*store, QStringLiteral("SELECT lost_total + capacity + held FROM terminals")), 2500);
        QCOMPARE(number(*store, QStringLiteral("SELECT sum(lost) FROM samples")), 500);

        const QByteArray prom = fileBytes(metrics);
        QVERIFY2(promtoolProblems(prom).isEmpty(), qPrintable(promtoolProblems(prom)));
        const QString identity = text(*store, QStringLiteral("SELECT identity FROM terminals"));
        const QByteArray labels = QStringLiteral("{terminal=\"正门\",identity=\"%1\"} ").arg(identity).toUtf8();
        for (const QByteArray &sample :
             {"zevo_terminal_records_lost_total" + labels + "500\n", "zevo_terminal_fill_ratio" + labels + "1\n",
              "zevo_terminal_up" + labels + "1\n", QByteArray("zevo_sync_records_total 1000\n")})
            QVERIFY2(prom.contains(sample), prom.constData());

        AttctlRun status = attctl({QStringLiteral("status"), QStringLiteral("--db"), db});
        QCOMPARE(status.code, 6);
        QVERIFY2(status.lines().size() == 2 && status.lines()[1].contains(QStringLiteral(" lost,filling  100% ")),
                 qPrintable(status.out));
        status = attctl({QStringLiteral("status"), QStringLiteral("--db"), db, QStringLiteral("--json")});
        const QJsonObject row = statusJson(status);
        QCOMPARE(row[QStringLiteral("state")].toString(), QStringLiteral("lost,filling"));
        QCOMPARE(row[QStringLiteral("fill_percent")].toInt(), 100);
        QCOMPARE(row[QStringLiteral("lost_total")].toInt(), 500);
        QCOMPARE(row[QStringLiteral("suspect")].toInt(), 0);

        // Ten more punches overwrite ten records the database holds: nothing is lost. The metrics
        // file cannot be written, yet the punches are stored and the exit status says so.
        for (int i = 0; i < 10; ++i) sim.send(QStringLiteral("punch 0079A785"));
        QCOMPARE(sim.terminal(105)[QStringLiteral("oldestSerial")].toString(), QStringLiteral("511"));
        r = attctl(dir_.syncArgs(fleet, db) << QStringLiteral("--metrics") << path + QStringLiteral("/zevo.prom"));
        QVERIFY2(r.code == 5 && r.err.contains(QStringLiteral("metrics not written")), qPrintable(r.out + r.err));
        const QString again = lineOf(r.out, QStringLiteral("正门"));
        QVERIFY2(again.contains(QStringLiteral(" new=10 last-serial=1510 "))
                     && again.endsWith(QStringLiteral(" fill=100% ok")) && !again.contains(QStringLiteral("lost=")),
                 qPrintable(r.out));
        QCOMPARE(number(*store, QStringLiteral("SELECT count(*) FROM punches")), 1010);
        QCOMPARE(number(*store, QStringLiteral("SELECT lost_total FROM terminals")), 500);

        // A terminal whose oldest record is below the one it held before had its memory replaced.
        QString ignored;
        QVERIFY(store->exec(QStringLiteral("UPDATE terminals SET oldest_serial = 900"), ignored));
        r = attctl(dir_.syncArgs(fleet, db) << QStringLiteral("--metrics") << metrics);
        QVERIFY2(
            r.code == 4
                && lineOf(r.out, QStringLiteral("正门")).contains(QStringLiteral("oldest serial 511 is below the 900")),
            qPrintable(r.out));
        QVERIFY(fileBytes(metrics).contains("zevo_terminal_up" + labels + "0\n"));
        status = attctl({QStringLiteral("status"), QStringLiteral("--db"), db, QStringLiteral("--json"),
                         QStringLiteral("--fill"), QStringLiteral("100")});
        QCOMPARE(statusJson(status)[QStringLiteral("state")].toString(), QStringLiteral("failing,lost"));
        QVERIFY(
            statusJson(status)[QStringLiteral("last_error")].toString().contains(QStringLiteral("memory replaced")));
    }

    // Times a terminal's clock cannot have meant are marked as they are stored in PostgreSQL, counted
    // by the status and exported with the reason.
    void suspectTimesMarkedCountedAndExported()
    {
        const QString ahead = QDateTime::currentDateTime().addDays(3).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString records =
            dir_.writeFile(QStringLiteral("clock.txt"),
                           QStringLiteral("0079A785 2026-12-01 08:00:00 0000\n0079A785 2026-12-01 09:00:00 0000\n"
                                          "0079A785 2026-12-01 07:30:00 0000\n0079A785 2026-12-01 07:40:00 0000\n"
                                          "0079A785 1999-12-31 23:59:00 0000\n0079A785 2026-12-01 07:45:00 0000\n"
                                          "0079A785 2008-05-01 10:00:00 0000\n0079A785 2026-12-01 08:00:00 0000\n"
                                          "0079A785 %1 0000\n")
                               .arg(ahead)
                               .toLatin1());
        SimProcess sim({QStringLiteral("--load-records"), records});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString db = pg_.createDatabase(QStringLiteral("clock"));
        QVERIFY2(!db.isEmpty(), qPrintable(pg_.errorText()));
        AttctlRun r = attctl(dir_.syncArgs(writeFleet(QStringLiteral("gate"), sim.port()), db));
        QVERIFY2(r.code == 0 && lineOf(r.out, QStringLiteral("gate")).contains(QStringLiteral(" new=9 ")),
                 qPrintable(r.out + r.err));

        AttctlRun status = attctl({QStringLiteral("status"), QStringLiteral("--db"), db, QStringLiteral("--json")});
        QCOMPARE(status.code, 0);
        QCOMPARE(statusJson(status)[QStringLiteral("suspect")].toInt(), 4);
        QCOMPARE(statusJson(status)[QStringLiteral("state")].toString(), QStringLiteral("ok"));

        AttctlRun csv = attctl({QStringLiteral("export"), QStringLiteral("--db"), db});
        QVERIFY2(csv.code == 0, qPrintable(csv.err));
        const QStringList lines = csv.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        QVERIFY(lines[0].endsWith(QStringLiteral(",flag,suspect")));
        QStringList marked;
        for (const QString &l : lines.mid(1))
            if (!l.endsWith(u',')) marked << l.section(u',', 2, 2) + u'=' + l.section(u',', 7);
        marked.sort();
        QCOMPARE(marked,
                 QStringList({QStringLiteral("3=clock jumped back"), QStringLiteral("5=before 2000"),
                              QStringLiteral("7=before the firmware date"),
                              QStringLiteral("9=more than a day ahead of the computer")}));
        AttctlRun jsonl = attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--format"),
                                  QStringLiteral("jsonl")});
        QVERIFY2(jsonl.out.contains(QStringLiteral("\"flag\":\"0000\",\"suspect\":\"before 2000\"}")),
                 qPrintable(jsonl.out));
    }

    // A version-1 database keeps its punches through the migration, in SQLite (a file the previous
    // program wrote) and in PostgreSQL (tables of the version-1 statements); the status refuses a
    // database it cannot read with exit 4.
    void versionOneMigratedInPlace()
    {
        AttctlRun status = attctl({QStringLiteral("status"), QStringLiteral("--db"),
                                   QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("none.sqlite"))});
        QVERIFY2(status.code == 4 && status.err.contains(QStringLiteral("no such file")), qPrintable(status.err));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("none.sqlite"))));
        status = attctl({QStringLiteral("status"), QStringLiteral("--db"),
                         QStringLiteral("sqlite:") + dir_.writeFile(QStringLiteral("empty.sqlite"), {})});
        QVERIFY2(status.code == 4 && status.err.contains(QStringLiteral("no sync has run")), qPrintable(status.err));

        const QString path = dir_.filePath(QStringLiteral("v1.sqlite"));
        QVERIFY(QFile::copy(qEnvironmentVariable("ZEVO_TEST_DATA") + QStringLiteral("/sync-v1.sqlite"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        const QString db = QStringLiteral("sqlite:") + path;
        status = attctl({QStringLiteral("status"), QStringLiteral("--db"), db});
        QVERIFY2(status.code == 4 && status.err.contains(QStringLiteral("schema version 1 is older")),
                 qPrintable(status.err));

        // The same terminal, ten records further, its memory holding serials 6 to 30.
        QString state =
            QStringLiteral("{\"terminals\":[{\"address\":105,\"identity\":\"00000000000000A1\",\"lastSerial\":\"30\","
                           "\"capacity\":25,\"records\":[");
        for (int i = 6; i <= 30; ++i)
            state += QStringLiteral("%1{\"card\":\"0079A785\",\"time\":\"2026-12-01 07:%2:00\",\"flag\":\"0000\"}")
                         .arg(i > 6 ? QStringLiteral(",") : QString())
                         .arg(i, 2, 10, QLatin1Char('0'));
        SimProcess sim({QStringLiteral("--state"),
                        dir_.writeFile(QStringLiteral("a1.json"), (state + QStringLiteral("]}]}")).toUtf8())});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        AttctlRun r = attctl(dir_.syncArgs(writeFleet(QStringLiteral("正门"), sim.port()), db));
        QVERIFY2(r.code == 0
                     && lineOf(r.out, QStringLiteral("正门")).contains(QStringLiteral(" new=10 last-serial=30 ")),
                 qPrintable(r.out + r.err));
        QVERIFY(!r.out.contains(QStringLiteral("lost=")));
        QString error;
        auto migrated = openDatabase(db, error);
        QCOMPARE(Schema::version(*migrated, error), Schema::Current);
        QCOMPARE(number(*migrated, QStringLiteral("SELECT count(*) FROM punches WHERE suspect = ''")), 30);
        QCOMPARE(number(*migrated, QStringLiteral("SELECT lost_total * 100 + held FROM terminals")), 25);
        status = attctl({QStringLiteral("status"), QStringLiteral("--db"), db, QStringLiteral("--json")});
        QCOMPARE(statusJson(status)[QStringLiteral("state")].toString(), QStringLiteral("filling"));

        // PostgreSQL: version 1 as its statements made it, a punch in it, then the steps after it.
        auto pg = openDatabase(pg_.createDatabase(QStringLiteral("v1")), error);
        QVERIFY2(pg && Schema::migrate(*pg, error, 1), qPrintable(error));
        QVERIFY2(pg->exec(QStringLiteral("INSERT INTO terminals (identity, name, last_serial, last_sync, clock_drift) "
                                         "VALUES ('B2', 'gate', 7, '2026-12-01 08:00:00', 3)"),
                          error)
                     && pg->exec(QStringLiteral("INSERT INTO punches VALUES (1, 7, 42, '2026-12-01 07:59:00', '0000')"),
                                 error),
                 qPrintable(error));
        QVERIFY2(Schema::migrate(*pg, error), qPrintable(error));
        QCOMPARE(Schema::version(*pg, error), Schema::Current);
        QCOMPARE(
            text(*pg,
                 QStringLiteral(
                     "SELECT name || lost_total || oldest_serial || last_error || suspect FROM terminals, punches")),
            QStringLiteral("gate00"));
        QList<TerminalHealth> fleet;
        QVERIFY2(FleetHealth::read(*pg, QDateTime::currentDateTime(), HealthThresholds{}, fleet, error),
                 qPrintable(error));
        QVERIFY(fleet.size() == 1 && fleet[0].stateText() == QStringLiteral("stale") && fleet[0].drift == 3
                && !fleet[0].fill);
        QByteArray prom;
        QVERIFY2(HealthMetrics::render(*pg, QDateTime::currentDateTime(), prom, error), qPrintable(error));
        QVERIFY2(promtoolProblems(prom).isEmpty(), qPrintable(promtoolProblems(prom)));
        QVERIFY(prom.contains("zevo_terminal_clock_drift_seconds{terminal=\"gate\",identity=\"B2\"} 3\n"));
    }
};

QTEST_GUILESS_MAIN(SyncHealth)
#include "sync_health.moc"
