// Incremental collection against the simulator: `attctl collect --since` writes only the records
// after a serial, `clear-records --up-to` deletes only what was collected, punches that arrive
// meanwhile are never lost, and serials and the terminal's identity survive clears, a new address
// and a restart from the state file.
#include "attlink/AttLink.h"
#include "common/TextCodec.h"
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Run = AttctlRun;

QStringList crlfLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {QStringLiteral("<missing>")};
    QStringList lines = TextCodec::decode(f.readAll()).split(QStringLiteral("\r\n"));
    if (lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// Waits until the simulator holds `serial` as its newest serial (punches arrive on its stdin).
bool waitForSerial(SimProcess &sim, quint64 serial)
{
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (sim.terminal(105)[QStringLiteral("lastSerial")].toString() == QString::number(serial)) return true;
        QTest::qWait(20);
    }
    return false;
}

}  // namespace

class AttctlIncremental : public QObject {
    Q_OBJECT

    QTemporaryDir work_;

    QStringList over(const SimProcess &sim, const QStringList &rest) const
    {
        return QStringList{QStringLiteral("--tcp"), sim.host() + QLatin1Char(':') + sim.portText()} + rest;
    }
    QString dir(const QString &name) const { return work_.filePath(name); }

private slots:
    void collectSinceGivesOnlyTheNewRecords()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("30")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        Run r = attctl(over(sim,
                            {QStringLiteral("collect"), QStringLiteral("--since"), QStringLiteral("0"),
                             QStringLiteral("--dir"), dir(QStringLiteral("all"))}));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.lines(),
                 (QStringList{QStringLiteral("30\t30 records collected"), QStringLiteral("last-serial 30")}));
        QCOMPARE(crlfLines(dir(QStringLiteral("all/DataRecordSet_original.txt"))).size(), 30);

        for (int i = 0; i < 7; ++i) sim.send(QStringLiteral("punch %1").arg(0x00AB0000 + i, 8, 16, QLatin1Char('0')));
        QVERIFY(waitForSerial(sim, 37));
        r = attctl(
            over(sim,
                 {QStringLiteral("collect"), QStringLiteral("--since"), QStringLiteral("30"), QStringLiteral("--dir"),
                  dir(QStringLiteral("new")), QStringLiteral("--layout"), QStringLiteral("{卡号},{年}")}));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.lines().last(), QStringLiteral("last-serial 37"));
        const QStringList raw = crlfLines(dir(QStringLiteral("new/DataRecordSet_original.txt")));
        const QStringList formatted = crlfLines(dir(QStringLiteral("new/DataRecordSet.txt")));
        QCOMPARE(raw.size(), 7);
        QCOMPARE(formatted.size(), 7);
        for (int i = 0; i < 7; ++i) {
            const QString card = QStringLiteral("%1").arg(0x00AB0000 + i, 8, 16, QLatin1Char('0')).toUpper();
            QCOMPARE(raw[i].mid(0, 11), QStringLiteral("105") + card);
            QCOMPARE(raw[i].right(4), QStringLiteral("0000"));
            QCOMPARE(formatted[i], card + u',' + raw[i].mid(11, 2));
        }

        // Nothing new: empty files, and the same serial back.
        r = attctl(over(sim,
                        {QStringLiteral("collect"), QStringLiteral("--since"), QStringLiteral("37"),
                         QStringLiteral("--dir"), dir(QStringLiteral("new"))}));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.lines().last(), QStringLiteral("last-serial 37"));
        QCOMPARE(crlfLines(dir(QStringLiteral("new/DataRecordSet_original.txt"))).size(), 0);
        QCOMPARE(crlfLines(dir(QStringLiteral("new/DataRecordSet.txt"))).size(), 0);

        // Bad serials are usage errors that reach no terminal.
        for (const QString &bad : {QStringLiteral("-1"), QStringLiteral("x"), QStringLiteral("18446744073709551616")}) {
            r = attctl(over(sim, {QStringLiteral("collect"), QStringLiteral("--since"), bad}));
            QCOMPARE(r.code, 2);
        }
    }

    void clearUpToKeepsWhatCameLater()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("20")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        Run r = attctl(over(sim,
                            {QStringLiteral("collect"), QStringLiteral("--since"), QStringLiteral("0"),
                             QStringLiteral("--dir"), dir(QStringLiteral("c1"))}));
        QCOMPARE(r.lines().last(), QStringLiteral("last-serial 20"));
        sim.send(QStringLiteral("punch 0079A785"));
        sim.send(QStringLiteral("punch 0079A786"));
        QVERIFY(waitForSerial(sim, 22));
        QCOMPARE(
            attctl(over(sim, {QStringLiteral("clear-records"), QStringLiteral("--up-to"), QStringLiteral("20")})).code,
            2);  // no --yes
        r = attctl(over(sim,
                        {QStringLiteral("clear-records"), QStringLiteral("--up-to"), QStringLiteral("20"),
                         QStringLiteral("--yes")}));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.lines().last(), QStringLiteral("20"));
        const QJsonArray left = sim.terminal(105)[QStringLiteral("records")].toArray();
        QCOMPARE(left.size(), 2);
        QCOMPARE(left[0].toObject()[QStringLiteral("serial")].toString(), QStringLiteral("21"));
        QCOMPARE(left[1].toObject()[QStringLiteral("card")].toString(), QStringLiteral("0079A786"));
        // Deleting again up to the same serial deletes nothing.
        r = attctl(over(sim,
                        {QStringLiteral("clear-records"), QStringLiteral("--up-to"), QStringLiteral("20"),
                         QStringLiteral("--yes")}));
        QCOMPARE(r.lines().last(), QStringLiteral("0"));
        r = attctl(over(sim,
                        {QStringLiteral("collect"), QStringLiteral("--since"), QStringLiteral("20"),
                         QStringLiteral("--dir"), dir(QStringLiteral("c2"))}));
        QCOMPARE(r.lines().last(), QStringLiteral("last-serial 22"));
        QCOMPARE(crlfLines(dir(QStringLiteral("c2/DataRecordSet_original.txt"))).size(), 2);
    }

    void serialsAndIdentitySurviveClearsAddressAndRestart()
    {
        const QString state = dir(QStringLiteral("state.json"));
        QString identity;
        {
            SimProcess sim({QStringLiteral("--records"), QStringLiteral("5"), QStringLiteral("--roster"),
                            QStringLiteral("3"), QStringLiteral("--state"), state});
            if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
            Run r = attctl(over(sim, {QStringLiteral("identify")}));
            QVERIFY2(r.code == 0, qPrintable(r.err));
            QCOMPARE(r.lines().size(), 6);
            QVERIFY(r.lines()[0].startsWith(QStringLiteral("identity ")));
            identity = r.lines()[0].mid(9);
            QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]{16}$")).match(identity).hasMatch());
            QCOMPARE(r.lines()[1], QStringLiteral("model VX730K"));
            QCOMPARE(r.lines()[2], QStringLiteral("firmware 2009-06-01"));
            QCOMPARE(r.lines()[3], QStringLiteral("address 105"));
            QCOMPARE(r.lines()[5], QStringLiteral("last-serial 5"));

            QCOMPARE(attctl(over(sim, {QStringLiteral("clear-records"), QStringLiteral("--yes")})).code, 0);
            sim.send(QStringLiteral("punch 0079A785"));
            QVERIFY(waitForSerial(sim, 6));
            QCOMPARE(attctl(over(sim, {QStringLiteral("clear-roster"), QStringLiteral("--yes")})).code, 0);
            sim.send(QStringLiteral("punch 0079A785"));
            QVERIFY(waitForSerial(sim, 7));
            QCOMPARE(attctl(over(sim, {QStringLiteral("set-address"), QStringLiteral("18")})).code, 0);
            r = attctl(over(sim, {QStringLiteral("--address"), QStringLiteral("18"), QStringLiteral("identify")}));
            QCOMPARE(r.lines()[0], QStringLiteral("identity ") + identity);
            QCOMPARE(r.lines()[3], QStringLiteral("address 18"));
        }
        SimProcess again({QStringLiteral("--state"), state});
        if (!again.start()) QFAIL(qPrintable(again.errorText()));
        Run r = attctl(over(again, {QStringLiteral("--address"), QStringLiteral("18"), QStringLiteral("identify")}));
        QCOMPARE(r.lines()[0], QStringLiteral("identity ") + identity);
        QCOMPARE(r.lines()[5], QStringLiteral("last-serial 7"));
        r = attctl(over(again,
                        {QStringLiteral("--address"), QStringLiteral("18"), QStringLiteral("collect"),
                         QStringLiteral("--since"), QStringLiteral("0"), QStringLiteral("--dir"),
                         dir(QStringLiteral("after"))}));
        QCOMPARE(r.lines().last(), QStringLiteral("last-serial 7"));
        QCOMPARE(crlfLines(dir(QStringLiteral("after/DataRecordSet_original.txt"))).size(), 1);
    }

    // Punches made while a collection runs are either handed over in it or left for the next one:
    // deleting up to the last serial handed over keeps them, and nothing comes twice.
    void punchesDuringACollectionAreNeverLost()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("40000")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        AttLink link(work_.path());
        link.Mode(1);
        QVERIFY(link.Connect_Net(sim.host(), sim.portText()).toBool());
        QList<quint64> serials;
        bool punched = false;
        quint64 last = 0;
        QVERIFY2(link.recordsSince(
                     105, 0,
                     [&](const SerialRecord &r) {
                         serials << r.serial;
                         if (!punched) {
                             punched = true;
                             sim.send(QStringLiteral("punch 0079A785"));
                             sim.send(QStringLiteral("punch 0079A786"));
                             if (!waitForSerial(sim, 40002)) return false;
                         }
                         return true;
                     },
                     last),
                 qPrintable(link.lastError()));
        QVERIFY(last >= 40000);
        QCOMPARE(serials.size(), qsizetype(last));
        for (qsizetype i = 0; i < serials.size(); ++i) QCOMPARE(serials[i], quint64(i + 1));
        qint64 deleted = 0;
        QVERIFY(link.deleteRecordsUpTo(105, last, deleted));
        QCOMPARE(deleted, qint64(last));
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), qsizetype(40002 - last));
        quint64 next = 0;
        QVERIFY(link.recordsSince(
            105, last,
            [&](const SerialRecord &r) {
                serials << r.serial;
                return true;
            },
            next));
        QCOMPARE(next, quint64(40002));
        QCOMPARE(serials.size(), qsizetype(40002));
        QCOMPARE(serials.last(), quint64(40002));

        // A sink that stops ends the collection with a failure.
        sim.send(QStringLiteral("punch 0079A787"));
        QVERIFY(waitForSerial(sim, 40003));
        quint64 stopped = 0;
        QVERIFY(!link.recordsSince(
            105, 0, [](const SerialRecord &) { return false; }, stopped));
        QVERIFY(!link.lastError().isEmpty());
    }
};

QTEST_MAIN(AttctlIncremental)
#include "attctl_incremental.moc"
