// The export's record layout writes a stored punch as the collection's formatted file holds the same
// record: the raw line a collection writes, run through the window's layout.
#include "attlink/protocol/RecordWire.h"
#include "common/TextCodec.h"
#include "layout/LayoutText.h"
#include "sync/PunchExport.h"

#include <QTest>

#include <cstdlib>
#include <ctime>

class SyncExportLayout : public QObject {
    Q_OBJECT

    static ExportRow row(int address, uint32_t card, quint64 stamp, const QByteArray &flag)
    {
        ExportRow r;
        r.terminal = QByteArray("大门");
        r.address = address;
        r.card = card;
        r.stamp = stamp;
        r.flag = flag;
        return r;
    }

    // The formatted line of the collection: the raw line of the record, sliced by the layout.
    static QByteArray collected(const ExportRow &r, const RecordLayout &layout)
    {
        WireRecord w;
        w.card = r.card;
        const quint64 s = r.stamp;
        w.when = QDateTime(QDate(int(s / 10000000000ULL), int(s / 100000000 % 100), int(s / 1000000 % 100)),
                           QTime(int(s / 10000 % 100), int(s / 100 % 100), int(s % 100)), Qt::UTC);
        w.flag = r.flag;
        const QByteArray raw = RecordWire::rawLine(r.address, w, layout.decimalCards, layout.fullYear);
        return CompiledRecordLayout(layout).convertFile(raw + "\r\n");
    }

private slots:
    void initTestCase()
    {
        // A zone with a daylight-saving gap: the terminals' wall-clock times must not move through it.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }

    void everyFieldAsTheCollectionWritesIt()
    {
        const QList<ExportRow> rows = {
            row(105, 0x0079A785, 20090927093628ULL, "0000"),
            row(7, 0xFFFFFFFF, 20260329021500ULL, "FF99"),  // inside the spring gap of the zone
            row(255, 0, 99991231235959ULL, "IN01"),
            row(1, 0x00000001, 20010101000000ULL, "AB"),  // a flag shorter than 4 yields what there is
        };
        const QStringList texts = {
            QString(),  // the window's default layout
            QStringLiteral("{机号}号机 {卡号}/{年}年{月}月{日}日 {时}:{分} [{标志}]"),
            QStringLiteral("[{标志}] {卡号} {年}{月}{日}"),
            QStringLiteral("“{{}}”{卡号},{标志},{机号}，{年}-{月}-{日}T{时}"),
        };
        for (const QString &text : texts) {
            for (int widths = 0; widths < 4; ++widths) {
                RecordLayout layout = RecordLayout::defaults();
                QString error;
                if (!text.isEmpty()) layout = *LayoutText::parse(text, widths & 1, widths & 2, error);
                layout.decimalCards = widths & 1;
                layout.fullYear = widths & 2;
                const std::unique_ptr<RowFormatter> f = PunchExport::layoutFormatter(layout);
                QByteArray out, expected;
                for (const ExportRow &r : rows) {
                    f->row(r, out);
                    expected += collected(r, layout);
                }
                QCOMPARE(out, expected);
            }
        }

        // One line read in full, and the gap's time as the terminal gave it.
        QString error;
        const RecordLayout chinese =
            *LayoutText::parse(QStringLiteral("{机号}号 {年}年{月}月{日}日 {时}:{分}:{秒} {标志}"), false, true, error);
        QByteArray line;
        PunchExport::layoutFormatter(chinese)->row(rows[1], line);
        QCOMPARE(TextCodec::decode(line), QStringLiteral("007号 2026年03月29日 02:15:00 FF99\r\n"));
    }
};

QTEST_GUILESS_MAIN(SyncExportLayout)
#include "sync_export_layout.moc"
