// attctl push against an HTTP endpoint of the test's own, from a SQLite file and from the suite's
// PostgreSQL server: every punch delivered once in serial order per terminal with its batch's key, and
// under faults (an endpoint failing for good, throttling, answering slowly, refusing a batch, answering
// without reading, a push killed mid-batch) nothing marked delivered that was not, nothing skipped.
#include "support/AttctlProcess.h"
#include "support/FleetFixture.h"
#include "support/HttpSink.h"
#include "support/PgServer.h"
#include "sync/Database.h"
#include "sync/PunchStore.h"
#include "sync/Schema.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Stores serials first..last of a terminal, one a minute.
bool storeSerials(const QString &url, const QString &identity, quint64 first, quint64 last)
{
    QString error;
    auto db = openDatabase(url, error);
    if (!db || !Schema::migrate(*db, error)) return false;
    TerminalFacts t;
    t.identity = identity;
    t.name = identity.toLower();
    t.timezone = QStringLiteral("Asia/Shanghai");
    t.syncedAt = QDateTime(QDate(2026, 12, 9), QTime(9, 0));
    quint64 next = first;
    qint64 inserted = 0;
    PunchStore store(*db);
    return store.store(
        t,
        [&](Punch &p, QString &) {
            if (next > last) return false;
            p = Punch{};
            p.serial = next;
            p.card = uint32_t(1000 + next % 7);
            p.stamp = PunchTime::stampAt(PunchTime::secondsOf(20261208080000) + qint64(next) * 60);
            ++next;
            return true;
        },
        last, inserted, error);
}

qint64 count(const QString &url, const QString &sql)
{
    QString error;
    const auto db = openDatabase(url, error);
    return db ? number(*db, sql) : -1;
}

// The ids of a request's body, in order.
QStringList idsOf(const HttpSink::Request &r)
{
    QStringList ids;
    for (const QJsonValue &v : QJsonDocument::fromJson(r.body).array())
        ids << v.toObject().value(QStringLiteral("id")).toString();
    return ids;
}

// Every punch of A (1..aLast) and B (1..bLast) once in the accepted requests, in serial order per terminal.
QString deliveredOnceInOrder(const QList<HttpSink::Request> &requests, int aLast, int bLast)
{
    QStringList accepted;
    for (const HttpSink::Request &r : requests)
        if (r.status >= 200 && r.status < 300) accepted += idsOf(r);
    QStringList expected;
    for (int i = 1; i <= aLast; ++i) expected << QStringLiteral("A:%1").arg(i);
    for (int i = 1; i <= bLast; ++i) expected << QStringLiteral("B:%1").arg(i);
    QStringList sorted = accepted;
    std::sort(sorted.begin(), sorted.end(), [](const QString &x, const QString &y) {
        return x.left(1) != y.left(1) ? x < y : x.mid(2).toInt() < y.mid(2).toInt();
    });
    if (sorted != expected)
        return QStringLiteral("delivered %1 ids, %2 expected; first ids %3")
            .arg(accepted.size())
            .arg(expected.size())
            .arg(accepted.mid(0, 5).join(u' '));
    return QString();
}

}  // namespace

class PushHttp : public QObject {
    Q_OBJECT

    PgServer pg_;
    QTemporaryDir dir_;
    int databases_ = 0;

    // A database holding terminal A's serials 1..250 and B's 1..120.
    QString filledDatabase()
    {
        QFETCH_GLOBAL(QString, kind);
        const QString name = QStringLiteral("db%1").arg(++databases_);
        const QString url = kind == QLatin1String("sqlite")
            ? QStringLiteral("sqlite:") + dir_.filePath(name + QStringLiteral(".sqlite"))
            : pg_.createDatabase(name);
        if (!storeSerials(url, QStringLiteral("A"), 1, 250) || !storeSerials(url, QStringLiteral("B"), 1, 120))
            return QString();
        return url;
    }

