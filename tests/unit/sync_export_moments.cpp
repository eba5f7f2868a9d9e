// The --from and --to moments of an export are the terminals' wall-clock times: a daylight-saving
// change of this computer's zone neither refuses them nor moves them.
#include "sync/PunchExport.h"

#include <QTest>

#include <cstdlib>
#include <ctime>

class SyncExportMoments : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Central European rules without a zone database: clocks go from 02:00 to 03:00 on the
        // last Sunday of March, back from 03:00 to 02:00 on the last Sunday of October.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }

    void momentsAreWallClockFields_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("since");
        QTest::addColumn<QString>("until");
        QTest::newRow("inside the spring gap") << "2026-03-29T02:15"
                                               << "2026-03-29T02:30:00"
                                               << "2026-03-29 02:15:00"
                                               << "2026-03-29 02:30:01";
        QTest::newRow("the day of the change") << "2026-03-29"
                                               << "2026-03-29"
                                               << "2026-03-29 00:00:00"
                                               << "2026-03-30 00:00:00";
        QTest::newRow("the autumn hour twice") << "2026-10-25 02:30:00"
                                               << "2026-10-25 02:59:59"
                                               << "2026-10-25 02:30:00"
                                               << "2026-10-25 03:00:00";
    }
    void momentsAreWallClockFields()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, since);
        QFETCH(QString, until);
        ExportFilter f;
        QString error;
        QVERIFY2(PunchExport::readFrom(from, f, error), qPrintable(error));
        QVERIFY2(PunchExport::readTo(to, f, error), qPrintable(error));
        QCOMPARE(f.from, since);
        QCOMPARE(f.until, until);
    }

    void badMomentsAreRefused()
    {
        ExportFilter f;
        QString error;
        for (const char *text :
             {"2026-02-30", "2026-03-29T25:00", "2026-03-29X02:00", "2026-03-29T02", "tomorrow", ""}) {
            QVERIFY2(!PunchExport::readFrom(QString::fromLatin1(text), f, error), text);
            QVERIFY2(error.startsWith(QStringLiteral("wants a date")), qPrintable(error));
        }
    }
};

QTEST_GUILESS_MAIN(SyncExportMoments)
#include "sync_export_moments.moc"
