#include "common/TextCodec.h"
#include "layout/RecordLayout.h"

#include <QTest>

class RecordsLayout : public QObject {
    Q_OBJECT
    static inline const QString Raw = QStringLiteral("1050079A785070927093628FLAG");

    static RecordLayout separated()
    {
        RecordLayout l = RecordLayout::defaults();
        l.separators = {"", ",", ",", "-", "-", " ", ":", ":", ""};
        return l;
    }

private slots:
    void defaultLayoutDropsTheFlag()
    {
        QCOMPARE(DataBaseForm(Raw, RecordLayout::defaults()), "1050079A785070927093628");
    }
    void separators() { QCOMPARE(DataBaseForm(Raw, separated()), "105,0079A785,07-09-27 09:36:28"); }
    void widths()
    {
        RecordLayout l = RecordLayout::defaults();
        l.fieldNames[7] = QStringLiteral("标志");
        l.decimalCards = true;
        QCOMPARE(DataBaseForm(QStringLiteral("1051234567890070927093628FLAG"), l), "10512345678900709270936FLAG");
        l.decimalCards = false;
        l.fullYear = true;
        QCOMPARE(DataBaseForm(QStringLiteral("1050079A78520070927093628FLAG"), l), "1050079A785200709270936FLAG");
    }
    void trimmedAndEmptyNames()
    {
        RecordLayout l = separated();
        l.fieldNames[2] = QStringLiteral(" 年 ");
        l.fieldNames[1] = QString();
        QCOMPARE(DataBaseForm(Raw, l), "105,,07-09-27 09:36:28");
    }
    void shortLine() { QCOMPARE(DataBaseForm(QStringLiteral("1050079A785"), separated()), "105,0079A785,-- ::"); }
    void fileSkipsBlankLines()
    {
        qint64 n = 0;
        const QByteArray out = CompiledRecordLayout(RecordLayout::defaults())
                                   .convertFile("1050079A785070927093628FLAG\r\n\r\n1060079A785070927093629FLAG\n", &n);
        QCOMPARE(n, 2);
        QCOMPARE(out, QByteArray("1050079A785070927093628\r\n1060079A785070927093629\r\n"));
    }
    // Lines that are not ASCII come out longer re-encoded (0xFF becomes a 4-byte replacement) than
    // the ASCII lines the output is sized for; every line after them must still fit.
    void longerReencodedLinesBeforeOrdinaryOnes()
    {
        QByteArray raw;
        for (int i = 0; i < 100; ++i) raw += QByteArray(27, '\xff') + "\r\n";
        for (int i = 0; i < 300; ++i) raw += "1050079A785070927093628FLAG\r\n";
        const CompiledRecordLayout layout(separated());
        QByteArray expected;
        for (const QByteArray &line : raw.split('\n'))
            if (line.size() > 1)
                expected += TextCodec::encode(layout.format(TextCodec::decode(line.chopped(1)))) + "\r\n";
        qint64 n = 0;
        QCOMPARE(layout.convertFile(raw, &n), expected);
        QCOMPARE(n, 400);
        QByteArray appended;
        QVERIFY(layout.appendConverted(raw.constData(), raw.size(), appended));
        QCOMPARE(appended, expected);
    }
};

QTEST_GUILESS_MAIN(RecordsLayout)
#include "records_layout.moc"
