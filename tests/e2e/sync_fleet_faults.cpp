// A sync's faults and refusals, attctl run as a program against attsim and SQLite files: a clear
// refused after the commit, a slow line converter, a terminal replaced under its name, a sync stopped
// by a signal, a busy line, and the refusals that touch nothing.
#include "support/AttctlProcess.h"
#include "support/FleetFixture.h"
#include "support/SimProcess.h"
#include "sync/Database.h"
#include "sync/LineLock.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <csignal>
#include <unistd.h>

class SyncFleetFaults : public QObject {
    Q_OBJECT

    FleetFolder dir_;

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void clearRefusedAfterTheCommitIsDoneNextTime()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("90")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = dir_.writeFleet({{QStringLiteral("door"), sim.port(), 105, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("refused.sqlite"));
        sim.send(QStringLiteral("refuse-deletes on"));
        AttctlRun r = attctl(dir_.syncArgs(fleetFile, db));
        QCOMPARE(r.code, 4);
        QVERIFY2(lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=90 last-serial=90 drift="))
                     && lineOf(r.out, QStringLiteral("door"))
                            .contains(QStringLiteral("error: stored, but clearing the terminal failed")),
                 qPrintable(r.out));
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 90);
        sim.send(QStringLiteral("refuse-deletes off"));
        sim.send(QStringLiteral("punch 0079A785"));
        r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=1 last-serial=91 "))
                     && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" cleared=91 ok")),
                 qPrintable(r.out));
        QString error;
        auto database = openDatabase(db, error);
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
        r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0 && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral(" new=1 last-serial=94 "))
                     && lineOf(r.out, QStringLiteral("door")).contains(QStringLiteral("lost=2"))
                     && lineOf(r.out, QStringLiteral("door")).endsWith(QStringLiteral(" ok")),
                 qPrintable(r.out));
        r = attctl(dir_.syncArgs(fleetFile, db));
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
        const QString fleetFile = dir_.writeFleet({{QStringLiteral("gate"), sim.port(), 105, false}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("slow.sqlite"));
        AttctlRun r = attctl(QStringList{QStringLiteral("--trace")} + dir_.syncArgs(fleetFile, db));
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
        AttctlRun r = attctl(dir_.syncArgs(dir_.writeFleet({{QStringLiteral("door"), first.port(), 105, false}}), db));
        QVERIFY2(r.code == 0 && !r.out.contains(QStringLiteral("identity-changed")), qPrintable(r.out + r.err));

        const QString fleetFile = dir_.writeFleet({{QStringLiteral("door"), second.port(), 105, false}});
        AttctlOptions journal;
        journal.environment.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("8:1234"));
        r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--dry-run"), journal);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(r.lines().value(0), QStringLiteral("dry run: database ") + db);
        QVERIFY2(r.lines().value(1).startsWith(
                     QStringLiteral(
                         "<4>[door] identity=%1 identity-changed=%2->%1 waiting=10 stored-serial=0 terminal-serial=10 ")
                         .arg(newId, oldId)),
                 qPrintable(r.out));
        r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(lineOf(r.out, QStringLiteral("door"))
                     .contains(QStringLiteral(" identity-changed=%1->%2 new=10 last-serial=10 ").arg(oldId, newId)),
                 qPrintable(r.out));
        r = attctl(dir_.syncArgs(fleetFile, db));
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
        const QString fleetFile = dir_.writeFleet(entries);
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("stopped.sqlite"));
        QProcess sync;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("8:1234"));
        sync.setProcessEnvironment(env);
        sync.start(attctlPath(), dir_.syncArgs(fleetFile, db) << QStringLiteral("--jobs") << QStringLiteral("1"));
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
        AttctlRun r = attctl(dir_.syncArgs(fleetFile, db));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QStringList names;
        for (const QString &l : r.lines()) names.append(l.section(u']', 0, 0));
        QCOMPARE(names.mid(0, 4),
                 (QStringList{QStringLiteral("[a"), QStringLiteral("[b"), QStringLiteral("[c"), QStringLiteral("[d")}));
        QString error;
        auto database = openDatabase(db, error);
        QVERIFY2(database, qPrintable(error));
        checkExactlyOnce(fleet, *database, true, {1, 3, 4});
    }

    void refusalsTouchNothing()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("20")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleetFile = dir_.writeFleet({{QStringLiteral("door"), sim.port(), 105, true}});
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("refusals.sqlite"));

        const QString bad = dir_.filePath(QStringLiteral("bad.ini"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[door]\nline = modem:123\naddress = 1\n");
        f.close();
        AttctlRun r = attctl(dir_.syncArgs(bad, db));
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(bad + QStringLiteral(":2: line \"modem:123\" is of an unknown kind")),
                 qPrintable(r.err));

        r = attctl(dir_.syncArgs(fleetFile, QStringLiteral("mysql://x")));
        QCOMPARE(r.code, 2);
        r = attctl(dir_.syncArgs(fleetFile, QStringLiteral("sqlite:/nonexistent/punches.sqlite")));
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
        r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--lock-wait") << QStringLiteral("0"));
        QCOMPARE(r.code, 4);
        QVERIFY2(
            lineOf(r.out, QStringLiteral("door"))
                .contains(QStringLiteral("error: the line tcp:127.0.0.1:%1 is in use by another sync").arg(sim.port())),
            qPrintable(r.out));
        // None of these changed the terminal.
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 20);
        held.release();
        r = attctl(dir_.syncArgs(fleetFile, db) << QStringLiteral("--lock-wait") << QStringLiteral("0"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

        // Mistakes in the options are usage errors, said once before any terminal is touched.
        r = attctl(dir_.syncArgs(fleetFile, db)
                   << QStringLiteral("--link-settings") << dir_.filePath(QStringLiteral("missing.ini")));
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err,
                 QStringLiteral("attctl: --link-settings: no settings file %1\n")
                     .arg(dir_.filePath(QStringLiteral("missing.ini"))));
        const QString notAFolder = dir_.filePath(QStringLiteral("plain"));
        QVERIFY(QFile(notAFolder).open(QIODevice::WriteOnly));
        QStringList args = dir_.syncArgs(fleetFile, db);
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

QTEST_GUILESS_MAIN(SyncFleetFaults)
#include "sync_fleet_faults.moc"
