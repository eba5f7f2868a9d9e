// attctl roster plan, apply and pull against attsim fleets (TCP terminals and a multi-drop pair on a
// pty): every terminal's roster compared with attsim's dump after each apply, a second run that
// changes nothing, a changed list, unlisted cards removed only when asked, a full roster, a lying
// terminal, a list with mistakes, runs killed in the middle of a batch and two runs at once on a line.
#include "attlink/protocol/RecordWire.h"
#include "support/AttctlProcess.h"
#include "support/FleetFixture.h"
#include "support/LyingTerminal.h"
#include "support/PgServer.h"
#include "support/SimProcess.h"
#include "sync/Database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

struct Card {
    uint32_t card;
    QString jobNo, name, groups;
};

// Card i of the generated lists: a third for the office, a third for the plant, a third for all.
Card cardOf(int i)
{
    static const QString groups[] = {QStringLiteral("office"), QStringLiteral("plant"), QString()};
    return {0x00C00000u + uint32_t(i), QStringLiteral("%1").arg(i + 1, 8, 10, QLatin1Char('0')),
            QStringLiteral("员工%1").arg(i), groups[i % 3]};
}

QList<Card> cardsOf(int n, bool grouped = true)
{
    QList<Card> cards;
    for (int i = 0; i < n; ++i) {
        cards << cardOf(i);
        if (!grouped) cards.last().groups.clear();
    }
    return cards;
}

// card (hex) -> "job|name"
using Roster = QMap<QString, QString>;

Roster rosterIn(const QJsonObject &terminal)
{
    Roster r;
    for (const QJsonValue &v : terminal[QStringLiteral("roster")].toArray()) {
        const QJsonObject e = v.toObject();
        r.insert(e[QStringLiteral("card")].toString(),
                 e[QStringLiteral("jobNo")].toString() + u'|' + e[QStringLiteral("name")].toString());
    }
    return r;
}

// What a terminal of `groups` holds once the list is applied over what it held before.
Roster expected(const QList<Card> &list, const QStringList &groups, const Roster &before, bool removeUnlisted)
{
    Roster r = removeUnlisted ? Roster() : before;
    for (const Card &c : list)
        if (c.groups.isEmpty() || groups.contains(c.groups))
            r.insert(RecordWire::cardHex(c.card), c.jobNo + u'|' + c.name);
    return r;
}

}  // namespace

class FleetCards : public QObject {
    Q_OBJECT

    FleetFolder dir_;
    int files_ = 0;

