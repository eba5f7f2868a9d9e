// The fleet file: what a good one yields, and that every kind of mistake is refused with the file and
// line named.
#include "sync/FleetFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class SyncFleetFile : public QObject {
    Q_OBJECT

private slots:
    void readsEveryKey()
    {
        QString error;
        const auto fleet = FleetFile::parse("# site A\n"
                                            "[门口 1]\r\n"
                                            "line = tcp:10.0.0.5:1001\n"
                                            "address=18\n"
                                            "clear-after-sync = TRUE\n"
                                            "clock-tolerance = 30\n"
                                            "timezone = Asia/Shanghai\n"
                                            "\n"
                                            "; the warehouse\n"
                                            "[warehouse]\n"
                                            "address = 0\n"
                                            "line = serial:/dev/ttyUSB0,115200\n"
                                            "[ipv6]\n"
                                            "line = tcp:[::1]:2000,9600\n"
                                            "address = 255\n",
                                            QStringLiteral("site.ini"), error);
        QVERIFY2(fleet, qPrintable(error));
        QCOMPARE(fleet->size(), 3);
        const FleetTerminal &a = fleet->at(0);
        QCOMPARE(a.name, QStringLiteral("门口 1"));
        QCOMPARE(a.fileLine, 2);
        QCOMPARE(a.line.kind, LineTarget::Tcp);
        QCOMPARE(a.line.host, QStringLiteral("10.0.0.5"));
        QCOMPARE(a.line.port, 1001);
        QCOMPARE(a.address, 18);
        QVERIFY(a.clearAfterSync);
        QCOMPARE(a.clockTolerance.value_or(-1), 30);
        QCOMPARE(a.timezone, QStringLiteral("Asia/Shanghai"));
        const FleetTerminal &b = fleet->at(1);
        QCOMPARE(b.line.kind, LineTarget::Serial);
        QCOMPARE(b.line.device, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(b.line.baud, 115200);
        QVERIFY(!b.clearAfterSync);
        QVERIFY(!b.clockTolerance);
        QVERIFY(b.timezone.isEmpty());  // the computer's zone
        QCOMPARE(b.line.key(), QStringLiteral("serial:/dev/ttyUSB0"));
        QCOMPARE(fleet->at(2).line.host, QStringLiteral("::1"));
        QCOMPARE(fleet->at(2).line.baud, 9600);  // the serial converter's rate behind the TCP line
        QCOMPARE(fleet->at(2).line.text(), QStringLiteral("tcp:[::1]:2000,9600"));
        QCOMPARE(fleet->at(2).line.key(), QStringLiteral("tcp:[::1]:2000"));  // as messages print it
        QCOMPARE(a.line.baud, 0);
    }

    void refusesMistakes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown line kind") << QByteArray("[a]\nline = udp:1.2.3.4:5\naddress = 1\n")
                                           << QStringLiteral("f.ini:2: line \"udp:1.2.3.4:5\" is of an unknown kind");
        QTest::newRow("port out of range") << QByteArray("[a]\nline = tcp:host:70000\naddress = 1\n")
                                           << QStringLiteral("f.ini:2: line \"tcp:host:70000\" is not tcp:HOST:PORT");
        QTest::newRow("no port") << QByteArray("[a]\nline = tcp:host\naddress = 1\n")
                                 << QStringLiteral("f.ini:2: line \"tcp:host\" is not tcp:HOST:PORT");
        QTest::newRow("bad converter baud")
            << QByteArray("[a]\nline = tcp:h:1,96OO\naddress = 1\n")
            << QStringLiteral("f.ini:2: line \"tcp:h:1,96OO\": the converter's baud rate 96OO");
        QTest::newRow("bad baud") << QByteArray("[a]\nline = serial:/dev/ttyS0,1234\naddress = 1\n")
                                  << QStringLiteral("f.ini:2: line \"serial:/dev/ttyS0,1234\": the baud rate 1234");
        QTest::newRow("no device") << QByteArray("[a]\nline = serial:\naddress = 1\n")
                                   << QStringLiteral("f.ini:2: line \"serial:\" names no device");
        QTest::newRow("address 256") << QByteArray("[a]\nline = tcp:h:1\naddress = 256\n")
                                     << QStringLiteral("f.ini:3: address must be 0 to 255, not \"256\"");
        QTest::newRow("address negative")
            << QByteArray("[a]\nline = tcp:h:1\naddress = -1\n") << QStringLiteral("f.ini:3: address must be 0 to 255");
        QTest::newRow("clear yes") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\nclear-after-sync = yes\n")
                                   << QStringLiteral("f.ini:4: clear-after-sync must be true or false, not \"yes\"");
        QTest::newRow("tolerance text") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\nclock-tolerance = 5s\n")
                                        << QStringLiteral("f.ini:4: clock-tolerance must be whole seconds");
        QTest::newRow("unknown zone") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\ntimezone = Mars/Olympus\n")
                                      << QStringLiteral("f.ini:4: unknown time zone \"Mars/Olympus\"");
        QTest::newRow("unknown key") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\nclear = true\n")
                                     << QStringLiteral("f.ini:4: unknown key \"clear\"");
        QTest::newRow("key twice") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\naddress = 2\n")
                                   << QStringLiteral("f.ini:4: address is already given at line 3");
        QTest::newRow("key before section")
            << QByteArray("address = 1\n[a]\n")
            << QStringLiteral("f.ini:1: \"address\" stands before the first [terminal] section");
        QTest::newRow("no line") << QByteArray("[a]\naddress = 1\n[b]\nline = tcp:h:1\naddress = 2\n")
                                 << QStringLiteral("f.ini:1: terminal \"a\" has no line");
        QTest::newRow("no address in last") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\n\n[b]\nline = tcp:h:2\n")
                                            << QStringLiteral("f.ini:5: terminal \"b\" has no address");
        QTest::newRow("name twice") << QByteArray("[a]\nline = tcp:h:1\naddress = 1\n[a]\n")
                                    << QStringLiteral("f.ini:4: terminal \"a\" is already defined at line 1");
        QTest::newRow("same line and address")
            << QByteArray("[a]\nline = tcp:H:1\naddress = 1\n[b]\nline = tcp:h:1\naddress = 1\n")
            << QStringLiteral("f.ini:4: terminal \"b\" has the line and address of \"a\" (line 1)");
        QTest::newRow("open section") << QByteArray("[a\n") << QStringLiteral("f.ini:1: a section needs a closing ]");
        QTest::newRow("empty name") << QByteArray("[ ]\n") << QStringLiteral("f.ini:1: a terminal needs a name");
        QTest::newRow("no equals") << QByteArray("[a]\nline tcp:h:1\n")
                                   << QStringLiteral("f.ini:2: expected [name] or key = value");
        QTest::newRow("empty") << QByteArray("# nothing\n") << QStringLiteral("f.ini: no terminal in the fleet file");
        QTest::newRow("not utf-8") << QByteArray("[\xff\xfe]\n") << QStringLiteral("f.ini: not UTF-8 text");
        QTest::newRow("control in name") << QByteArray("[a\x1b[31m]\n")
                                         << QStringLiteral("f.ini:1: the terminal's name holds control characters");
    }

    void refusesMistakes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QString error;
        QVERIFY(!FleetFile::parse(content, QStringLiteral("f.ini"), error));
        QVERIFY2(error.startsWith(expected), qPrintable(error));
    }

    void missingFileIsNamed()
    {
        QString error;
        QVERIFY(!FleetFile::load(QStringLiteral("/nonexistent/fleet.ini"), error));
        QVERIFY2(error.startsWith(QStringLiteral("/nonexistent/fleet.ini: cannot read")), qPrintable(error));
    }

    // A stable by-id name and the device it points to are one line: one lock, one terminal at a time,
    // and the same address on both is the same terminal twice.
    void serialNamesOfOneDeviceAreOneLine()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
        const QString byId = dir.filePath(QStringLiteral("usb-FTDI_A50285BI-if00-port0"));
        QFile f(device);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(QFile::link(device, byId));
        QString error;
        const auto a = LineTarget::parse(QStringLiteral("serial:") + byId + QStringLiteral(",9600"), error);
        const auto b = LineTarget::parse(QStringLiteral("serial:") + device, error);
        QVERIFY(a && b);
        QCOMPARE(a->key(), b->key());
        QCOMPARE(a->text(), QStringLiteral("serial:") + byId + QStringLiteral(",9600"));  // reported as written
        const QByteArray twice =
            QStringLiteral("[a]\nline = serial:%1\naddress = 1\n[b]\nline = serial:%2\naddress = 1\n")
                .arg(byId, device)
                .toUtf8();
        QVERIFY(!FleetFile::parse(twice, QStringLiteral("f.ini"), error));
    }
};

QTEST_GUILESS_MAIN(SyncFleetFile)
#include "sync_fleet_file.moc"
