// The TCP state tick only looks at the socket: keys and clicks that arrive while it reads the state
// reach their controls, also when commands run their calls off the window's thread.
#include "support/WindowFixture.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <atomic>

class SpineTcpTick : public QObject {
    Q_OBJECT
private slots:
    void keysTypedDuringATickAreKept()
    {
        ScriptedOperator person;
        WindowFixture f(person, std::make_unique<ThreadedLinkCallRunner>());
        auto &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.optTcp->click();
        QVERIFY(w.TimerState->isActive());

        // The operator types "7" into Text8 while the first tick reads the state.
        std::atomic<int> ticks{0};
        QLineEdit *box = w.Text8;
        FakeDeviceLink::Answer state;
        state.result = 7;
        state.effect = [&ticks, box](const FakeDeviceLink::Call &) {
            if (ticks++ > 0) return;
            QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7"));
            QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyRelease, Qt::Key_7, Qt::NoModifier, "7"));
        };
        f.link->setDefault("tcpstate", state);
        w.TimerState->start(1);  // the first tick at once, not after two seconds
        QTRY_VERIFY(ticks >= 1);
        w.TimerState->stop();
        QTRY_COMPARE(box->text(), QString("7"));
        QCOMPARE(w.lblTcpState->text(), QString("已连接"));
    }
};

QTEST_MAIN(SpineTcpTick)
#include "spine_tcp_tick.moc"
