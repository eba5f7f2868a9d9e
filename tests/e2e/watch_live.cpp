// attctl watch as a program against attsim and real databases: killed with SIGKILL at random moments
// while punches arrive and started again (every punch stored exactly once, the JSON lines of all runs
// covering every punch), a terminal cut and restarted from its state file, a repeated serial and a
// gap in the pushes, a second watch on one SQLite file, on PostgreSQL the NOTIFY of each punch and the
// server stopped for a while, and two watches as hot standbys publishing to a broker that freezes.
#include "support/AttctlProcess.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/PgServer.h"
#include "support/SimProcess.h"
#include "sync/Database.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <libpq-fe.h>
#include <csignal>

namespace {

// attctl watch running as a child; its JSON lines and messages kept whatever way it ends.
class WatchProcess {
public:
    explicit WatchProcess(const QStringList &args) { process_.start(attctlPath(), QStringList{"watch"} + args); }
    ~WatchProcess() { kill(); }
    void kill()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(10000);
    }
    // SIGTERM: the watch stores what it holds and ends; its exit status.
    int terminate()
    {
        ::kill(pid_t(process_.processId()), SIGTERM);
        if (!process_.waitForFinished(30000)) return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QByteArray out()
    {
        process_.waitForReadyRead(20);
        out_ += process_.readAllStandardOutput();
        return out_;
    }
    QString err()
    {
        process_.waitForReadyRead(20);
        err_ += process_.readAllStandardError();
        return QString::fromUtf8(err_);
    }

private:
    QProcess process_;
    QByteArray out_, err_;
};

DatabaseUrl urlOf(const QString &text)
{
    QString error;
    return DatabaseUrl::parse(text, error).value_or(DatabaseUrl());
}

qint64 number(Database &db, const QString &sql)
{
    QString error;
    const auto v = db.value(sql, error);
    if (!v) qWarning("%s", qPrintable(error));
    return v ? v->toLongLong() : -1;
}

// Waits (at most a minute) until the database holds `punches` punches; their count at the end.
qint64 waitForPunches(const DatabaseUrl &url, qint64 punches)
{
    qint64 n = -1;
    for (int i = 0; i < 600 && n != punches; ++i) {
        QString error;
        if (auto db = Database::open(url, error, 5)) n = number(*db, QStringLiteral("SELECT count(*) FROM punches"));
        if (n != punches) QThread::msleep(100);
    }
    return n;
}

// The (identity, serial) of every JSON line, checking the export's fields on each.
QSet<QString> punchesOf(const QByteArray &jsonLines, int &bad)
{
    QSet<QString> seen;
    for (const QByteArray &line : jsonLines.split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        for (const char *field : {"terminal", "identity", "serial", "card", "card_hex", "time", "utc", "flag"})
            if (!o.contains(QLatin1String(field))) ++bad;
        seen.insert(o.value(QStringLiteral("identity")).toString() + u'/'
                    + QString::number(o.value(QStringLiteral("serial")).toVariant().toULongLong()));
    }
    return seen;
}

// Every punch the simulator's terminals hold, as (identity, serial).
QSet<QString> punchesHeld(SimProcess &sim, qint64 &count)
{
    QSet<QString> all;
    count = 0;
    for (const QJsonValue &t : sim.dump().value(QStringLiteral("terminals")).toArray()) {
        const QString identity = t.toObject().value(QStringLiteral("identity")).toString();
        const quint64 last = t.toObject().value(QStringLiteral("lastSerial")).toString().toULongLong();
        for (quint64 s = 1; s <= last; ++s) all.insert(identity + u'/' + QString::number(s));
        count += qint64(last);
    }
    return all;
}

}  // namespace

