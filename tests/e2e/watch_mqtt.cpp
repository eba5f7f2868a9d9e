// The MQTT output of live punches against a real mosquitto broker: every punch arrives in order on its
// terminal's topic with the export's JSON, deliver() counts only what the broker acknowledged, a broker
// that is down, silent or refusing costs a clear error and nothing else, and bad URLs are refused.
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "sync/PunchExport.h"
#include "watch/MqttOutput.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>
#include <QThread>

namespace {

// The JSON lines `attctl export --format jsonl` writes, without their newline.
QList<QByteArray> punchLines(const QString &terminal, int count)
{
    const auto jsonl = PunchExport::formatter(QStringLiteral("jsonl"));
    QList<QByteArray> lines;
    for (int i = 1; i <= count; ++i) {
        ExportRow row;
        row.terminal = terminal.toUtf8();
        row.identity = QStringLiteral("ZX%1").arg(qHash(terminal) % 10000, 4, 10, QLatin1Char('0')).toUtf8();
        row.utcOffset = 8 * 3600;
        row.serial = 1000 + i;
        row.card = 4000000000u + i;
        row.stamp = 20261209080000ull + i % 60;
        row.flag = "0001";
        QByteArray out;
        jsonl->row(row, out);
        lines << out.chopped(1);
    }
    return lines;
}

std::unique_ptr<MqttOutput> outputFor(const QString &url)
{
    QString error;
    const auto parsed = MqttUrl::parse(url, error);
    if (!parsed) qWarning("%s", qPrintable(error));
    return parsed ? std::make_unique<MqttOutput>(*parsed) : nullptr;
}

// The payloads that arrived on one topic, in order.
QList<QByteArray> payloadsOn(const QList<MqttSubscriber::Message> &messages, const QString &topic)
{
    QList<QByteArray> out;
    for (const auto &m : messages)
        if (m.topic == topic) out << m.payload;
    return out;
}

// Calls deliver() until it takes everything (it pauses between tries on its own), or gives up.
int deliverOnceBack(MqttOutput &out, const QString &terminal, const QList<QByteArray> &lines, QString &error)
{
    for (int i = 0; i < 600; ++i) {
        const int taken = out.deliver(terminal, lines, 2000, error);
        if (taken == lines.size()) return taken;
        QThread::msleep(100);
    }
    return 0;
}

}  // namespace

class WatchMqtt : public QObject {
    Q_OBJECT

private slots:
    // Two terminals' punches, more than one window of them, through a broker that is then killed and
    // started again on its port.
    void publishesInOrderAndRecoversFromALostBroker()
    {
        MosquittoBroker broker;
        if (!broker.start()) QFAIL(qPrintable(broker.errorText()));
        MqttSubscriber subscriber;
        QVERIFY2(subscriber.subscribe(broker.port(), QStringLiteral("site/zevo/#")),
                 qPrintable(subscriber.errorText()));
        const auto out = outputFor(broker.url(QStringLiteral("site/zevo")));
        QVERIFY(out);
        QCOMPARE(out->name(), QStringLiteral("mqtt://127.0.0.1:%1/site/zevo").arg(broker.port()));

        const QString gate = QStringLiteral("东门 1"), office = QStringLiteral("Back-Office");
        const QList<QByteArray> gateLines = punchLines(gate, 250), officeLines = punchLines(office, 3);
        QString error;
        QCOMPARE(out->deliver(gate, gateLines, 10000, error), 250);
        QCOMPARE(out->deliver(office, officeLines, 10000, error), 3);
        QCOMPARE(out->deliver(office, {}, 10000, error), 0);
        const auto messages = subscriber.waitFor(253, 30000);
        QCOMPARE(messages.size(), 253);
        QCOMPARE(payloadsOn(messages, QStringLiteral("site/zevo/东门 1/punch")), gateLines);
        QCOMPARE(payloadsOn(messages, QStringLiteral("site/zevo/Back-Office/punch")), officeLines);
        QVERIFY(gateLines.first().contains("\"terminal\":\"东门 1\""));

        // A name that would make more topic levels, or a wildcard, is refused before anything is sent.
        for (const QString &bad : {QStringLiteral("a/b"), QStringLiteral("a+"), QStringLiteral("#"), QString()}) {
            error.clear();
            QCOMPARE(out->deliver(bad, officeLines, 1000, error), 0);
            QVERIFY2(error.contains(QLatin1String("cannot be a topic level")), qPrintable(error));
        }

        // The broker dies: nothing is counted as taken, the error says so, twice in a row.
        broker.stop();
        const QList<QByteArray> later = punchLines(office, 5).mid(3);
        error.clear();
        QCOMPARE(out->deliver(office, later, 2000, error), 0);
        QVERIFY2(error.startsWith(QStringLiteral("MQTT mqtt://127.0.0.1:%1/site/zevo: ").arg(broker.port())),
                 qPrintable(error));
        error.clear();
        QCOMPARE(out->deliver(office, later, 2000, error), 0);
        QVERIFY2(!error.isEmpty(), "a second try while the broker is down must say why too");

        // It comes back on the same port: delivery resumes with the punches handed over again.
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        MqttSubscriber again;
        QVERIFY2(again.subscribe(broker.port(), QStringLiteral("site/zevo/#")), qPrintable(again.errorText()));
        QCOMPARE(deliverOnceBack(*out, office, later, error), 2);
        QCOMPARE(payloadsOn(again.waitFor(2, 30000), QStringLiteral("site/zevo/Back-Office/punch")), later);
    }

