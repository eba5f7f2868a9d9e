#include "common/OleDate.h"
#include "config/AlarmGrid.h"
#include "config/ParameterWords.h"
#include "config/VersionGate.h"

#include <QTest>

using namespace ParameterWords;

class ConfigWords : public QObject {
    Q_OBJECT
private slots:
    void intervalWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::newRow("default") << "0000"
                                 << "0000";
        QTest::newRow("1440") << "1440"
                              << "05A0";
        QTest::newRow("30") << "30"
                            << "001E";
        QTest::newRow("1440.6 rounds up") << "1440.6"
                                          << "05A1";
        QTest::newRow("2000") << "2000"
                              << "07D0";
        QTest::newRow("-1 two's complement") << "-1"
                                             << "FFFF";
        QTest::newRow("half to even down") << "2.5"
                                           << "0002";
        QTest::newRow("half to even up") << "3.5"
                                         << "0004";
        QTest::newRow("blanks around") << " 30 "
                                       << "001E";
        QTest::newRow("largest 16-bit") << "65535"
                                        << "FFFF";
        QTest::newRow("smallest 16-bit") << "-32768"
                                         << "8000";
    }
    void intervalWord()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QCOMPARE(ParameterWords::intervalWord(text), std::optional<QString>(word));
    }

    void intervalWordRefusesWhatWouldWrap()
    {
        for (const char *text : {"", "ab", "12a", "9e99", "65536", "-32769", "-9e9"})
            QVERIFY2(!ParameterWords::intervalWord(QString::fromLatin1(text)), text);
    }

    void relayWordPadsOnTheRightAsTyped()
    {
        QCOMPARE(relayWord("5"), QString("5000"));
        QCOMPARE(relayWord("05"), QString("0500"));
        QCOMPARE(relayWord("00"), QString("0000"));
        QCOMPARE(relayWord("1234"), QString("1234"));
        QCOMPARE(relayWord(""), QString("0000"));
        QCOMPARE(relayWord("12345"), QString("1234"));
    }

    void modeWords()
    {
        QCOMPARE(modeWord(Mode::Standard, true), QString("0000"));
        QCOMPARE(modeWord(Mode::Standard, false), QString("0000"));
        QCOMPARE(modeWord(Mode::Attendance, true), QString("0000"));
        QCOMPARE(modeWord(Mode::Attendance, false), QString("4000"));
        QCOMPARE(modeWord(Mode::AccessControl, true), QString("8000"));
        QCOMPARE(modeWord(Mode::AccessControl, false), QString("C000"));
    }

    void punchLimitOnTheWholePart()
    {
        QVERIFY(!exceedsPunchLimit(1440));
        QVERIFY(!exceedsPunchLimit(1440.6));
        QVERIFY(exceedsPunchLimit(1441));
        QVERIFY(!exceedsPunchLimit(-1));
    }

    void versionGate_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("passes");
        QTest::newRow("V7.5.105") << "V7.5.105" << false;
        QTest::newRow("V7.6.7") << "V7.6.7" << true;
        QTest::newRow("V7.6.8") << "V7.6.8" << true;
        QTest::newRow("V8.0") << "V8.0" << true;
        QTest::newRow("V7.10.0 numeric, not textual") << "V7.10.0" << true;
        QTest::newRow("V7.6 short") << "V7.6" << false;
        QTest::newRow("leading zeros") << "V07.006.007" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("garbage") << "unknown" << false;
        QTest::newRow("huge component") << "V99999999999999999999.0" << true;
    }
    void versionGate()
    {
        QFETCH(QString, version);
        QFETCH(bool, passes);
        QCOMPARE(VersionGate::atLeast(version, VersionGate::BootPictureMinimum), passes);
    }

    void alarmGridTakesWholeNumbersInRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("value");
        using V = AlarmGrid::Verdict;
        QTest::newRow("empty is 0") << "" << 23 << int(V::Accepted) << 0;
        QTest::newRow("23") << "23" << 23 << int(V::Accepted) << 23;
        QTest::newRow("59") << "59" << 59 << int(V::Accepted) << 59;
        QTest::newRow("7 with blank") << " 7" << 23 << int(V::Accepted) << 7;
        QTest::newRow("24") << "24" << 23 << int(V::OutOfRange) << 0;
        QTest::newRow("60") << "60" << 59 << int(V::OutOfRange) << 0;
        QTest::newRow("-1") << "-1" << 23 << int(V::OutOfRange) << 0;
        QTest::newRow("ab") << "ab" << 23 << int(V::NotANumber) << 0;
        QTest::newRow("1. has no time of day") << "1." << 23 << int(V::NotANumber) << 0;
        QTest::newRow(".5 has no time of day") << ".5" << 59 << int(V::NotANumber) << 0;
        QTest::newRow("blanks only") << "  " << 23 << int(V::NotANumber) << 0;
    }
    void alarmGridTakesWholeNumbersInRange()
    {
        QFETCH(QString, text);
        QFETCH(int, maximum);
        QFETCH(int, verdict);
        QFETCH(int, value);
        const auto reading = AlarmGrid::read(text, maximum);
        QCOMPARE(int(reading.verdict), verdict);
        if (reading.verdict == AlarmGrid::Verdict::Accepted) QCOMPARE(reading.value, value);
    }

    void oleTimeOfDay()
    {
        QCOMPARE(OleDate::fromTimeOfDay(0, 0), 0.0);
        QCOMPARE(OleDate::fromTimeOfDay(12, 0), 0.5);
        QCOMPARE(OleDate::fromTimeOfDay(6, 0), 0.25);
        QCOMPARE(OleDate::toTimeOfDay(OleDate::fromTimeOfDay(7, 30)), QTime(7, 30));
        QCOMPARE(OleDate::toTimeOfDay(OleDate::fromTimeOfDay(23, 59)), QTime(23, 59));
        QCOMPARE(OleDate::toTimeOfDay(39877.75), QTime(18, 0));
    }
};

QTEST_GUILESS_MAIN(ConfigWords)
#include "config_words.moc"
