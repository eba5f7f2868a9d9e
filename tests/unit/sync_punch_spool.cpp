// The spool a worker reuses for terminal after terminal: each round gives back exactly what was put
// in it, nothing of a longer round before.
#include "sync/PunchSpool.h"

#include <QTest>

namespace {

Punch punch(quint64 serial)
{
    Punch p;
    p.serial = serial;
    p.card = uint32_t(0x0079A785 + serial);
    p.stamp = 20261208080000ULL + serial;
    p.flag = {'0', '0', '0', char('0' + serial % 10)};
    return p;
}

}  // namespace

class SyncPunchSpool : public QObject {
    Q_OBJECT

private slots:
    void roundsGiveBackOnlyTheirOwnPunches()
    {
        PunchSpool spool;
        QString error;
        for (const int n : {5000, 3, 0, 70000, 1}) {
            QVERIFY2(spool.reset(error), qPrintable(error));
            for (int i = 1; i <= n; ++i) QVERIFY(spool.append(punch(quint64(n) * 100000 + quint64(i))));
            QVERIFY2(spool.rewind(error), qPrintable(error));
            QCOMPARE(spool.count(), qint64(n));
            Punch p;
            for (int i = 1; i <= n; ++i) {
                QVERIFY2(spool.next(p, error),
                         qPrintable(QStringLiteral("round %1, punch %2: %3").arg(n).arg(i).arg(error)));
                const Punch want = punch(quint64(n) * 100000 + quint64(i));
                QCOMPARE(p.serial, want.serial);
                QCOMPARE(p.card, want.card);
                QCOMPARE(p.stamp, want.stamp);
                QCOMPARE(p.flag, want.flag);
            }
            QVERIFY(!spool.next(p, error));
            QVERIFY(error.isEmpty());
        }
    }

    // A round abandoned half read (a failed store) leaves nothing behind for the next.
    void roundAbandonedHalfRead()
    {
        PunchSpool spool;
        QString error;
        QVERIFY(spool.reset(error));
        for (int i = 1; i <= 100; ++i) QVERIFY(spool.append(punch(quint64(i))));
        QVERIFY(spool.rewind(error));
        Punch p;
        for (int i = 0; i < 40; ++i) QVERIFY(spool.next(p, error));
        QVERIFY(spool.reset(error));
        QVERIFY(spool.append(punch(777)));
        QVERIFY(spool.rewind(error));
        QVERIFY(spool.next(p, error));
        QCOMPARE(p.serial, quint64(777));
        QVERIFY(!spool.next(p, error));
    }
};

QTEST_GUILESS_MAIN(SyncPunchSpool)
#include "sync_punch_spool.moc"
