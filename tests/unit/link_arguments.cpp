// The device link's readings of the console's texts, and the raw-file check behind CheckData.
#include "attlink/OperationArgs.h"
#include "attlink/RawFileCheck.h"

#include <QTest>

class LinkArguments : public QObject {
    Q_OBJECT
private slots:
    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");  // invalid: refused
        QTest::newRow("the console's yyMMdd") << "090305" << QDate(2009, 3, 5);
        QTest::newRow("two-digit years are this century") << "991231" << QDate(2099, 12, 31);
        QTest::newRow("ISO") << "2009-03-05" << QDate(2009, 3, 5);
        QTest::newRow("slashes") << "2009/3/5" << QDate(2009, 3, 5);
        QTest::newRow("no 30 February") << "090230" << QDate();
        QTest::newRow("month 13") << "091305" << QDate();
        QTest::newRow("five digits") << "09035" << QDate();
        QTest::newRow("letters") << "09O305" << QDate();
        QTest::newRow("empty") << "" << QDate();
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        QDate d;
        QCOMPARE(OperationArgs::date(text, d), expected.isValid());
        if (expected.isValid()) QCOMPARE(d, expected);
    }

    void times_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("expected");
        QTest::newRow("the console's HHmmss") << "080706" << QTime(8, 7, 6);
        QTest::newRow("colons") << "23:59:59" << QTime(23, 59, 59);
        QTest::newRow("hour 24") << "240000" << QTime();
        QTest::newRow("minute 60") << "086000" << QTime();
        QTest::newRow("seven digits") << "0807060" << QTime();
    }
    void times()
    {
        QFETCH(QString, text);
        QFETCH(QTime, expected);
        QTime t;
        QCOMPARE(OperationArgs::time(text, t), expected.isValid());
        if (expected.isValid()) QCOMPARE(t, expected);
    }

    void recordTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");  // yyyyMMddHHmmss, empty: refused
        QTest::newRow("12 digits of a list line") << "090305080706"
                                                  << "20090305080706";
        QTest::newRow("14 digits") << "20090305080706"
                                   << "20090305080706";
        QTest::newRow("with separators") << "2009-03-05 08:07:06"
                                         << "20090305080706";
        QTest::newRow("blanks around") << " 090305080706 "
                                       << "20090305080706";
        QTest::newRow("cut short (a short list line)") << "0903050807"
                                                       << "";
        QTest::newRow("second 61") << "090305080761"
                                   << "";
        QTest::newRow("T instead of a blank") << "2009-03-05T08:07:06"
                                              << "";
    }
    void recordTimes()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QDateTime t;
        QCOMPARE(OperationArgs::recordTime(text, t), !expected.isEmpty());
        if (!expected.isEmpty()) QCOMPARE(t.toString(QStringLiteral("yyyyMMddHHmmss")), expected);
    }

    void codesAndWords()
    {
        QString out;
        QVERIFY(OperationArgs::hexCode(QStringLiteral("1"), 2, out));
        QCOMPARE(out, QStringLiteral("01"));
        QVERIFY(OperationArgs::hexCode(QStringLiteral("ff"), 2, out));
        QCOMPARE(out, QStringLiteral("FF"));
        QVERIFY(!OperationArgs::hexCode(QStringLiteral("100"), 2, out));
        QVERIFY(!OperationArgs::hexCode(QString(), 2, out));
        QVERIFY(!OperationArgs::hexCode(QStringLiteral("G0"), 2, out));
        QVERIFY(!OperationArgs::hexCode(QStringLiteral("１"), 2, out));  // a full-width digit

        QVERIFY(OperationArgs::jobNumber(QStringLiteral("00000012")));
        QVERIFY(OperationArgs::jobNumber(QStringLiteral("000A 12")));
        QVERIFY(!OperationArgs::jobNumber(QStringLiteral("000000123")));
        QVERIFY(!OperationArgs::jobNumber(QStringLiteral("0000,012")));  // the roster file's separator
        QVERIFY(!OperationArgs::jobNumber(QStringLiteral("工号")));
        QVERIFY(!OperationArgs::jobNumber(QString()));

        QCOMPARE(OperationArgs::address(QStringLiteral(" 255 ")), 255);
        QCOMPARE(OperationArgs::address(QStringLiteral("256")), -1);
        QCOMPARE(OperationArgs::address(QStringLiteral("")), -1);
        // The window's 16-bit reading: a point, an exponent, halves to even; still 0..255 only.
        QCOMPARE(OperationArgs::address(QStringLiteral("8.0")), 8);
        QCOMPARE(OperationArgs::address(QStringLiteral("1e2")), 100);
        QCOMPARE(OperationArgs::address(QStringLiteral("7.4")), 7);
        QCOMPARE(OperationArgs::address(QStringLiteral("7.5")), 8);
        QCOMPARE(OperationArgs::address(QStringLiteral(" 7")), 7);
        QCOMPARE(OperationArgs::address(QStringLiteral("255.5")), -1);
        QCOMPARE(OperationArgs::address(QStringLiteral("-0.4")), 0);
        QCOMPARE(OperationArgs::address(QStringLiteral("0x10")), -1);
        QCOMPARE(OperationArgs::address(QStringLiteral("1 8")), -1);
        QCOMPARE(OperationArgs::address(qint16(-1)), -1);
        QCOMPARE(OperationArgs::packet(QStringLiteral("0")), 0);
        QCOMPARE(OperationArgs::packet(QStringLiteral("65536")), 0);
        QCOMPARE(OperationArgs::packet(QStringLiteral("2")), 2);
    }

    void alarmTimes()
    {
        QString out;
        QVERIFY(OperationArgs::alarmTime(7.5 / 24.0, out));
        QCOMPARE(out, QStringLiteral("07:30"));
        QVERIFY(OperationArgs::alarmTime(0.0, out));
        QCOMPARE(out, QStringLiteral("00:00"));
        QVERIFY(OperationArgs::alarmTime((23.0 * 60 + 59) / 1440.0, out));
        QCOMPARE(out, QStringLiteral("23:59"));
        QVERIFY(OperationArgs::alarmTime(0.99999, out));  // rounds to midnight, not "24:00"
        QCOMPARE(out, QStringLiteral("00:00"));
        QVERIFY(!OperationArgs::alarmTime(1.0, out));  // a date, not a time of day
        QVERIFY(!OperationArgs::alarmTime(-0.1, out));
        QVERIFY(!OperationArgs::alarmTime(std::numeric_limits<double>::quiet_NaN(), out));
    }

    void rawFileCheck_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<bool>("fullYear");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("message");
        const QString good = QStringLiteral("1050079A7850709270936280000");
        QTest::newRow("valid") << QStringList{good, good} << false << false << 0 << 2 << QString();
        QTest::newRow("blank lines skipped")
            << QStringList{good, QString(), good} << false << false << 0 << 2 << QString();
        QTest::newRow("empty file") << QStringList{} << false << false << 0 << 0 << QString();
        QTest::newRow("decimal and full year")
            << QStringList{QStringLiteral("105000797274120070927093628000A")} << true << true << 0 << 1 << QString();
        QTest::newRow("wrong width for the options") << QStringList{good} << true << false << 2 << 1
                                                     << QStringLiteral("第 1 行长度为 27，应为 29（共 1 行有误）");
        QTest::newRow("other machine") << QStringList{good, QStringLiteral("0180079A7850709270936280000")} << false
                                       << false << 3 << 2 << QStringLiteral("第 2 行机号不是 105（共 1 行有误）");
        QTest::newRow("lower-case card") << QStringList{QStringLiteral("1050079a7850709270936280000")} << false << false
                                         << 3 << 1 << QStringLiteral("第 1 行卡号无效（共 1 行有误）");
        QTest::newRow("decimal card over 32 bits")
            << QStringList{QStringLiteral("10549999999990709270936280000")} << true << false << 3 << 1
            << QStringLiteral("第 1 行卡号无效（共 1 行有误）");
        QTest::newRow("31 September") << QStringList{QStringLiteral("1050079A7850709310936280000")} << false << false
                                      << 3 << 1 << QStringLiteral("第 1 行日期时间无效（共 1 行有误）");
        QTest::newRow("flag with a blank") << QStringList{QStringLiteral("1050079A785070927093628 000")} << false
                                           << false << 3 << 1 << QStringLiteral("第 1 行标志无效（共 1 行有误）");
        QTest::newRow("first bad line gives the code, three are named")
            << QStringList{good.left(26), good.left(5), good.left(4), good.left(3),
                           QStringLiteral("1050079A7850709310936280000")}
            << false << false << 2 << 5
            << QStringLiteral(
                   "第 1 行长度为 26，应为 27；第 2 行长度为 5，应为 27；第 3 行长度为 4，应为 27（共 5 行有误）");
    }
    void rawFileCheck()
    {
        QFETCH(QStringList, lines);
        QFETCH(bool, decimal);
        QFETCH(bool, fullYear);
        QFETCH(int, code);
        QFETCH(int, records);
        QFETCH(QString, message);
        RawFileCheck::Options o;
        o.machine = 105;
        o.decimalCards = decimal;
        o.fullYear = fullYear;
        const RawFileCheck::Result r = RawFileCheck::check(lines, o);
        QCOMPARE(r.code, code);
        QCOMPARE(r.records, records);
        QCOMPARE(r.message, message);
    }

    void firstAndLastTimesOfAValidFile()
    {
        RawFileCheck::Options o;
        o.machine = 105;
        const RawFileCheck::Result r = RawFileCheck::check({QStringLiteral("1050079A7850709270936280000"),
                                                            QStringLiteral("1050079A7850709261700000000"),
                                                            QStringLiteral("1050079A7850709271200000000")},
                                                           o);
        QCOMPARE(r.first, QDateTime(QDate(2007, 9, 26), QTime(17, 0), Qt::UTC));
        QCOMPARE(r.last, QDateTime(QDate(2007, 9, 27), QTime(12, 0), Qt::UTC));
        o.century = 19;
        QCOMPARE(RawFileCheck::check({QStringLiteral("1050079A7850709270936280000")}, o).first.date().year(), 1907);
    }

    void timeLayouts()
    {
        QCOMPARE(RawFileCheck::timeLayout(QStringLiteral("2008/3/7 10:10")), QStringLiteral("yyyy/M/d H:mm"));
        QCOMPARE(RawFileCheck::timeLayout(QStringLiteral("2008-03-07 10:10:00")),
                 QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QCOMPARE(RawFileCheck::timeLayout(QStringLiteral("2008/3/7 25:10")), QString());
        QCOMPARE(RawFileCheck::timeLayout(QStringLiteral("yesterday")), QString());
        QCOMPARE(RawFileCheck::timeLayout(QString()), QString());
    }
};

QTEST_MAIN(LinkArguments)
#include "link_arguments.moc"