    QString write(const QString &name, const QByteArray &content)
    {
        return dir_.writeFile(QStringLiteral("%1-%2").arg(++files_).arg(name), content);
    }
    // The list as a CSV file, with a byte-order mark and CR LF line ends when asked.
    QString writeList(const QList<Card> &cards, bool bomCrLf = false)
    {
        QByteArray text = bomCrLf ? "\xEF\xBB\xBF" : "";
        const QByteArray end = bomCrLf ? "\r\n" : "\n";
        text += "card,job_number,name,groups" + end;
        for (const Card &c : cards)
            text += (RecordWire::cardHex(c.card) + u',' + c.jobNo + u',' + c.name + u',' + c.groups).toUtf8() + end;
        return write(QStringLiteral("cards.csv"), text);
    }
    QStringList args(const QString &verb, const QString &fleet, const QString &list = {})
    {
        QStringList a{QStringLiteral("roster"),          verb,
                      QStringLiteral("--fleet"),         fleet,
                      QStringLiteral("--lock-dir"),      dir_.filePath(QStringLiteral("locks")),
                      QStringLiteral("--link-settings"), writeQuickLinkSettings(dir_.path())};
        if (!list.isEmpty()) a << QStringLiteral("--from") << list;
        return a;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void bringsAFleetToTheListAndAgainChangesNothing()
    {
        SimProcess tcp({QStringLiteral("--fleet"), QStringLiteral("3")});
        QVERIFY2(tcp.start(), qPrintable(tcp.errorText()));
        // Two terminals sharing a serial line; the first holds 20 cards nobody listed.
        SimProcess pty({QStringLiteral("--terminal"), QStringLiteral("7"), QStringLiteral("--terminal"),
                        QStringLiteral("8"), QStringLiteral("--roster"), QStringLiteral("20"), QStringLiteral("--baud"),
                        QStringLiteral("115200")},
                       SimProcess::WithPty);
        QVERIFY2(pty.start(), qPrintable(pty.errorText()));
        const QList<quint16> p = tcp.fleetPorts();
        const QString fleet =
            write(QStringLiteral("fleet.ini"),
                  QStringLiteral("[office]\nline = tcp:127.0.0.1:%1\naddress = 1\ngroups = office\n"
                                 "[plant]\nline = tcp:127.0.0.1:%2\naddress = 2\ngroups = plant\n"
                                 "[both]\nline = tcp:127.0.0.1:%3\naddress = 3\ngroups = plant, office\n"
                                 "[pty 7]\nline = serial:%4,115200\naddress = 7\ngroups = office\n"
                                 "[pty 8]\nline = serial:%4,115200\naddress = 8\n")
                      .arg(p[0])
                      .arg(p[1])
                      .arg(p[2])
                      .arg(pty.ptyPath())
                      .toUtf8());
        struct Where {
            SimProcess *sim;
            int address;
            QStringList groups;
        };
        const std::vector<Where> terminals = {{&tcp, 1, {QStringLiteral("office")}},
                                              {&tcp, 2, {QStringLiteral("plant")}},
                                              {&tcp, 3, {QStringLiteral("plant"), QStringLiteral("office")}},
                                              {&pty, 7, {QStringLiteral("office")}},
                                              {&pty, 8, {}}};
        const Roster unlisted = rosterIn(pty.terminal(7));
        QCOMPARE(unlisted.size(), 20);
        QList<Card> list = cardsOf(600);
        const QString listFile = writeList(list, true);

        // The plan changes nothing and counts what apply will do.
        AttctlRun r = attctl(args(QStringLiteral("plan"), fleet, listFile));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(lineOf(r.out, QStringLiteral("office")), QStringLiteral("[office] add=400 change=0 remove=0 keep=0"));
        QCOMPARE(lineOf(r.out, QStringLiteral("both")), QStringLiteral("[both] add=600 change=0 remove=0 keep=0"));
        QCOMPARE(lineOf(r.out, QStringLiteral("pty 8")), QStringLiteral("[pty 8] add=200 change=0 remove=0 keep=0"));
        QCOMPARE(rosterIn(pty.terminal(7)), unlisted);
        QCOMPARE(rosterIn(tcp.terminal(1)).size(), 0);

        r = attctl(args(QStringLiteral("apply"), fleet, listFile));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(lineOf(r.out, QStringLiteral("plant")), QStringLiteral("[plant] added=400 changed=0 removed=0 ok"));
        QCOMPARE(lineOf(r.out, QStringLiteral("pty 7")), QStringLiteral("[pty 7] added=400 changed=0 removed=0 ok"));
        for (const Where &w : terminals)
            QCOMPARE(rosterIn(w.sim->terminal(w.address)),
                     expected(list, w.groups, w.address == 7 ? unlisted : Roster(), false));

        r = attctl(args(QStringLiteral("apply"), fleet, listFile));
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("every terminal already held the list, nothing changed")),
                 qPrintable(r.out));
        QCOMPARE(lineOf(r.out, QStringLiteral("both")), QStringLiteral("[both] added=0 changed=0 removed=0 ok"));

