// attctl's layout text: field names in braces, separators around them, turned into the layout the
// window's record-format panel would hold.
#include "layout/LayoutText.h"

#include <QTest>

class LinkLayoutText : public QObject {
    Q_OBJECT
    static inline const QString Raw = QStringLiteral("1050079A785070927093628IN01");

    static RecordLayout parsed(const QString &text, bool decimal = false, bool fullYear = false)
    {
        QString error;
        const std::optional<RecordLayout> l = LayoutText::parse(text, decimal, fullYear, error);
        if (!l) qWarning("%s", qPrintable(error));
        return l.value_or(RecordLayout{});
    }

private slots:
    void separatedLayoutFillsTheBoxes()
    {
        const RecordLayout l = parsed(QStringLiteral("{机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}"));
        const std::array<QString, 9> separators = {"", ",", ",", "-", "-", " ", ":", ":", ""};
        QCOMPARE(l.separators, separators);
        QCOMPARE(l.fieldNames, RecordLayout::defaults().fieldNames);
        QCOMPARE(DataBaseForm(Raw, l), QStringLiteral("105,0079A785,07-09-27 09:36:28"));
    }

    void sameOutputAsTheWindowsDefault()
    {
        const RecordLayout l = parsed(QStringLiteral("{机号}{卡号}{年}{月}{日}{时}{分}{秒}"));
        QCOMPARE(DataBaseForm(Raw, l), DataBaseForm(Raw, RecordLayout::defaults()));
        QCOMPARE(DataBaseForm(Raw, l).size(), 23);
    }

    void textAroundTheFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("leading and trailing text") << "[{卡号}]"
                                                   << "[0079A785]";
        QTest::newRow("fewer than eight fields") << "{年}{月}{日}"
                                                 << "070927";
        QTest::newRow("a field twice") << "{卡号}/{卡号}"
                                       << "0079A785/0079A785";
        QTest::newRow("the flag") << "{机号} {标志}"
                                  << "105 IN01";
        QTest::newRow("blanks inside the braces") << "{ 年 }"
                                                  << "07";
        QTest::newRow("no field at all") << "只有文字"
                                         << "只有文字";
        QTest::newRow("literal braces") << "{{{机号}}}"
                                        << "{105}";
        QTest::newRow("Chinese separators") << "{时}时{分}分"
                                            << "09时36分";
        QTest::newRow("empty text") << ""
                                    << "";
    }
    void textAroundTheFields()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(DataBaseForm(Raw, parsed(text)), line);
    }

    void widthsComeFromTheOptions()
    {
        const RecordLayout l = parsed(QStringLiteral("{卡号}|{年}|{标志}"), true, true);
        QVERIFY(l.decimalCards);
        QVERIFY(l.fullYear);
        QCOMPARE(DataBaseForm(QStringLiteral("105000797274120070927093628IN01"), l),
                 QStringLiteral("0007972741|2007|IN01"));
    }

    void badText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown name") << "{机号}{card}"
                                      << "unknown field {card}";
        QTest::newRow("empty braces") << "{机号}{}"
                                      << "unknown field {}";
        QTest::newRow("blank braces") << "{ }"
                                      << "unknown field {}";
        QTest::newRow("field left open") << "{机号},{卡号"
                                         << "not closed";
        QTest::newRow("brace closed alone") << "{机号}}"
                                            << "closes no field";
        QTest::newRow("brace inside a field") << "{机{号}"
                                              << "inside the field";
        QTest::newRow("nine fields") << "{机号}{卡号}{年}{月}{日}{时}{分}{秒}{标志}"
                                     << "more than 8 fields";
        QTest::newRow("name not trimmed to a known one") << "{年份}"
                                                         << "unknown field {年份}";
    }
    void badText()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        QString error;
        QVERIFY(!LayoutText::parse(text, false, false, error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void textOfALayoutParsesBack()
    {
        RecordLayout l = parsed(QStringLiteral("<{机号}>{{{卡号} {标志}"));
        QString error;
        const std::optional<RecordLayout> again = LayoutText::parse(LayoutText::toText(l), false, false, error);
        QVERIFY(again);
        QCOMPARE(DataBaseForm(Raw, *again), DataBaseForm(Raw, l));
        QCOMPARE(LayoutText::toText(RecordLayout::defaults()), QStringLiteral("{机号}{卡号}{年}{月}{日}{时}{分}{秒}"));
    }
};

QTEST_GUILESS_MAIN(LinkLayoutText)
#include "layout_text.moc"
