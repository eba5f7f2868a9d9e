// Requests that are safe to repeat: over a line that drops 20% of the replies and damages 10%, the
// link asks again with the same sequence number and the simulator answers from its reply cache, so
// that every record and every card sent once is on the terminal once.
#include "attlink/AttLink.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

class LinkRepeatSafe : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Quick timeouts so that dropped replies cost little, and enough retries that a request fails
    // only with odds far below one in a million, or when the machine stalls the simulator for half
    // a second.
    std::unique_ptr<AttLink> link(const QString &name, const QString &pty)
    {
        const QString folder = dir_.filePath(name);
        QDir().mkpath(folder);
        QFile ini(folder + QStringLiteral("/AttLink.ini"));
        if (!ini.open(QIODevice::WriteOnly)) return nullptr;
        ini.write("[Link]\nResponseTimeout=25\nInterByteTimeout=40\nRetries=20\n[Serial]\nBaud=115200\n");
        if (!pty.isEmpty()) ini.write("[Ports]\nCom3=" + pty.toLocal8Bit() + "\n");
        ini.close();
        return std::make_unique<AttLink>(folder);
    }

private slots:
    void everyChangeIsCarriedOutOnce_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("tcp") << false;
        QTest::newRow("pty") << true;
    }
    void everyChangeIsCarriedOutOnce()
    {
        QFETCH(bool, pty);
        SimProcess sim({QStringLiteral("--drop"), QStringLiteral("0.2"), QStringLiteral("--corrupt"),
                        QStringLiteral("0.1"), QStringLiteral("--seed"), QStringLiteral("5")},
                       pty ? SimProcess::WithPty : SimProcess::NoPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const auto l = link(pty ? QStringLiteral("pty") : QStringLiteral("tcp"), sim.ptyPath());
        QVERIFY(l);
        if (pty) {
            l->Mode(0);
            QVariant port = 3;
            QVERIFY(l->SetPort(port).toBool());
        } else {
            l->Mode(1);
            QVERIFY(l->Connect_Net(sim.host(), sim.portText()).toBool());
        }
        constexpr int N = 1000;
        QStringList failures;
        for (int i = 0; i < N; ++i) {
            QString card = QStringLiteral("%1").arg(0x10000000 + i, 8, 16).toUpper();
            QString when = QStringLiteral("0903%1%2%3")
                               .arg(2 + i / 1440 % 27, 2, 10, QLatin1Char('0'))
                               .arg(i / 60 % 24, 2, 10, QLatin1Char('0'))
                               .arg(i % 60, 2, 10, QLatin1Char('0'))
                + "00";
            if (!l->SendRecordToMachine(QStringLiteral("105"), card, when, QStringLiteral("FF"), QStringLiteral("99"))
                     .toBool())
                failures << QStringLiteral("record %1: %2").arg(i).arg(l->lastResult().errorString());
            if (!l->CardSendToMachine(105, card, QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0')),
                                      QStringLiteral("王芳"), QStringLiteral("00"), QStringLiteral("00000000"))
                     .toBool())
                failures << QStringLiteral("card %1: %2").arg(i).arg(l->lastResult().errorString());
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        // The line really was bad, and the link really did ask again.
        QVERIFY(l->exchangeStats().retriesUsed() > N / 4);
        const QJsonObject t = sim.terminal(105);
        const QJsonArray records = t[QStringLiteral("records")].toArray();
        QCOMPARE(records.size(), N);
        for (int i = 0; i < N; ++i)
            QCOMPARE(records[i].toObject()[QStringLiteral("card")].toString(),
                     QStringLiteral("%1").arg(0x10000000 + i, 8, 16).toUpper());
        QCOMPARE(t[QStringLiteral("roster")].toArray().size(), N);
        QCOMPARE(t[QStringLiteral("lastSerial")].toString(), QString::number(N));
    }

    // A record sent twice on purpose is stored twice, also by two programs one after the other on the
    // same serial line: their sequence numbers start at random points, so neither looks like a retry.
    void twoProgramsSendingTheSameAreNotRetries()
    {
        SimProcess sim({}, SimProcess::WithPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        for (int program = 0; program < 2; ++program) {
            const auto l = link(QStringLiteral("twice%1").arg(program), sim.ptyPath());
            l->Mode(0);
            QVariant port = 3;
            QVERIFY(l->SetPort(port).toBool());
            QString card = QStringLiteral("0079A785"), when = QStringLiteral("090305080706");
            QVERIFY(
                l->SendRecordToMachine(QStringLiteral("105"), card, when, QStringLiteral("FF"), QStringLiteral("99"))
                    .toBool());
            QVERIFY(
                l->SendRecordToMachine(QStringLiteral("105"), card, when, QStringLiteral("FF"), QStringLiteral("99"))
                    .toBool());
        }
        QCOMPARE(sim.terminal(105)[QStringLiteral("records")].toArray().size(), 4);
    }
};

QTEST_MAIN(LinkRepeatSafe)
#include "link_repeat_safe.moc"
