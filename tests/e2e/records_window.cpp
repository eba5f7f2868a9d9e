// The records commands of the window against attsim over TCP, through our device link: a collection
// of generated records in a layout with separators, the collected file loaded into the send-records
// panel and sent to a second terminal, and a long collection on the threaded runner that keeps the
// window painting and its progress bar moving.

#include "app/Console.h"
#include "attlink/AttLinkComponent.h"
#include "common/TextCodec.h"
#include "support/FileContent.h"
#include "support/ScriptedOperator.h"
#include "support/SimConsole.h"
#include "support/SimProcess.h"
#include "ui/FrmZevo.h"
#include "ui/ThreadedLinkCallRunner.h"
#include "ui/RecordLineList.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

QJsonArray records(SimProcess &sim, int address) { return sim.terminal(address).value("records").toArray(); }

// "2009-03-02 07:45:12" as the raw line holds it: yyMMddhhmmss.
QString rawTime(const QJsonValue &record)
{
    return record["time"].toString().remove(u'-').remove(u':').remove(u' ').mid(2);
}

}  // namespace

#define START(sim) QVERIFY2((sim).start(), qPrintable((sim).errorText()))

class RecordsWindow : public QObject {
    Q_OBJECT
private slots:
    void collectionInALayoutWithSeparators()
    {
        SimProcess sim({"--terminal", "18", "--records", "1500"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        const QStringList separators{"<", ",", ",", "-", "-", " ", ":", ":", ">"};
        for (int i = 0; i < 9; ++i) w.TxtF[i]->setText(separators[i]);
        w.TxtT[7]->setText("标志");  // the flag instead of the seconds
        w.Command4->click();
        QCOMPARE(w.statusText(), QString(" 采集到的记录数为：1500  共采集 1500 条记录"));

        const QJsonArray held = records(sim, 18);
        const QStringList raw = crlfLines(c.appFile("DataRecordSet_original.txt"));
        const QStringList formatted = crlfLines(c.appFile("DataRecordSet.txt"));
        QCOMPARE(held.size(), 1500);
        QCOMPARE(raw.size(), 1500);
        QCOMPARE(formatted.size(), 1500);
        for (int i = 0; i < held.size(); ++i) {
            const QString card = held[i]["card"].toString(), t = rawTime(held[i]), flag = held[i]["flag"].toString();
            QCOMPARE(raw[i], "018" + card + t + flag);
            QCOMPARE(formatted[i],
                     "<018," + card + "," + t.mid(0, 2) + "-" + t.mid(2, 2) + "-" + t.mid(4, 2) + " " + t.mid(6, 2)
                         + ":" + t.mid(8, 2) + ":" + flag + ">");
        }

        // The link's own check of what was collected, then a count that matches.
        w.cmdCheckData->click();
        QCOMPARE(w.statusText(), QString("数据合法！"));
        w.Command5->click();
        QCOMPARE(w.Label->text(), QString("1500 条"));
        QVERIFY(c.op.boxes.isEmpty());
    }

    void collectedRecordsSentFromThePanelArriveInTheSimulator()
    {
        SimProcess sim({"--terminal", "18", "--terminal", "19", "--records", "40"});
        START(sim);
        SimConsole c(sim);
        auto &w = c.w();
        QVERIFY(c.useTcp());
        w.TxtAddress->setText("18");
        w.Command4->click();
        QCOMPARE(crlfLines(c.appFile("DataRecordSet.txt")).size(), 40);

        // The collected file, in the default layout, goes back out to terminal 19.
        w.TxtAddress->setText("19");
        w.Command17->click();
        QCOMPARE(w.Text4->text(), QString("19"));
        c.op.files.enqueue(c.appFile("DataRecordSet.txt"));
        w.Command18->click();
        QCOMPARE(w.List1->count(), 40);
        QCOMPARE(w.DataCount->text(), QString("40"));
        w.Command19->click();
        QCOMPARE(w.statusText(), QString("第：39条发送成功"));
        QCOMPARE(w.List1->selectedCount(), 0);

        const QJsonArray sent = records(sim, 18), arrived = records(sim, 19);
        QCOMPARE(arrived.size(), 40);
        for (int i = 0; i < 40; ++i) {
            QCOMPARE(arrived[i]["card"].toString(), sent[i]["card"].toString());
            QCOMPARE(arrived[i]["time"].toString(), sent[i]["time"].toString());
        }

        // Then a cleared terminal counts none, and a send to a terminal that is not there fails.
        w.TxtAddress->setText("19");
        w.Command11->click();
        QCOMPARE(w.statusText(), QString("删除记录成功"));
        QCOMPARE(records(sim, 19).size(), 0);
        w.Text4->setText("77");
        w.Text1->setText("0079A785090305080706");
        w.Command21->click();
        QCOMPARE(w.statusText(), QString("发送失败"));
    }

    void longCollectionOnTheThreadedRunner()
    {
        // Several replies of 16384 records, each a while coming.
        SimProcess sim({"--terminal", "18", "--records", "60000", "--delay", "200"});
        START(sim);
        // The console as main() builds it: the real link on the threaded runner.
        QTemporaryDir dir;
        const QString app = dir.path() + "/app";
        QDir().mkpath(app);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/settings");
        {
            QSettings ini(app + "/AttLink.ini", QSettings::IniFormat);
            ini.setValue("Ports/Com2", dir.path() + "/no-such-port");
            ini.setValue("Link/ResponseTimeout", 700);
            ini.setValue("Link/Retries", 2);
        }
        DeviceLinkFactory factory;
        factory.registerComponent(DeviceLinkFactory::ProgId, [app] { return createAttLink(app); });
        ScriptedOperator op;
        Console console(factory, op, app, std::make_unique<ThreadedLinkCallRunner>());
        console.setExitHandler([] {});
        console.load();
        auto &w = console.window();
        w.show();
        w.optTcp->click();
        w.txtIP->setText(sim.host());
        w.txtTcpPort->setText(sim.portText());
        w.cmdConnectNet->click();
        QCOMPARE(w.lblTcpState->text(), QString("连接成功！"));
        w.TxtAddress->setText("18");

        QList<int> seen;  // progress value, maximum and visibility, sampled while the call runs
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            if (!w.StatusProgress->isHidden()) seen << w.StatusProgress->value();
        });
        sampler.start(50);
        w.Command4->click();
        sampler.stop();
        QCOMPARE(w.statusText(), QString(" 采集到的记录数为：60000  共采集 60000 条记录"));
        QCOMPARE(crlfLines(app + "/DataRecordSet.txt").size(), 60000);
        QVERIFY2(seen.size() >= 3, "the window did not keep running during the collection");
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY2(seen.last() > 0, "no progress reached the bar");
        QVERIFY(w.StatusProgress->isHidden());
        // The connection timer went on being served afterwards.
        QTRY_COMPARE_WITH_TIMEOUT(w.lblTcpState->text(), QString("已连接"), 5000);
        QVERIFY(op.boxes.isEmpty());
    }
};

QTEST_MAIN(RecordsWindow)
#include "records_window.moc"