    // A broker that takes the connection and never answers, and a real one that stops answering in
    // the middle: deliver() keeps to its timeout, counts nothing unacknowledged, and the punches
    // handed over again arrive whole and in order (some maybe twice: at least once, never skipped).
    void aBrokerThatStopsAnsweringCostsOnlyTheTimeout()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        const auto mute = outputFor(QStringLiteral("mqtt://127.0.0.1:%1/zevo").arg(silent.serverPort()));
        QString error;
        QElapsedTimer took;
        took.start();
        QCOMPARE(mute->deliver(QStringLiteral("t"), punchLines(QStringLiteral("t"), 2), 300, error), 0);
        QVERIFY2(error.contains(QLatin1String("no answer in time")), qPrintable(error));
        // A bound far above the timeout: only a deliver() that waits for the connection itself fails it.
        QVERIFY2(took.elapsed() < 20000, qPrintable(QString::number(took.elapsed())));

        MosquittoBroker broker;
        if (!broker.start()) QFAIL(qPrintable(broker.errorText()));
        MqttSubscriber subscriber;
        QVERIFY2(subscriber.subscribe(broker.port(), QStringLiteral("zevo/#")), qPrintable(subscriber.errorText()));
        const auto out = outputFor(broker.url(QStringLiteral("zevo")));
        const QList<QByteArray> first = punchLines(QStringLiteral("t"), 2), lines = punchLines(QStringLiteral("t"), 6);
        QCOMPARE(out->deliver(QStringLiteral("t"), first, 10000, error), 2);
        broker.pause();
        error.clear();
        took.restart();
        QCOMPARE(out->deliver(QStringLiteral("t"), lines.mid(2), 300, error), 0);
        QVERIFY2(error.contains(QLatin1String("did not answer within 300 ms")), qPrintable(error));
        QVERIFY2(took.elapsed() < 20000, qPrintable(QString::number(took.elapsed())));
        broker.resume();
        QCOMPARE(deliverOnceBack(*out, QStringLiteral("t"), lines.mid(2), error), 4);