        // 1% of the cards renamed, one card gone from the list, one new: only that difference moves.
        for (int i = 0; i < 600; i += 100) list[i].name = QStringLiteral("新名%1").arg(i);
        list.removeAt(1);      // a plant card
        list << cardOf(1000);  // plant
        const QString changedFile = writeList(list);
        r = attctl(args(QStringLiteral("plan"), fleet, changedFile)
                   << QStringLiteral("--json") << QStringLiteral("--remove-unlisted"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(r.lines().size(), 5);  // one object a terminal, the total on standard error
        QJsonObject both;
        for (const QString &l : r.lines()) {
            const QJsonObject o = QJsonDocument::fromJson(l.toUtf8()).object();
            if (o.value(QStringLiteral("terminal")).toString() == QStringLiteral("both")) both = o;
        }
        auto first = [&](const char *list, const char *field) {
            return both.value(QLatin1String(list)).toArray().at(0).toObject().value(QLatin1String(field)).toString();
        };
        QCOMPARE(both[QStringLiteral("add")].toArray().size(), 1);
        QCOMPARE(first("add", "card"), RecordWire::cardHex(cardOf(1000).card));
        QCOMPARE(both[QStringLiteral("change")].toArray().size(), 6);
        QCOMPARE(first("change", "name"), QStringLiteral("新名0"));
        QCOMPARE(both[QStringLiteral("remove")].toArray().size(), 1);
        QCOMPARE(both[QStringLiteral("keep")].toInt(), 600 - 1 - 6);

        r = attctl(args(QStringLiteral("apply"), fleet, changedFile));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(lineOf(r.out, QStringLiteral("both")), QStringLiteral("[both] added=1 changed=6 removed=0 ok"));
        QVERIFY2(r.out.contains(QStringLiteral("total: 5 terminals, 0 failed, added=")), qPrintable(r.out));
        for (const Where &w : terminals) {
            Roster before = expected(cardsOf(600), w.groups, w.address == 7 ? unlisted : Roster(), false);
            QCOMPARE(rosterIn(w.sim->terminal(w.address)), expected(list, w.groups, before, false));
        }
        // Removing is only ever done when asked.
        r = attctl(args(QStringLiteral("apply"), fleet, changedFile) << QStringLiteral("--remove-unlisted"));
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(lineOf(r.out, QStringLiteral("pty 7")), QStringLiteral("[pty 7] added=0 changed=0 removed=20 ok"));
        QCOMPARE(lineOf(r.out, QStringLiteral("both")), QStringLiteral("[both] added=0 changed=0 removed=1 ok"));
        for (const Where &w : terminals)
            QCOMPARE(rosterIn(w.sim->terminal(w.address)), expected(list, w.groups, {}, true));

        // pull: every roster in the database, and out again as CSV.
        const QString db = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("rosters.sqlite"));
        r = attctl(args(QStringLiteral("pull"), fleet) << QStringLiteral("--db") << db);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\[both\\] identity=[0-9A-F]{16} cards=600 ok$"),
                                    QRegularExpression::MultilineOption)
                     .match(r.out)
                     .hasMatch(),
                 qPrintable(r.out));
        const QString identity = tcp.terminal(3)[QStringLiteral("identity")].toString();
        QString error;
        auto database = openDatabase(db, error);
        QVERIFY2(database, qPrintable(error));
        // Which terminals let an office card in.
        const auto holders =
            database->value(QStringLiteral("SELECT group_concat(terminal) FROM (SELECT terminal FROM rosters "
                                           "WHERE card = %1 ORDER BY terminal)")
                                .arg(cardOf(0).card),
                            error);
        QCOMPARE(holders.value_or(QVariant()).toString(), QStringLiteral("both,office,pty 7"));
        const auto name = database->value(QStringLiteral("SELECT name FROM rosters WHERE identity = '%1' AND card = %2")
                                              .arg(identity)
                                              .arg(cardOf(100).card),
                                          error);
        QCOMPARE(name.value_or(QVariant()).toString(), QStringLiteral("新名100"));
        AttctlRun e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--format"),
                              QStringLiteral("roster-csv")});
        QVERIFY2(e.code == 0, qPrintable(e.err));
        const QStringList rows = e.lines();
        QCOMPARE(rows.value(0), QStringLiteral("terminal,identity,card,card_hex,job_number,name,pulled_at\r"));
        QCOMPARE(rows.size(), 1 + 400 + 400 + 600 + 400 + 200);
        QVERIFY2(rows.value(1).startsWith(QStringLiteral("office,"))
                     || rows.value(1).startsWith(QStringLiteral("both,"))
                     || rows.value(1).startsWith(QStringLiteral("pty 7,")),
                 qPrintable(rows.value(1)));
    }

    void refusalsAndLiesFailOnlyTheirTerminal()
    {
        SimProcess sim({QStringLiteral("--fleet"), QStringLiteral("2")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        LyingTerminal liar(LyingTerminal::Mode::BatchShortResults, 0, 3);
        sim.send(QStringLiteral("roster-capacity 250 2"));
        const QList<quint16> p = sim.fleetPorts();
        const QString fleet =
            write(QStringLiteral("fleet.ini"),
                  QStringLiteral(
                      "[fine]\nline = tcp:127.0.0.1:%1\naddress = 1\n[full]\nline = tcp:127.0.0.1:%2\naddress = 2\n"
                      "[liar]\nline = tcp:127.0.0.1:%3\naddress = %4\n")
                      .arg(p[0])
                      .arg(p[1])
                      .arg(liar.port())
                      .arg(int(LyingTerminal::Address))
                      .toUtf8());
        const QList<Card> list = cardsOf(300, false);
        AttctlRun r = attctl(args(QStringLiteral("apply"), fleet, writeList(list)));
        QCOMPARE(r.code, 4);
        QCOMPARE(lineOf(r.out, QStringLiteral("fine")), QStringLiteral("[fine] added=300 changed=0 removed=0 ok"));
        QCOMPARE(
            lineOf(r.out, QStringLiteral("full")),
            QStringLiteral(
                "[full] added=250 changed=0 removed=0 error: 50 of 300 cards refused (the terminal's roster is full)"));
        // Each refusal on its own line with its card and the list's line.
        QVERIFY2(r.out.contains(QStringLiteral("\n  refused %1 (list line %2): the terminal's roster is full\n")
                                    .arg(RecordWire::cardHex(list[250].card))
                                    .arg(252)),
                 qPrintable(r.out));
        QCOMPARE(r.out.count(QStringLiteral("  refused ")), 50);
        QCOMPARE(rosterIn(sim.terminal(2)).size(), 250);
        QVERIFY2(lineOf(r.out, QStringLiteral("liar"))
                     .startsWith(QStringLiteral(
                         "[liar] added=0 changed=0 removed=0 error: issuing cards failed: damaged reply: ")),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("total: 3 terminals, 2 failed")), qPrintable(r.out));
    }

    // Into PostgreSQL: a second pull replaces a terminal's rows, and a roster that shrank shows it.
    void pullsIntoPostgres()
    {
        PgServer pg;
        QVERIFY2(pg.start(), qPrintable(pg.errorText()));
        const QString db = pg.createDatabase(QStringLiteral("rosters"));
        QVERIFY2(!db.isEmpty(), qPrintable(pg.errorText()));
        SimProcess sim({QStringLiteral("--fleet"), QStringLiteral("2")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QList<quint16> p = sim.fleetPorts();
        const QString fleet =
            write(QStringLiteral("fleet.ini"),
                  QStringLiteral(
                      "[一号门]\nline = tcp:127.0.0.1:%1\naddress = 1\n[b]\nline = tcp:127.0.0.1:%2\naddress = 2\n")
                      .arg(p[0])
                      .arg(p[1])
                      .toUtf8());
        QVERIFY(attctl(args(QStringLiteral("apply"), fleet, writeList(cardsOf(1200, false)))).code == 0);
        AttctlRun r = attctl(args(QStringLiteral("pull"), fleet) << QStringLiteral("--db") << db);
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("total: 2 terminals, 0 failed, 2400 cards stored")),
                 qPrintable(r.out + r.err));
        QVERIFY(attctl(args(QStringLiteral("apply"), fleet, writeList(cardsOf(700, false)))
                       << QStringLiteral("--remove-unlisted"))
                    .code
                == 0);
        r = attctl(args(QStringLiteral("pull"), fleet) << QStringLiteral("--db") << db);
        QVERIFY2(r.code == 0 && r.out.contains(QStringLiteral("1400 cards stored")), qPrintable(r.out + r.err));
        const AttctlRun e = attctl({QStringLiteral("export"), QStringLiteral("--db"), db, QStringLiteral("--format"),
                                    QStringLiteral("roster-csv")});
        QVERIFY2(e.code == 0, qPrintable(e.err));
        QCOMPARE(e.lines().size(), 1 + 1400);
        QVERIFY2(e.lines().value(1).startsWith(QStringLiteral("b,"))
                     || e.lines().value(1).startsWith(QStringLiteral("一号门,")),
                 qPrintable(e.lines().value(1)));
        QVERIFY2(e.lines().value(1).contains(QStringLiteral(",0012582912,00C00000,00000001,员工0,")),
                 qPrintable(e.lines().value(1)));
    }

    void aListWithMistakesTouchesNothing()
    {
        SimProcess sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QString fleet = write(QStringLiteral("fleet.ini"),
                                    QStringLiteral("[door]\nline = tcp:127.0.0.1:%1\naddress = 105\ngroups = office\n")
                                        .arg(sim.port())
                                        .toUtf8());
        const QString bad = write(QStringLiteral("bad.csv"),
                                  "card,job_number,name,groups\n"
                                  "00000001,1,fine,office\n"
                                  "00000002,1,\xF0\x9F\x98\x80\xE2\x80\xAE,office\n"
                                  "00000003,1,x,annex\n"
                                  "0000000Z,1,x,\n");
        for (const QString &verb : {QStringLiteral("plan"), QStringLiteral("apply")}) {
            const AttctlRun r = attctl(args(verb, fleet, bad));
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains(bad + QStringLiteral(":3: the name"))
                         && r.err.contains(bad + QStringLiteral(":5: the card \"0000000Z\"")) && r.out.isEmpty(),
                     qPrintable(r.err));
        }
        // The unknown group is named once the rows are right.
        const QString annex = write(QStringLiteral("annex.csv"), "card,job_number,name,groups\n00000003,1,x,annex\n");
        const AttctlRun r = attctl(args(QStringLiteral("apply"), fleet, annex));
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(
                     annex + QStringLiteral(":2: no terminal of the fleet has the group \"annex\" (nothing was sent)")),
                 qPrintable(r.err));
        QCOMPARE(rosterIn(sim.terminal(105)).size(), 0);
    }

    void killedRunsAndRunsAtOnceEndWithTheList()
    {
        // Slow replies, so that a run is often killed with a batch sent and its answer not yet read.
        SimProcess sim(
            {QStringLiteral("--fleet"), QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("60")});
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const QList<quint16> p = sim.fleetPorts();
        const QString fleet = write(
            QStringLiteral("fleet.ini"),
            QStringLiteral("[a]\nline = tcp:127.0.0.1:%1\naddress = 1\n[b]\nline = tcp:127.0.0.1:%2\naddress = 2\n")
                .arg(p[0])
                .arg(p[1])
                .toUtf8());
        const QList<Card> list = cardsOf(6000, false);
        const QString listFile = writeList(list);
        QRandomGenerator random(20261209);
        for (int run = 0; run < 6; ++run) {
            QProcess apply;
            apply.start(attctlPath(), args(QStringLiteral("apply"), fleet, listFile));
            QVERIFY(apply.waitForStarted(10000));
            QThread::msleep(random.bounded(60, 400));
            ::kill(pid_t(apply.processId()), SIGKILL);
            apply.waitForFinished(30000);
        }
        // Two runs at once: the line lock puts one after the other, and between them every card is
        // issued once.
        QProcess first, second;
        first.start(attctlPath(), args(QStringLiteral("apply"), fleet, listFile));
        second.start(attctlPath(), args(QStringLiteral("apply"), fleet, listFile));
        QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        const QString out = QString::fromUtf8(first.readAllStandardOutput() + second.readAllStandardOutput());
        for (const QString &name : {QStringLiteral("a"), QStringLiteral("b")}) {
            int reports = 0, working = 0;
            for (const QString &l : out.split(u'\n'))
                if (l.startsWith(u'[' + name + u']')) {
                    QVERIFY2(l.endsWith(QStringLiteral(" ok")), qPrintable(l));
                    working += !l.contains(QStringLiteral(" added=0 changed=0 removed=0 "));
                    ++reports;
                }
            QCOMPARE(reports, 2);
            QVERIFY2(working <= 1, qPrintable(out));  // the second to hold the line found it done
        }
        for (int a : {1, 2}) QCOMPARE(rosterIn(sim.terminal(a)), expected(list, {}, {}, false));
        const AttctlRun again = attctl(args(QStringLiteral("apply"), fleet, listFile));
        QVERIFY2(again.code == 0 && again.out.contains(QStringLiteral("nothing changed")), qPrintable(again.out));
    }
};

QTEST_GUILESS_MAIN(FleetCards)
#include "fleet_cards.moc"
