// The formatted records converted in pieces (as a collection or a file read in chunks delivers them)
// are exactly what the whole-file conversion gives: every layout, line width, non-ASCII line and
// split point; and a required width stops at the first line that lacks it.
#include "layout/RecordLayout.h"
#include "common/TextCodec.h"

#include <QTest>

#include <random>

namespace {

QByteArray inPieces(const CompiledRecordLayout &c, const QByteArray &raw, std::mt19937 &rng, qint64 &lines)
{
    QByteArray out;
    lines = 0;
    qsizetype at = 0;
    while (at < raw.size()) {
        // Up to a random line end (the pieces a caller hands over end at a line end).
        qsizetype cut = raw.indexOf('\n', at + qsizetype(rng() % 200));
        cut = cut < 0 ? raw.size() : cut + 1;
        c.appendConverted(raw.constData() + at, cut - at, out, &lines);
        at = cut;
    }
    return out;
}

}  // namespace

class RecordsStream : public QObject {
    Q_OBJECT

private slots:
    void piecesEqualTheWholeFile_data()
    {
        QTest::addColumn<int>("layout");
        QTest::newRow("default fields, no separators") << 0;
        QTest::newRow("separators and every field") << 1;
        QTest::newRow("long literals, fields twice, unknown names") << 2;
        QTest::newRow("decimal cards, full year") << 3;
    }
    void piecesEqualTheWholeFile()
    {
        QFETCH(int, layout);
        RecordLayout l = RecordLayout::defaults();
        if (layout == 1) l.separators = {"<", ",", ",", "-", "-", " ", ":", ":", ">"};
        if (layout == 2) {
            l.separators = {QStringLiteral("记录开始——"), "", QString(40, u'='), "", "", "", "", "",
                            QStringLiteral("。")};
            l.fieldNames = {QStringLiteral("卡号"),
                            QStringLiteral(" 卡号 "),
                            QStringLiteral("标志"),
                            QStringLiteral("无此字段"),
                            QString(),
                            QStringLiteral("秒"),
                            QStringLiteral("年"),
                            QStringLiteral("机号")};
        }
        if (layout == 3) {
            l.decimalCards = l.fullYear = true;
            l.separators = {"", "|", "|", "/", "/", "T", "", "", ""};
            l.fieldNames[7] = QStringLiteral("标志");
        }
        const CompiledRecordLayout c(l);
        std::mt19937 rng(uint32_t(layout) + 1);
        QByteArray raw;
        for (int i = 0; i < 3000; ++i) {
            switch (rng() % 12) {
            case 0:
                raw += "\r\n";
                break;  // blank line
            case 1:
                raw += TextCodec::encode(QStringLiteral("105王芳0709270936280000")) + "\n";
                break;  // not ASCII
            case 2:
                raw += "1050079A785\r\n";
                break;  // short line
            case 3:
                raw += QByteArray(70, 'x') + "\n";
                break;  // long line
            default:
                raw += QByteArray::number(100 + rng() % 900)
                    + QByteArray::number(0x10000000 + rng() % 0xEFFFFFFF, 16).toUpper() + "0709270936"
                    + QByteArray::number(10 + rng() % 50) + (rng() % 2 ? "0001\r\n" : "IN01\n");
            }
        }
        raw += "1050079A785070927093628";  // last line without its end
        qint64 wholeLines = 0, pieceLines = 0;
        const QByteArray whole = c.convertFile(raw, &wholeLines);
        QCOMPARE(inPieces(c, raw, rng, pieceLines), whole);
        QCOMPARE(pieceLines, wholeLines);
    }

    void requiredWidthStopsAtTheFirstOtherLine()
    {
        const CompiledRecordLayout c(RecordLayout::defaults());
        const QByteArray raw =
            "1050079A7850709270936280000\r\n\r\n1050079A7850709270936290000\n105007\r\n1050079A7850709270936300000\r\n";
        QByteArray out;
        qint64 lines = 0;
        QVERIFY(!c.appendConverted(raw.constData(), raw.size(), out, &lines, 27));
        QCOMPARE(lines, qint64(2));  // the bad one is the third non-empty line
        QCOMPARE(out, QByteArray("1050079A785070927093628\r\n1050079A785070927093629\r\n"));
        out.clear();
        lines = 0;
        QVERIFY(c.appendConverted(raw.constData(), 59, out, &lines, 27));
        QCOMPARE(lines, qint64(2));
    }
};

QTEST_MAIN(RecordsStream)
#include "records_stream.moc"
