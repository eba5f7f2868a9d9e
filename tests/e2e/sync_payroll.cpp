// What payroll gets from the stored punches, on both real databases: each punch placed in UTC in its
// terminal's zone (daylight-saving gap and repeated hour, a terminal that moves, punches stored before
// zones were kept), the exports' UTC times, and the daily report with its flags and day boundary.
#include "support/AttctlProcess.h"
#include "support/FileContent.h"
#include "support/PgServer.h"
#include "report/DailyFormat.h"
#include "report/DailyReport.h"
#include "sync/Database.h"
#include "sync/PunchExport.h"
#include "sync/PunchStore.h"
#include "sync/Schema.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

struct Stamp {
    uint32_t card;
    quint64 stamp;
};

// Stores punches of one terminal with serials from `first`, in the given order.
bool store(Database &db, const QString &identity, const QString &zone, quint64 first, const QList<Stamp> &stamps,
           QString &error)
{
    TerminalFacts t;
    t.identity = identity;
    t.name = identity.toLower();
    t.timezone = zone;
    t.syncedAt = QDateTime(QDate(2026, 12, 9), QTime(9, 0));
    qsizetype at = 0;
    qint64 inserted = 0;
    PunchStore store(db);
    return store.store(
        t,
        [&](Punch &p, QString &) {
            if (at == stamps.size()) return false;
            p = Punch{};
            p.serial = first + quint64(at);
            p.card = stamps[at].card;
            p.stamp = stamps[at].stamp;
            ++at;
            return true;
        },
        first + quint64(stamps.size()) - 1, inserted, error);
}

QString exported(Database &db, const QString &format, bool utc, const QString &terminal = QString())
{
    ExportFilter filter;
    filter.terminal = terminal;
    QByteArray out;
    qint64 rows = 0;
    QString error;
    if (!PunchExport::write(
            db, filter, *PunchExport::formatter(format, {.utc = utc}),
            [&](const QByteArray &piece) {
                out += piece;
                return true;
            },
            rows, error))
        return error;
    return QString::fromUtf8(out);
}

}  // namespace

class SyncPayroll : public QObject {
    Q_OBJECT

    PgServer pg_;
    QTemporaryDir dir_;
    int databases_ = 0;

    QString freshUrlText()
    {
        QFETCH_GLOBAL(QString, kind);
        const QString name = QStringLiteral("db%1").arg(++databases_);
        return kind == QLatin1String("sqlite")
            ? QStringLiteral("sqlite:") + dir_.filePath(name + QStringLiteral(".sqlite"))
            : pg_.createDatabase(name);
    }

    std::unique_ptr<Database> open(const QString &url, int version = Schema::Current)
    {
        QString error;
        auto db = Database::open(*DatabaseUrl::parse(url, error), error);
        if (!db || !Schema::migrate(*db, error, version)) {
            qWarning("%s", qPrintable(error));
            return nullptr;
        }
        return db;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY2(pg_.start(), qPrintable(pg_.errorText()));
    }

