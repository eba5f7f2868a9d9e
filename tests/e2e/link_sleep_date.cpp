// SleepDate as a line turn-around guard: on a serial line the next packet request waits that long
// after a reply arrived; on TCP, where no line turns around, nothing ever waits.
#include "attlink/AttLink.h"
#include "support/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class LinkSleepDate : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::unique_ptr<AttLink> link(const QString &pty)
    {
        QFile ini(dir_.filePath(QStringLiteral("AttLink.ini")));
        if (!ini.open(QIODevice::WriteOnly)) return nullptr;
        // 9600 baud: one packet of 256 records a request on the serial line.
        ini.write("[Serial]\nBaud=9600\n[Ports]\nCom4=" + pty.toLocal8Bit() + "\n");
        ini.close();
        return std::make_unique<AttLink>(dir_.path());
    }

private slots:
    void guardOnTheSerialLineOnly()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("1000")}, SimProcess::WithPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const auto l = link(sim.ptyPath());
        QVERIFY(l);
        QString message;
        qint32 count = 0;
        bool fullYear = false;

        l->Mode(0);
        QVariant port = 4;
        QVERIFY(l->SetPort(port).toBool());
        // A guard far longer than a reply takes to come: every request after the first waits.
        QVERIFY2(l->GatherData(QStringLiteral("105"), dir_.path(), QStringLiteral("serial.txt"), message, count,
                               QStringLiteral("300"), 0, fullYear)
                     .toBool(),
                 qPrintable(message));
        QCOMPARE(count, 1000);
        QCOMPARE(l->exchangeStats().requests(), qint64(4));
        QCOMPARE(l->exchangeStats().turnaroundWaits(), qint64(3));
        // The guard belongs to the collection: a request after it does not wait.
        qint32 held = 0;
        QVERIFY(l->GatherRecordSum(QStringLiteral("105"), held, QStringLiteral("ok")).toBool());
        QCOMPARE(l->exchangeStats().turnaroundWaits(), qint64(3));

        l->Mode(1);
        QVERIFY(l->Connect_Net(sim.host(), sim.portText()).toBool());
        QVERIFY2(l->GatherData(QStringLiteral("105"), dir_.path(), QStringLiteral("tcp.txt"), message, count,
                               QStringLiteral("1000"), 0, fullYear)
                     .toBool(),
                 qPrintable(message));
        QCOMPARE(count, 1000);
        QCOMPARE(l->exchangeStats().turnaroundWaits(), qint64(0));
        // SleepDate values outside 0..1000 are no guard at all.
        l->Mode(0);
        QVERIFY(l->GatherData(QStringLiteral("105"), dir_.path(), QStringLiteral("serial.txt"), message, count,
                              QStringLiteral("5000"), 0, fullYear)
                    .toBool());
        QCOMPARE(l->exchangeStats().turnaroundWaits(), qint64(3));
    }
};

QTEST_MAIN(LinkSleepDate)
#include "link_sleep_date.moc"