    static AttctlRun push(const HttpSink &sink, const QString &db, const QStringList &more = {})
    {
        return attctl(QStringList{QStringLiteral("push"), QStringLiteral("--to"), sink.url(), QStringLiteral("--db"),
                                  db, QStringLiteral("--batch"), QStringLiteral("100")}
                      + more);
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

    void deliversEachPunchOnceInSerialOrder()
    {
        const QString db = filledDatabase();
        QVERIFY(!db.isEmpty());
        HttpSink sink;
        QVERIFY(sink.start());
        AttctlRun r = push(sink, db, {QStringLiteral("--header"), QStringLiteral("Authorization: Bearer t0k3n")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("pushed 370 punches in 5 batches to %1\n").arg(sink.url()));
        const QList<HttpSink::Request> requests = sink.requests();
        QCOMPARE(requests.size(), 5);
        QCOMPARE(deliveredOnceInOrder(requests, 250, 120), QString());
        QCOMPARE(requests[0].headers.value("idempotency-key"), QByteArray("A:1-A:100"));
        QCOMPARE(requests[4].headers.value("idempotency-key"), QByteArray("B:101-B:120"));
        QCOMPARE(requests[0].headers.value("authorization"), QByteArray("Bearer t0k3n"));
        QCOMPARE(requests[0].headers.value("content-type"), QByteArray("application/json"));
        const QJsonObject first = QJsonDocument::fromJson(requests[0].body).array().first().toObject();
        QCOMPARE(first.value(QStringLiteral("time")).toString(), QStringLiteral("2026-12-08T08:01:00"));
        QCOMPARE(first.value(QStringLiteral("utc")).toString(), QStringLiteral("2026-12-08T08:01:00+08:00"));
        QCOMPARE(first.value(QStringLiteral("card")).toString(), QStringLiteral("0000001001"));

        // Nothing new: nothing sent. New punches: only they.
        r = push(sink, db);
        QCOMPARE(r.code, 0);
        QCOMPARE(sink.requestCount(), 5);
        QVERIFY(storeSerials(db, QStringLiteral("A"), 251, 255));
        r = push(sink, db);
        QCOMPARE(r.out, QStringLiteral("pushed 5 punches in 1 batches to %1\n").arg(sink.url()));
        QCOMPARE(sink.requests().last().headers.value("idempotency-key"), QByteArray("A:251-A:255"));

        QCOMPARE(push(sink, db, {QStringLiteral("--header"), QStringLiteral("no colon")}).code, 2);
        QCOMPARE(attctl({QStringLiteral("push"), QStringLiteral("--to"), QStringLiteral("ftp://x/"),
                         QStringLiteral("--db"), db})
                     .code,
                 2);
    }

    void faultsNeitherLoseNorSkipPunches()
    {
        const QString db = filledDatabase();
        QVERIFY(!db.isEmpty());
        {
            // An endpoint that fails for good: nothing is marked delivered, and the exit status says so.
            HttpSink failing;
            QVERIFY(failing.start());
            failing.misbehave(HttpSink::Fail);
            const AttctlRun r = push(failing, db, {QStringLiteral("--attempts"), QStringLiteral("2")});
            QCOMPARE(r.code, 3);
            QVERIFY2(r.err.contains(QStringLiteral("answered 500: database unavailable (2 attempts)"))
                         && r.err.contains(QStringLiteral("A:1-A:100")),
                     qPrintable(r.err));
            QCOMPARE(failing.requestCount(), 2);
            QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM push_marks")), 0);
        }
        HttpSink sink;
        QVERIFY(sink.start());
        // Throttled, then too slow, then refused: the first batch goes three times under one key and
        // then to the dead letters; the others are delivered.
        sink.misbehave(HttpSink::Throttle, 1, 1);
        sink.misbehave(HttpSink::Slow, 1, 3000);
        sink.misbehave(HttpSink::Refuse, 1, 422);
        AttctlRun r = push(sink, db, {QStringLiteral("--timeout"), QStringLiteral("1")});
        QVERIFY2(r.code == 1, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("pushed 270 punches in 5 batches"))
                     && r.out.contains(QStringLiteral("1 batches refused")),
                 qPrintable(r.out));
        QList<HttpSink::Request> requests = sink.requests();
        QCOMPARE(requests.size(), 7);
        for (int i = 0; i < 3; ++i) QCOMPARE(requests[i].headers.value("idempotency-key"), QByteArray("A:1-A:100"));
        QCOMPARE(count(db,
                       QStringLiteral(
                           "SELECT count(*) FROM push_dead WHERE status = 422 AND answer LIKE '%punch refused%'")),
                 1);
        // The dead letters once more, now accepted.
        r = push(sink, db, {QStringLiteral("--retry-dead")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(count(db, QStringLiteral("SELECT count(*) FROM push_dead")), 0);
        requests = sink.requests();
        QCOMPARE(requests.last().headers.value("idempotency-key"), QByteArray("A:1-A:100"));
        QCOMPARE(deliveredOnceInOrder(requests, 250, 120), QString());
    }

    void aKilledPushSendsTheBatchAgain()
    {
        const QString db = filledDatabase();
        QVERIFY(!db.isEmpty());
        HttpSink sink;
        QVERIFY(sink.start());
        sink.misbehave(HttpSink::Accept, 2);
        sink.misbehave(HttpSink::Hang, 1);
        QProcess killed;
        killed.start(attctlPath(),
                     {QStringLiteral("push"), QStringLiteral("--to"), sink.url(), QStringLiteral("--db"), db,
                      QStringLiteral("--batch"), QStringLiteral("100")});
        QVERIFY(sink.waitForRequests(3, 60000));
        killed.kill();
        QVERIFY(killed.waitForFinished(10000));
        const AttctlRun r = push(sink, db);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QList<HttpSink::Request> requests = sink.requests();
        QCOMPARE(requests.size(), 6);
        QCOMPARE(requests[2].status, 0);
        QCOMPARE(requests[3].headers.value("idempotency-key"), requests[2].headers.value("idempotency-key"));
        QCOMPARE(deliveredOnceInOrder(requests, 250, 120), QString());

        // An endpoint (new, so it gets everything) that answers before it has read the body: the push
        // neither hangs nor counts a batch delivered that it did not see answered.
        QVERIFY(storeSerials(db, QStringLiteral("B"), 121, 130));
        HttpSink hasty;
        QVERIFY(hasty.start());
        hasty.misbehave(HttpSink::AnswerUnread);
        const AttctlRun h = push(hasty, db, {QStringLiteral("--attempts"), QStringLiteral("2")});
        const qint64 marked =
            count(db,
                  QStringLiteral("SELECT max(serial) FROM push_marks m JOIN terminals t ON t.id = m.terminal_id "
                                 "WHERE t.identity = 'B' AND m.destination = '%1'")
                      .arg(hasty.url()));
        QVERIFY2((h.code == 0 && marked == 130) || (h.code == 3 && marked == 0),
                 qPrintable(QStringLiteral("%1 %2 %3").arg(h.code).arg(marked).arg(h.err)));
    }
};

QTEST_GUILESS_MAIN(PushHttp)
#include "push_http.moc"
