// Hot standbys share terminals out through PostgreSQL advisory locks: two leases on two connections
// of the suite's server never hold one terminal at once, and a terminal whose holder's session ended
// (closed, or its server process killed) is taken by the other.
#include "support/PgServer.h"
#include "watch/TerminalLease.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

namespace {

std::unique_ptr<TerminalLease> openLease(const QString &url)
{
    QString error;
    const auto parsed = DatabaseUrl::parse(url, error);
    auto lease = parsed ? TerminalLease::open(*parsed, error) : nullptr;
    if (!lease) qWarning("%s", qPrintable(error));
    return lease;
}

// Polls tryTake the way a standby does, until it holds the terminal or gives up.
bool takeWhenFreed(TerminalLease &lease, const QString &identity)
{
    for (int i = 0; i < 300; ++i) {
        if (lease.tryTake(identity)) return true;
        QThread::msleep(100);
    }
    return false;
}

}  // namespace

class WatchLease : public QObject {
    Q_OBJECT

    PgServer pg_;
    QString url_;

private slots:
    void initTestCase()
    {
        if (!pg_.start()) QFAIL(qPrintable(pg_.errorText()));
        url_ = pg_.createDatabase(QStringLiteral("leases"));
        QVERIFY2(!url_.isEmpty(), qPrintable(pg_.errorText()));
    }

    // The key is part of what processes of different versions agree on: pinned here.
    void theKeyIsFixedByTheIdentityAlone()
    {
        QCOMPARE(TerminalLease::keyOf(QStringLiteral("ZK-0001")), Q_INT64_C(4201711013014595418));
        QCOMPARE(TerminalLease::keyOf(QStringLiteral("门口-7")), Q_INT64_C(-4756179054419061902));
        QString error;
        QVERIFY(!TerminalLease::open(DatabaseUrl::defaultLocation(), error));
        QVERIFY2(error.contains(QLatin1String("need PostgreSQL")), qPrintable(error));
    }

    void twoProcessesShareTheTerminalsOut()
    {
        const QString a = QStringLiteral("ZK-0001"), b = QStringLiteral("ZK-0002"), c = QStringLiteral("ZK-0003");
        auto first = openLease(url_), second = openLease(url_);
        QVERIFY(first && second);

        QVERIFY(first->tryTake(a));
        QVERIFY(first->tryTake(a));  // holding it already
        QVERIFY(!second->tryTake(a));
        QVERIFY(second->tryTake(b));
        QVERIFY(!first->tryTake(b));
        QVERIFY(first->holds(a) && !first->holds(b) && second->holds(b) && !second->holds(a));
        QVERIFY(first->alive() && second->alive());

        // The server shows the lock under the documented key: classid the high half, objid the low.
        const qint64 key = TerminalLease::keyOf(a);
        const QString lockOfA =
            QStringLiteral("FROM pg_locks WHERE locktype = 'advisory' AND granted AND classid = %1 AND objid = %2")
                .arg(quint32(quint64(key) >> 32))
                .arg(quint32(quint64(key)));
        {
            QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("lease-probe"));
            probe.setHostName(QStringLiteral("127.0.0.1"));
            probe.setPort(pg_.port());
            probe.setUserName(QStringLiteral("zevo"));
            probe.setDatabaseName(QStringLiteral("leases"));
            QVERIFY(probe.open());
            QSqlQuery q(probe);
            QVERIFY(q.exec(QStringLiteral("SELECT count(*) ") + lockOfA) && q.next());
            QCOMPARE(q.value(0).toInt(), 1);
            // Each lease on a connection of its own, named for an administrator looking at the server.
            QVERIFY(q.exec(QStringLiteral(
                        "SELECT count(*) FROM pg_stat_activity WHERE application_name = 'zevo-watch-lease'"))
                    && q.next());
            QCOMPARE(q.value(0).toInt(), 2);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lease-probe"));

        // Released (once, though taken twice above): the other takes it.
        first->release(a);
        QVERIFY(!first->holds(a));
        QVERIFY(second->tryTake(a));
        QVERIFY(!first->tryTake(a));

        // The holder's connection closes: what it held is free.
        second.reset();
        QVERIFY(takeWhenFreed(*first, a));
        QVERIFY(first->tryTake(b));

        // The holder's server process is killed (as when its machine vanishes): it learns it holds
        // nothing, and a standby takes over.
        auto standby = openLease(url_);
        QVERIFY(standby && !standby->tryTake(a));
        QVERIFY(first->tryTake(c));
        QVERIFY(pg_.sql(QStringLiteral("leases"), QStringLiteral("SELECT pg_terminate_backend(pid) ") + lockOfA));
        QVERIFY(takeWhenFreed(*standby, a));
        QVERIFY(standby->tryTake(b) && standby->tryTake(c));
        QVERIFY(!first->alive());
        QVERIFY(!first->holds(a) && !first->holds(c));
        QVERIFY(!first->tryTake(QStringLiteral("ZK-0004")));
        QVERIFY2(!first->errorText().isEmpty(), "a dead lease says why");

        // The database goes away: the standby's lease is dead too, and says so.
        QVERIFY(pg_.stop());
        QVERIFY(!standby->alive());
        QVERIFY(!standby->holds(a));
        QVERIFY2(standby->errorText().contains(QLatin1String("database postgresql://zevo@127.0.0.1")),
                 qPrintable(standby->errorText()));
        QVERIFY(pg_.start());
    }
};

QTEST_GUILESS_MAIN(WatchLease)
#include "watch_lease.moc"
