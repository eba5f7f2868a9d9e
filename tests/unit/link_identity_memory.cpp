// The memory fields at the end of an Identify reply: read when there, an older terminal's shorter
// reply still fine, and replies that cannot be true refused as damaged.
#include "attlink/TerminalIdentity.h"

#include <QTest>

class LinkIdentityMemory : public QObject {
    Q_OBJECT

private slots:
    void memoryFields_data()
    {
        QTest::addColumn<QString>("memory");  // fields 6 to 10, after a last serial of 1500
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("told");
        QTest::newRow("older terminal") << QString() << true << false;
        QTest::newRow("full") << QStringLiteral("1000,1000,501,30000,12") << true << true;
        QTest::newRow("empty") << QStringLiteral("1000,0,0,30000,0") << true << true;
        QTest::newRow("capacity 0") << QStringLiteral("0,0,0,30000,0") << false << false;
        QTest::newRow("held above capacity") << QStringLiteral("1000,1001,500,30000,0") << false << false;
        QTest::newRow("roster above capacity") << QStringLiteral("1000,10,1491,100,101") << false << false;
        QTest::newRow("oldest above newest") << QStringLiteral("1000,1,1501,30000,0") << false << false;
        QTest::newRow("more held than serials") << QStringLiteral("1000,20,1490,30000,0") << false << false;
        QTest::newRow("oldest without records") << QStringLiteral("1000,0,7,30000,0") << false << false;
        QTest::newRow("not a number") << QStringLiteral("1000,-1,1,30000,0") << false << false;
    }
    void memoryFields()
    {
        QFETCH(QString, memory);
        QFETCH(bool, valid);
        QFETCH(bool, told);
        QStringList fields{
            QStringLiteral("VX730K"),           QStringLiteral("2009-06-01"),     QStringLiteral("105"),
            QStringLiteral("00000000000000A1"), QStringLiteral("20261209083000"), QStringLiteral("1500")};
        if (!memory.isEmpty()) fields << memory.split(u',');
        TerminalIdentity id;
        id.lastSerial = 1500;
        QCOMPARE(IdentityFields::readMemory(fields, id), valid);
        QCOMPARE(id.hasMemory, told);
        if (told) QCOMPARE(id.firstAvailable(), id.held ? id.oldestSerial : quint64(1501));
    }
};

QTEST_GUILESS_MAIN(LinkIdentityMemory)
#include "link_identity_memory.moc"