        // How many the broker had taken before it froze is not known: read until the last one came.
        QList<QByteArray> got;
        for (int i = 0; i < 300 && (got.isEmpty() || got.last() != lines.last()); ++i)
            got = payloadsOn(subscriber.waitFor(int(got.size()) + 1, 100), QStringLiteral("zevo/t/punch"));
        QVERIFY(got.size() >= 6 && got.size() <= 10);
        QCOMPARE(got.first(2), first);
        QCOMPARE(got.last(4), lines.mid(2));
        QList<QByteArray> once;
        for (const QByteArray &p : got)
            if (!once.contains(p)) once << p;
        QCOMPARE(once, lines);
    }

    // Credentials from the URL (percent-encoded) or the environment; a wrong one or a topic the user
    // may not write is refused, and never counted as taken.
    void passwordsAndRefusals()
    {
        MosquittoBroker broker;
        const QString secret = QStringLiteral("p@ss:w/rd");
        QVERIFY2(broker.requirePassword(QStringLiteral("meter"), secret, QStringLiteral("allowed/#")),
                 qPrintable(broker.errorText()));
        if (!broker.start()) QFAIL(qPrintable(broker.errorText()));
        MqttSubscriber subscriber;
        QVERIFY2(subscriber.subscribe(broker.port(), QStringLiteral("allowed/#"), QStringLiteral("meter"), secret),
                 qPrintable(subscriber.errorText()));
        const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(broker.port());
        const QList<QByteArray> lines = punchLines(QStringLiteral("t1"), 2);
        QString error;

        const auto good = outputFor(QStringLiteral("mqtt://meter:p%40ss%3Aw%2Frd@%1/allowed").arg(hostPort));
        QCOMPARE(good->name(), QStringLiteral("mqtt://%1/allowed").arg(hostPort));
        QCOMPARE(good->deliver(QStringLiteral("t1"), lines, 10000, error), 2);

        qputenv("ZEVO_MQTT_PASSWORD", secret.toUtf8());
        const auto fromEnvironment = outputFor(QStringLiteral("mqtt://meter@%1/allowed").arg(hostPort));
        qunsetenv("ZEVO_MQTT_PASSWORD");
        QCOMPARE(fromEnvironment->deliver(QStringLiteral("t1"), lines, 10000, error), 2);
        QCOMPARE(payloadsOn(subscriber.waitFor(4, 30000), QStringLiteral("allowed/t1/punch")), lines + lines);

        for (const QString &url :
             {QStringLiteral("mqtt://meter:wrong@%1/allowed"), QStringLiteral("mqtt://%1/allowed")}) {
            error.clear();
            QCOMPARE(outputFor(url.arg(hostPort))->deliver(QStringLiteral("t1"), lines, 10000, error), 0);
            QVERIFY2(error.contains(QLatin1String("the broker refused the connection")), qPrintable(error));
            QVERIFY2(!error.contains(QLatin1String("wrong")), "a password never shows in a message");
        }
        error.clear();
        const auto denied = outputFor(QStringLiteral("mqtt://meter:p%40ss%3Aw%2Frd@%1/denied").arg(hostPort));
        QCOMPARE(denied->deliver(QStringLiteral("t1"), lines, 10000, error), 0);
        QVERIFY2(error.contains(QLatin1String("the broker refused a punch")), qPrintable(error));
    }

    void badUrlsAreRefused_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("named");
        QTest::newRow("other scheme") << "mqtts://h/p"
                                      << "does not start with mqtt://";
        QTest::newRow("no prefix") << "mqtt://h"
                                   << "names no topic prefix";
        QTest::newRow("empty prefix") << "mqtt://h:1883/"
                                      << "names no topic prefix";
        QTest::newRow("empty level") << "mqtt://h/a//b"
                                     << "has an empty level";
        QTest::newRow("trailing slash") << "mqtt://h/a/"
                                        << "has an empty level";
        QTest::newRow("wildcard") << "mqtt://h/a/+"
                                  << "holds a wildcard";
        QTest::newRow("hash") << "mqtt://h/a%23"
                              << "holds a wildcard";
        QTest::newRow("no host") << "mqtt:///p"
                                 << "names no host";
        QTest::newRow("port zero") << "mqtt://h:0/p"
                                   << "the port must be 1 to 65535";
        QTest::newRow("port too big") << "mqtt://h:70000/p"
                                      << "not a valid URL";
        QTest::newRow("query") << "mqtt://h/p?qos=2"
                               << "takes no ?parameters";
        QTest::newRow("password without user") << "mqtt://:secret@h/p"
                                               << "gives a password but no user";
        QTest::newRow("control") << "mqtt://h/a%0Ab"
                                 << "control characters";
    }
    void badUrlsAreRefused()
    {
        QFETCH(QString, url);
        QFETCH(QString, named);
        QString error;
        QVERIFY(!MqttUrl::parse(url, error));
        QVERIFY2(error.startsWith(QLatin1String("MQTT URL ")) && error.contains(named), qPrintable(error));
        QVERIFY2(!error.contains(QLatin1String("secret")), "a password never shows in a message");

        const auto v6 = MqttUrl::parse(QStringLiteral("mqtt://u:pw@[::1]/a/b"), error);
        QVERIFY(v6);
        QCOMPARE(v6->display(), QStringLiteral("mqtt://[::1]:1883/a/b"));
        QCOMPARE(v6->user + v6->password + v6->prefix, QStringLiteral("upwa/b"));
    }
};

QTEST_GUILESS_MAIN(WatchMqtt)
#include "watch_mqtt.moc"