class WatchLive : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString settings_;

    QString writeFleet(const QString &name, const QList<quint16> &ports, const QString &serial = {})
    {
        // A terminal on a serial line too (polled): address 9 on the pty.
        QString text = serial.isEmpty() ? QString()
                                        : QStringLiteral("[serial 9]\nline = serial:%1,115200\naddress = 9\n\n").arg(serial);
        for (int i = 0; i < ports.size(); ++i)
            text += QStringLiteral("[door %1]\nline = tcp:127.0.0.1:%2\naddress = %3\n\n").arg(i + 1).arg(ports[i]).arg(i + 1);
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
        return path;
    }
    QStringList watchArgs(const QString &fleet, const QString &db)
    {
        return {QStringLiteral("--fleet"), fleet, QStringLiteral("--db"), db, QStringLiteral("--jsonl"),
                QStringLiteral("--lock-dir"), dir_.filePath(QStringLiteral("locks")), QStringLiteral("--link-settings"),
                settings_};
    }
    static void punchAll(SimProcess &sim, int terminals, int rounds)
    {
        for (int r = 0; r < rounds; ++r) {
            for (int a = 1; a <= terminals; ++a)
                sim.send(QStringLiteral("punch %1 %2").arg(0x00A00000 + r * 7 + a, 8, 16, QLatin1Char('0')).arg(a));
            QThread::msleep(15);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        settings_ = writeQuickLinkSettings(dir_.path());
    }

    // The watch is killed (SIGKILL) at random moments while the terminals punch, and started again
    // each time, the last time with a polled serial terminal too; a repeated serial and a gap come in
    // the pushes; a second watch on the file is refused, and so is a sync.
    void killedAtRandomMomentsLosesNothing()
    {
        SimProcess sim({QStringLiteral("--fleet"), QStringLiteral("3"), QStringLiteral("--records"),
                        QStringLiteral("40")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        SimProcess serial({"--terminal", "9", "--records", "30", "--baud", "115200", "--tcp", "127.0.0.1:0"},
                          SimProcess::WithPty);
        if (!serial.start()) QFAIL(qPrintable(serial.errorText()));
        // The serial terminal joins for the last run only: a watch killed while it held attsim's pty
        // leaves it in exclusive mode (attsim keeps it open), which only root may open again.
        const QString tcpFleet = writeFleet(QStringLiteral("killed.ini"), sim.fleetPorts());
        const QString fleet = writeFleet(QStringLiteral("killed-all.ini"), sim.fleetPorts(), serial.ptyPath());
        const QString dbPath = dir_.filePath(QStringLiteral("killed.sqlite"));
        const QString db = QStringLiteral("sqlite:") + dbPath;
        QByteArray lines;
        QRandomGenerator random(18);
        for (int run = 0; run < 6; ++run) {
            WatchProcess watch(watchArgs(tcpFleet, db));
            serial.send(QStringLiteral("punch 00C0FFEE 9"));
            punchAll(sim, 3, 5 + int(random.bounded(10)));
            QThread::msleep(random.bounded(900));
            watch.kill();
            lines += watch.out();
        }
        WatchProcess watch(watchArgs(fleet, db));
        punchAll(sim, 3, 3);
        // Caught up and subscribed before the faults, so that they reach pushes.
        qint64 before = 0, beforeOnSerial = 0;
        punchesHeld(sim, before);
        punchesHeld(serial, beforeOnSerial);
        QCOMPARE(waitForPunches(urlOf(db), before + beforeOnSerial), before + beforeOnSerial);
        sim.send(QStringLiteral("push-fault repeat 1"));
        punchAll(sim, 3, 2);
        sim.send(QStringLiteral("push-fault gap 2"));
        punchAll(sim, 3, 3);
        serial.send(QStringLiteral("punch 00C0FFEE 9"));
        qint64 held = 0, heldOnSerial = 0;
        const QSet<QString> all = punchesHeld(sim, held) + punchesHeld(serial, heldOnSerial);
        held += heldOnSerial;
        QCOMPARE(heldOnSerial, 37);
        const qint64 stored = waitForPunches(urlOf(db), held);
        if (stored != held) {
            QString error;
            auto d = Database::open(urlOf(db), error);
            QSqlQuery q(d->sql());
            q.exec(QStringLiteral("SELECT t.identity, p.serial FROM punches p JOIN terminals t ON t.id = p.terminal_id"));
            QSet<QString> inDb;
            while (q.next()) inDb.insert(q.value(0).toString() + u'/' + q.value(1).toString());
            const QStringList missing = (all - inDb).values();
            QFAIL(qPrintable(QStringLiteral("%1 of %2 stored, missing %3; %4")
                                 .arg(stored)
                                 .arg(held)
                                 .arg(missing.join(u' '), watch.err())));
        }

        const AttctlRun second = attctl(QStringList{"watch"} + watchArgs(fleet, db));
        QCOMPARE(second.code, 4);
        QVERIFY2(second.err.contains(QStringLiteral("another attctl watch (or a sync) is writing it")),
                 qPrintable(second.err));
        const AttctlRun sync = attctl({"sync", "--fleet", fleet, "--db", db, "--lock-dir", dir_.filePath("locks")});
        QCOMPARE(sync.code, 4);
        QVERIFY2(sync.err.contains(QStringLiteral("attctl watch is writing it")), qPrintable(sync.err));

        QCOMPARE(watch.terminate(), 0);
        lines += watch.out();
        int bad = 0;
        const QSet<QString> delivered = punchesOf(lines, bad);
        QCOMPARE(bad, 0);
        QCOMPARE(delivered.size(), all.size());
        QVERIFY(delivered == all);
        QString error;
        auto d = Database::open(urlOf(db), error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(number(*d, QStringLiteral("SELECT count(DISTINCT terminal_id * 1000000 + serial) FROM punches")), held);
        QCOMPARE(number(*d, QStringLiteral("SELECT sum(serial) FROM push_marks WHERE destination = 'jsonl'")), held);
        // The repeated serial and the gap were seen and dealt with, nothing was lost.
        const QString err = watch.err();
        QVERIFY2(err.contains(QStringLiteral("[door 1] pushed serials")) && err.contains(QStringLiteral("ignored")),
                 qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("[door 2] push begins at serial")), qPrintable(err));
        QVERIFY2(!err.contains(QStringLiteral("lost")), qPrintable(err));
    }

    // attsim stopped and started again from its state file on the same port: the watch logs the loss
    // once and the recovery once, and the punches on either side are stored once.
    void terminalCutAndRestartedWithState()
    {
        const QString state = dir_.filePath(QStringLiteral("cut.json"));
        auto sim = std::make_unique<SimProcess>(QStringList{"--state", state, "--terminal", "1"});
        if (!sim->start()) QFAIL(qPrintable(sim->errorText()));
        const quint16 port = sim->port();
        const QString fleet = writeFleet(QStringLiteral("cut.ini"), {port});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("cut.sqlite"));
        WatchProcess watch(watchArgs(fleet, db));
        punchAll(*sim, 1, 5);
        QCOMPARE(waitForPunches(urlOf(db), 5), 5);
        sim->stop();
        QThread::msleep(2500);  // the watch tries again meanwhile, and is refused
        sim = std::make_unique<SimProcess>(
            QStringList{"--state", state, "--tcp", QStringLiteral("127.0.0.1:%1").arg(port)});
        if (!sim->start()) QFAIL(qPrintable(sim->errorText()));
        punchAll(*sim, 1, 7);
        QCOMPARE(waitForPunches(urlOf(db), 12), 12);
        QCOMPARE(watch.terminate(), 0);
        const QString err = watch.err();
        QCOMPARE(err.count(QStringLiteral("[door 1] lost:")), 1);
        QCOMPARE(err.count(QStringLiteral("[door 1] back after")), 1);
        int bad = 0;
        QCOMPARE(punchesOf(watch.out(), bad).size(), 12);
    }

    // On PostgreSQL: a LISTEN connection hears each punch as its JSON line; the server stopped for a
    // while holds nothing up for ever: the punches wait on the terminal and come once it is back.
    void postgresNotifiesAndSurvivesTheServerStopping()
    {
        PgServer pg;
        if (!pg.start()) QFAIL(qPrintable(pg.errorText()));
        const QString url = pg.createDatabase(QStringLiteral("watch"));
        QVERIFY2(!url.isEmpty(), qPrintable(pg.errorText()));
        SimProcess sim({QStringLiteral("--fleet"), QStringLiteral("2"), QStringLiteral("--records"), QStringLiteral("3")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString fleet = writeFleet(QStringLiteral("pg.ini"), sim.fleetPorts());
        // Listening before the watch starts: the punches it catches up with are announced too.
        PGconn *listen = PQconnectdb(QStringLiteral("host=127.0.0.1 port=%1 dbname=watch user=zevo").arg(pg.port()).toUtf8());
        QCOMPARE(PQstatus(listen), CONNECTION_OK);
        PQclear(PQexec(listen, "LISTEN zevo_punch"));
        WatchProcess watch(watchArgs(fleet, url));
        QVERIFY2(waitForPunches(urlOf(url), 6) == 6, qPrintable(watch.err()));
        punchAll(sim, 2, 4);
        QCOMPARE(waitForPunches(urlOf(url), 14), 14);
        QSet<QString> heard;
        for (int i = 0; i < 100 && heard.size() < 14; ++i) {
            PQconsumeInput(listen);
            while (PGnotify *n = PQnotifies(listen)) {
                int bad = 0;
                heard += punchesOf(QByteArray(n->extra), bad);
                QCOMPARE(bad, 0);
                PQfreemem(n);
            }
            QThread::msleep(50);
        }
        PQfinish(listen);
        QCOMPARE(heard.size(), 14);

        QVERIFY(pg.stop());
        punchAll(sim, 2, 3);
        QThread::msleep(1500);
        QVERIFY(pg.start());
        QCOMPARE(waitForPunches(urlOf(url), 20), 20);
        QCOMPARE(watch.terminate(), 0);
        int bad = 0;
        qint64 held = 0;
        QVERIFY(punchesOf(watch.out(), bad) == punchesHeld(sim, held));
        QCOMPARE(held, 20);
        QCOMPARE(watch.err().count(QStringLiteral("punches wait on the terminals")), 1);
    }

    // Two watches on one PostgreSQL database: the second stands by, and takes every terminal over
    // once the first is killed (SIGKILL); MQTT delivery waits while the broker is frozen and resumes
    // from its mark. Every punch is stored once, published, and printed by one watch or the other.
    void standbyTakesOverAndMqttResumes()
    {
        PgServer pg;
        if (!pg.start()) QFAIL(qPrintable(pg.errorText()));
        const QString url = pg.createDatabase(QStringLiteral("standby"));
        MosquittoBroker broker;
        if (!broker.start()) QFAIL(qPrintable(broker.errorText()));
        MqttSubscriber subscriber;
        QVERIFY2(subscriber.subscribe(broker.port(), QStringLiteral("site/+/punch")), qPrintable(subscriber.errorText()));
        SimProcess sim({QStringLiteral("--fleet"), QStringLiteral("3"), QStringLiteral("--records"), QStringLiteral("5")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString fleet = writeFleet(QStringLiteral("standby.ini"), sim.fleetPorts());
        const QStringList args = watchArgs(fleet, url) + QStringList{"--mqtt", broker.url(QStringLiteral("site"))};
        auto holder = std::make_unique<WatchProcess>(args);
        punchAll(sim, 3, 3);
        QCOMPARE(waitForPunches(urlOf(url), 24), 24);
        // As if on another machine: line locks are local.
        QStringList standbyArgs = args;
        standbyArgs[standbyArgs.indexOf(QStringLiteral("--lock-dir")) + 1] = dir_.filePath(QStringLiteral("other-locks"));
        WatchProcess standby(standbyArgs);
        for (int i = 0; i < 300 && standby.err().count(QStringLiteral("standing by")) < 3; ++i) QThread::msleep(100);
        QVERIFY2(standby.err().count(QStringLiteral("standing by")) == 3, qPrintable(standby.err() + holder->err()));

        broker.pause();
        punchAll(sim, 3, 2);
        QCOMPARE(waitForPunches(urlOf(url), 30), 30);
        holder->kill();
        const QByteArray holderLines = holder->out();
        punchAll(sim, 3, 2);
        QCOMPARE(waitForPunches(urlOf(url), 36), 36);
        QCOMPARE(standby.err().count(QStringLiteral("taken over")), 3);
        broker.resume();

        qint64 held = 0;
        const QSet<QString> all = punchesHeld(sim, held);
        // At least once: a punch the holder published and the standby published again comes twice.
        QSet<QString> published;
        for (int i = 0; i < 120 && published != all; ++i) {
            published.clear();
            const QList<MqttSubscriber::Message> messages = subscriber.waitFor(int(held) + 1000, 500);
            for (const MqttSubscriber::Message &m : messages) {
                int bad = 0;
                published += punchesOf(m.payload, bad);
                QVERIFY(m.topic.startsWith(QLatin1String("site/door ")) && m.topic.endsWith(QLatin1String("/punch")));
            }
        }
        QCOMPARE(standby.terminate(), 0);
        int bad = 0;
        QVERIFY(published == all);
        QVERIFY((punchesOf(holderLines, bad) + punchesOf(standby.out(), bad)) == all);
        QCOMPARE(bad, 0);
    }
};

QTEST_GUILESS_MAIN(WatchLive)
#include "watch_live.moc"
