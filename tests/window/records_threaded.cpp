#include "app/Console.h"
#include "support/FakeDeviceLink.h"
#include "support/ScriptedOperator.h"
#include "ui/FrmZevo.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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

// The console as main() builds it, on the threaded runner, with the scripted link and operator.
struct ThreadedConsole {
    ThreadedConsole()
    {
        QDir().mkpath(dir.path() + "/app");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/settings");
        DeviceLinkFactory factory;
        factory.registerComponent(DeviceLinkFactory::ProgId, [this] {
            auto fake = std::make_unique<FakeDeviceLink>();
            link = fake.get();
            return fake;
        });
        console =
            std::make_unique<Console>(factory, op, dir.path() + "/app", std::make_unique<ThreadedLinkCallRunner>());
        console->setExitHandler([] {});
        console->load();
    }
    FrmZevo &w() { return console->window(); }

    QTemporaryDir dir;
    ScriptedOperator op;
    FakeDeviceLink *link = nullptr;
    std::unique_ptr<Console> console;
};

// An answer whose call blocks the worker for a while, as a slow terminal does.
FakeDeviceLink::Answer slow(int milliseconds, QVariant result = true)
{
    FakeDeviceLink::Answer a;
    a.result = std::move(result);
    a.effect = [milliseconds](const FakeDeviceLink::Call &) { QThread::msleep(milliseconds); };
    return a;
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

class RecordsThreaded : public QObject {
    Q_OBJECT
private slots:
    void callRunsOnTheWorkerAndTheWindowPaintsButTakesNoInput()
    {
        ThreadedConsole c;
        auto &w = c.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        PaintCounter counter;
        w.statusLabel_->installEventFilter(&counter);

        QThread *callThread = nullptr;
        FakeDeviceLink::Answer a = slow(800);
        const auto sleep = a.effect;
        a.effect = [&, sleep](const FakeDeviceLink::Call &call) {
            callThread = QThread::currentThread();
            sleep(call);
        };
        c.link->script("ClearFlag", a);
        int paintsDuringCall = -1;
        QString typed;
        QTimer::singleShot(150, [&] {
            counter.paints = 0;
            w.setStatusText("painted while the call runs");
        });
        QTimer::singleShot(250, [&] {
            QTest::mouseClick(w.Command5, Qt::LeftButton);
            QTest::keyClicks(w.Text8, "0079");
            QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, w.Command9->mapTo(&w, w.Command9->rect().center()));
        });
        QTimer::singleShot(500, [&] {
            paintsDuringCall = counter.paints;
            typed = w.Text8->text();
        });
        w.Command8->click();

        QVERIFY(callThread && callThread != QThread::currentThread());
        QVERIFY2(paintsDuringCall > 0, "the status bar was not repainted during the call");
        QCOMPARE(typed, QString());
        QCOMPARE(w.statusText(), QString("清除卡标志成功"));
        QTest::qWait(100);
        // Neither the clicks nor the keys made during the call reached their controls, then or later.
        QCOMPARE(c.link->count("GatherRecordSum"), 0);
        QCOMPARE(c.link->count("ReadCardNum"), 0);
        QCOMPARE(w.Text8->text(), QString());
        // Afterwards the window takes input as usual.
        QTest::mouseClick(w.Command5, Qt::LeftButton);
        QCOMPARE(c.link->count("GatherRecordSum"), 1);
    }

    void ticksThatFallDueDuringACallRunOnceAfterIt()
    {
        ThreadedConsole c;
        auto &w = c.w();
        w.show();
        w.optTcp->click();
        QVERIFY(w.TimerState->isActive());
        w.TimerState->setInterval(500);
        w.TimerState->start();  // ticks fall due at 500, 1000 and 1500 ms, all during the call
        c.link->clearCalls();
        c.link->script("ClearFlag", slow(1700));
        w.Command8->click();
        QCOMPARE(c.link->count("tcpstate"), 0);
        QCoreApplication::processEvents();
        QCOMPARE(c.link->count("tcpstate"), 1);
        QCOMPARE(c.link->calls.first().op, QString("ClearFlag"));
        QCOMPARE(w.lblTcpState->text(), QString("已连接"));
        // Then the timer goes on as before.
        QTRY_COMPARE_WITH_TIMEOUT(c.link->count("tcpstate"), 2, 2000);
        w.optCom->click();
    }

    void deferredTickIsDroppedWhenTheTimerStoppedMeanwhile()
    {
        ThreadedConsole c;
        auto &w = c.w();
        w.optTcp->click();
        w.TimerState->setInterval(100);
        w.TimerState->start();
        c.link->clearCalls();
        c.link->script("ClearFlag", slow(400));
        QTimer::singleShot(250, [&] { w.TimerState->stop(); });
        w.Command8->click();
        QTest::qWait(50);
        QCOMPARE(c.link->count("tcpstate"), 0);
    }

    void closeDuringACallWaitsForItsEnd()
    {
        ThreadedConsole c;
        auto &w = c.w();
        w.show();
        bool visibleAfterClose = false;
        c.link->script("ClearFlag", slow(500));
        QTimer::singleShot(150, [&] {
            w.close();
            visibleAfterClose = w.isVisible();
        });
        w.Command8->click();
        QVERIFY(visibleAfterClose);
        QCOMPARE(w.statusText(), QString("清除卡标志成功"));
        QTRY_VERIFY(!w.isVisible());
    }

    void errorsAndProgressReachTheGuiThread()
    {
        ThreadedConsole c;
        auto &w = c.w();
        FakeDeviceLink::Answer fail;
        fail.error = LinkError(8002, "通讯超时");
        fail.effect = [](const FakeDeviceLink::Call &) { QThread::msleep(50); };
        c.link->script("ClearFlag", fail);
        w.Command8->click();
        QCOMPARE(c.op.boxes.size(), 1);
        QCOMPARE(c.op.boxes[0].text, QString("8002:通讯超时"));

        // Progress comes from the worker thread, many reports at once; the bar shows the latest.
        FakeDeviceLink *link = c.link;
        FakeDeviceLink::Answer gather;
        gather.outs = {{5, 0}};
        gather.effect = [link](const FakeDeviceLink::Call &) {
            for (int i = 1; i <= 1000; ++i) link->emitProgress(i, 2000);
            QThread::msleep(400);
        };
        c.link->script("GatherData", gather);
        int valueDuringCall = -1, maximumDuringCall = -1;
        QTimer::singleShot(250, [&] {
            valueDuringCall = w.StatusProgress->value();
            maximumDuringCall = w.StatusProgress->maximum();
        });
        w.Command4->click();
        QCOMPARE(valueDuringCall, 1000);
        QCOMPARE(maximumDuringCall, 2000);
        QVERIFY(w.StatusProgress->isHidden());
    }

    void runnerWithoutWindow()
    {
        ThreadedLinkCallRunner runner;
        QVERIFY(!runner.busy());
        bool busyInside = false;
        QList<int> order;
        runner.run([&] { busyInside = runner.busy(); });
        QVERIFY(busyInside);
        runner.whenIdle([&] { order << 1; });  // idle: at once
        QCOMPARE(order, QList<int>{1});

        // Work deferred during a call runs after it, in order, on the GUI thread.
        QThread *deferredThread = nullptr;
        QTimer::singleShot(20, [&] {
            QVERIFY(runner.busy());
            runner.whenIdle([&] {
                order << 2;
                deferredThread = QThread::currentThread();
            });
            runner.whenIdle([&] { order << 3; });
        });
        runner.run([] { QThread::msleep(200); });
        QCOMPARE(order, QList<int>{1});
        QTRY_COMPARE(order, (QList<int>{1, 2, 3}));
        QCOMPARE(deferredThread, QThread::currentThread());

        // Any exception the call throws comes back on the caller's thread.
        bool caught = false;
        try {
            runner.run([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error &e) {
            caught = QByteArray(e.what()) == "boom";
        }
        QVERIFY(caught);
        QVERIFY(!runner.busy());
    }
};

QTEST_MAIN(RecordsThreaded)
#include "records_threaded.moc"
