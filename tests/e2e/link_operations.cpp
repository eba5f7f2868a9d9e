// Every device-link operation against the terminal simulator: over TCP through the console's own
// connection controls, and over the pseudo-terminal that AttLink.ini maps as Com2.

#include "support/SimConsole.h"
#include "support/SimProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

class LinkOperations : public QObject {
    Q_OBJECT
private slots:
    void collectsOverThePtyAtStartUp()
    {
        SimProcess sim({QStringLiteral("--terminal"), QStringLiteral("18"), QStringLiteral("--records"),
                        QStringLiteral("300")},
                       SimProcess::WithPty);
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        SimConsole c(sim);
        c.w().Command4->click();
        QCOMPARE(c.w().statusText().left(15), QStringLiteral(" 采集到的记录数为：300  "));
        const QStringList raw = fileLines(c.appFile(QStringLiteral("DataRecordSet_original.txt")));
        QCOMPARE(raw.size(), 300);
        const QJsonArray records = sim.terminal(18)[QStringLiteral("records")].toArray();
        QCOMPARE(records.size(), 300);
        QCOMPARE(raw[0].mid(3, 8), records[0][QStringLiteral("card")].toString());
    }

    void collectsOverTcp()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("600")});
        if (!sim.start()) QSKIP(qPrintable(sim.errorText()));
        SimConsole c(sim);
        QVERIFY(c.useTcp());
        c.w().TxtAddress->setText(QStringLiteral("105"));
        c.w().Command4->click();
        QVERIFY2(c.w().statusText().startsWith(QStringLiteral(" 采集到的记录数为：600  ")), qPrintable(c.w().statusText()));
        QCOMPARE(fileLines(c.appFile(QStringLiteral("DataRecordSet_original.txt"))).size(), 600);
        QCOMPARE(fileLines(c.appFile(QStringLiteral("DataRecordSet.txt"))).first().size(), 23);
    }
};

QTEST_MAIN(LinkOperations)
#include "link_operations.moc"