    void initTestCase_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }

    void daylightSavingAndMovedTerminals()
    {
        auto db = open(freshUrlText());
        QVERIFY(db);
        QString error;
        // Berlin, 2026: the clocks go from 02:00 to 03:00 on 29 March, from 03:00 back to 02:00 on 25 October.
        QVERIFY2(store(*db, QStringLiteral("A1"), QStringLiteral("Europe/Berlin"), 1,
                       {{7, 20260329013000},
                        {7, 20260329023000},
                        {7, 20260329033000},
                        {7, 20261025021000},
                        {7, 20261025025000},
                        {7, 20261025020500}},
                       error),
                 qPrintable(error));
        // The next sync carries on from the stored serial order: still the second pass of the hour.
        QVERIFY2(store(*db, QStringLiteral("A1"), QStringLiteral("Europe/Berlin"), 7, {{7, 20261025024000}}, error),
                 qPrintable(error));
        // The terminal moves to New York: its stored punches keep their offsets.
        QVERIFY2(store(*db, QStringLiteral("A1"), QStringLiteral("America/New_York"), 8, {{7, 20261026090000}}, error),
                 qPrintable(error));

        // In the order of the wall-clock times, as exports are.
        const QStringList utc =
            exported(*db, QStringLiteral("csv"), true).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QStringList times;
        for (const QString &line : utc.mid(1)) times << line.section(u',', 2, 2) + u' ' + line.section(u',', 5, 5);
        QCOMPARE(times,
                 QStringList({QStringLiteral("1 2026-03-29T00:30:00Z"), QStringLiteral("2 2026-03-29T01:30:00Z"),
                              QStringLiteral("3 2026-03-29T01:30:00Z"), QStringLiteral("6 2026-10-25T01:05:00Z"),
                              QStringLiteral("4 2026-10-25T00:10:00Z"), QStringLiteral("7 2026-10-25T01:40:00Z"),
                              QStringLiteral("5 2026-10-25T00:50:00Z"), QStringLiteral("8 2026-10-26T13:00:00Z")}));
        const QStringList json = exported(*db, QStringLiteral("jsonl"), false).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(json.size(), 8);
        QVERIFY2(
            json[1].contains(QStringLiteral("\"time\":\"2026-03-29T02:30:00\",\"utc\":\"2026-03-29T02:30:00+01:00\""))
                && json[1].contains(QStringLiteral("\"suspect\":\"in a daylight-saving gap\"")),
            qPrintable(json[1]));
        QVERIFY2(json[2].contains(QStringLiteral("\"suspect\":\"\"}")), qPrintable(json[2]));
        QVERIFY2(json[3].contains(QStringLiteral("\"utc\":\"2026-10-25T02:05:00+01:00\"")), qPrintable(json[3]));
        QVERIFY2(json[7].contains(QStringLiteral("\"utc\":\"2026-10-26T09:00:00-04:00\"")), qPrintable(json[7]));
    }

    void migratesFromTheVersionBefore()
    {
        const QString url = freshUrlText();
        {
            auto old = open(url, 1);
            QVERIFY(old);
            QString error;
            QVERIFY(old->exec(
                QStringLiteral("INSERT INTO terminals (id, identity, name, last_serial) VALUES (1, 'L1', 'lobby', 1)"),
                error));
            QVERIFY(old->exec(
                QStringLiteral(
                    "INSERT INTO punches (terminal_id, serial, card, at, flag) VALUES (1, 1, 9, '2026-07-01 08:00:00', '0000')"),
                error));
        }
        auto db = open(url);
        QVERIFY(db);
        QString error;
        QCOMPARE(Schema::version(*db, error), Schema::Current);
        // Stored before zones were kept: read in the terminal's zone, this computer's until a sync says otherwise.
        const int local = QTimeZone::systemTimeZone().offsetFromUtc(
            QDateTime(QDate(2026, 7, 1), QTime(8, 0), QTimeZone::systemTimeZone()));
        const QString expected = QStringLiteral("\"utc\":\"2026-07-01T08:00:00%1%2:%3\"")
                                     .arg(QLatin1Char(local < 0 ? '-' : '+'))
                                     .arg(qAbs(local) / 3600, 2, 10, QLatin1Char('0'))
                                     .arg(qAbs(local) / 60 % 60, 2, 10, QLatin1Char('0'));
        QVERIFY2(exported(*db, QStringLiteral("jsonl"), false).contains(expected), qPrintable(expected));
        // A sync in another zone fixes the old punch in the zone it was taken in.
        QVERIFY2(store(*db, QStringLiteral("L1"), QStringLiteral("Asia/Shanghai"), 2, {{9, 20260701090000}}, error),
                 qPrintable(error));
        const QString json = exported(*db, QStringLiteral("jsonl"), false);
        QVERIFY2(json.contains(expected) && json.contains(QStringLiteral("\"utc\":\"2026-07-01T09:00:00+08:00\"")),
                 qPrintable(json));
        QCOMPARE(db->value(QStringLiteral("SELECT count(*) FROM punches WHERE utc_offset IS NULL"), error)->toInt(), 0);
    }

    void dailyReport()
    {
        const QString url = freshUrlText();
        auto db = open(url);
        QVERIFY(db);
        QString error;
        QVERIFY2(store(*db, QStringLiteral("R1"), QStringLiteral("Europe/Berlin"), 1,
                       {{100, 20261207080000},
                        {100, 20261207080030},
                        {300, 20261207220000},
                        {100, 20261207120000},
                        {100, 20261207130000},
                        {200, 20261207090000},
                        {100, 20261207173000},
                        {200, 20261207180000},
                        {300, 20261208060000},
                        {200, 20261208090000},
                        // a night across the autumn change: nine hours on the wall clock's eight
                        {400, 20261024220000},
                        {400, 20261025060000}},
                       error),
                 qPrintable(error));
        QVERIFY(db->exec(
            QStringLiteral("UPDATE cards SET job_number = 'J-7', name = '<b>Zhang & \"Li\", A.</b>' WHERE card = 100"),
            error));

        DailyOptions options;
        options.from = QDate(2026, 12, 7);
        options.to = QDate(2026, 12, 8);
        QList<DailyRow> rows;
        QVERIFY2(DailyReport::rows(*db, options, rows, error), qPrintable(error));
        QCOMPARE(
            QString::fromUtf8(DailyFormat::write(QStringLiteral("csv"), rows, options)),
            QStringLiteral(
                "card,card_hex,job_number,name,date,first_in,last_out,punches,worked,flags\r\n"
                "0000000100,00000064,J-7,\"<b>Zhang & \"\"Li\"\", A.</b>\",2026-12-07,2026-12-07T08:00:00,2026-12-07T17:30:00,5,8:30,double-taps=1\r\n"
                "0000000200,000000C8,,,2026-12-07,2026-12-07T09:00:00,2026-12-07T18:00:00,2,9:00,\r\n"
                "0000000300,0000012C,,,2026-12-07,2026-12-07T22:00:00,,1,0:00,odd\r\n"
                "0000000200,000000C8,,,2026-12-08,2026-12-08T09:00:00,,1,0:00,odd\r\n"
                "0000000300,0000012C,,,2026-12-08,2026-12-08T06:00:00,,1,0:00,odd\r\n"));
        // A day from noon to noon keeps the night shift in one day.
        options.dayStartsMinutes = 12 * 60;
        options.to = options.from;
        QVERIFY2(DailyReport::rows(*db, options, rows, error), qPrintable(error));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[2].card, 300u);
        QCOMPARE(DailyReport::workedText(rows[2].workedSeconds), QStringLiteral("8:00"));
        QCOMPARE(rows[2].flags(), QString());
        options.from = options.to = QDate(2026, 10, 24);
        QVERIFY2(DailyReport::rows(*db, options, rows, error), qPrintable(error));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(DailyReport::workedText(rows[0].workedSeconds), QStringLiteral("9:00"));
        QCOMPARE(rows[0].flags(), QString());

        // The command: a printable page with the text escaped, an empty range, bad options.
        db.reset();
        const QString page = dir_.filePath(QStringLiteral("daily.html"));
        AttctlRun r = attctl({QStringLiteral("report"), QStringLiteral("daily"), QStringLiteral("--db"), url,
                              QStringLiteral("--from"), QStringLiteral("2026-12-07"), QStringLiteral("--to"),
                              QStringLiteral("2026-12-08"), QStringLiteral("--format"), QStringLiteral("html"),
                              QStringLiteral("--out"), page});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString html = QString::fromUtf8(fileBytes(page));
        QVERIFY2(html.contains(QStringLiteral("<meta charset=\"utf-8\">"))
                     && html.contains(QStringLiteral("<h2>2026-12-08</h2>"))
                     && html.contains(QStringLiteral("<td>&lt;b&gt;Zhang &amp; &quot;Li&quot;, A.&lt;/b&gt;</td>")),
                 qPrintable(html));
        r = attctl({QStringLiteral("report"), QStringLiteral("daily"), QStringLiteral("--db"), url,
                    QStringLiteral("--from"), QStringLiteral("2027-01-01"), QStringLiteral("--to"),
                    QStringLiteral("2027-01-31"), QStringLiteral("--format"), QStringLiteral("jsonl")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString());
        r = attctl({QStringLiteral("report"), QStringLiteral("daily"), QStringLiteral("--db"), url,
                    QStringLiteral("--from"), QStringLiteral("2026-12-07"), QStringLiteral("--to"),
                    QStringLiteral("2026-12-07"), QStringLiteral("--day-starts"), QStringLiteral("25:00")});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QStringLiteral("--day-starts wants a time HH:MM")), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(SyncPayroll)
#include "sync_payroll.moc"
