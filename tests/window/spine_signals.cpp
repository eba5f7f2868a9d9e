// SIGTERM and SIGINT while a message box or a file dialog is open: the box is answered as cancelled,
// the command that opened it finishes, and then the window closes as its close box closes it, so a
// logout or Ctrl+C ends the program. Runs offscreen, and under Xvfb as its own CTest test.
#include "app/DesktopOperator.h"
#include "app/SettingsStore.h"
#include "app/SignalCloser.h"
#include "support/WindowFixture.h"
#include "ui/RecordLineList.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

struct Outcome {
    bool signalled = false;     // a box or dialog was open when the signal went
    bool commandEnded = false;  // the command that opened it returned
    bool windowClosed = false;  // the close box's shut-down ran
    QStringList stillOpen;      // top-level widgets left visible: with none, the program ends
};

// Runs `command` inside the window's event loop, raises `sig` once a modal box or dialog is open, and
// waits until the window has closed after the command ended (or gives up after a generous bound, so
// that a program that hangs fails instead of blocking the suite).
Outcome closeBySignal(WindowFixture &f, int sig, const std::function<void()> &command)
{
    Outcome out;
    auto &w = f.w();
    w.show();
    w.activateWindow();
    QApplication::setQuitOnLastWindowClosed(false);
    QEventLoop windowLoop;
    auto settle = [&] {
        if (out.commandEnded && out.windowClosed) windowLoop.quit();
    };
    QMetaObject::Connection closed = QObject::connect(&w, &FrmZevo::unloading, [&] {
        out.windowClosed = true;
        QTimer::singleShot(0, &windowLoop, settle);
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!out.signalled && QApplication::activeModalWidget() && QApplication::activeModalWidget()->isVisible()) {
            out.signalled = true;
            ::raise(sig);
        }
    });
    watch.start(10);
    QTimer::singleShot(0, &windowLoop, [&] {
        command();
        out.commandEnded = true;
        settle();
    });
    QTimer::singleShot(60000, &windowLoop, [&] { windowLoop.quit(); });

    SignalCloser closer(w);
    windowLoop.exec();
    watch.stop();
    QObject::disconnect(closed);
    QCoreApplication::processEvents();
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible())
            out.stillOpen << QString::fromLatin1(top->metaObject()->className()) + " " + top->objectName();
    return out;
}

#define EXPECT_CLOSED(o)                                                                                               \
    do {                                                                                                               \
        QVERIFY2((o).signalled, "no box or dialog was open");                                                          \
        QVERIFY((o).commandEnded);                                                                                     \
        QVERIFY((o).windowClosed);                                                                                     \
        QVERIFY2((o).stillOpen.isEmpty(), qPrintable((o).stillOpen.join(", ")));                                       \
    } while (false)

}  // namespace

class SpineSignals : public QObject {
    Q_OBJECT
    DesktopOperator person_;

private slots:
    // The address check's box: the refused text is thrown away, not saved for the next start.
    void addressCheckBox_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void addressCheckBox()
    {
        QFETCH(int, sig);
        WindowFixture f(person_, std::make_unique<ThreadedLinkCallRunner>());
        f.w().TxtAddress->setText("300");
        const Outcome o = closeBySignal(f, sig, [&] { f.w().TxtAddress->validate(); });
        EXPECT_CLOSED(o);
        QVERIFY(f.console->settings().contains("Address"));
        QVERIFY(f.console->settings().read("Address", "none") != "300");
    }

    // A Yes/No confirmation is answered No: nothing is cleared.
    void confirmationBox()
    {
        WindowFixture f(person_, std::make_unique<ThreadedLinkCallRunner>());
        f.w().TxtAddress->setText("18");
        const Outcome o = closeBySignal(f, SIGTERM, [&] { f.w().Command11->click(); });
        EXPECT_CLOSED(o);
        QCOMPARE(f.link->count("ClearRecord"), 0);
    }

    // The send-records panel's open-file dialog chooses nothing: the list is left as it was.
    void fileDialog()
    {
        WindowFixture f(person_, std::make_unique<ThreadedLinkCallRunner>());
        f.w().Command17->click();
        f.w().List1->addItem("1050079A785070927093628");
        const Outcome o = closeBySignal(f, SIGINT, [&] { f.w().Command18->click(); });
        EXPECT_CLOSED(o);
        QCOMPARE(f.w().List1->count(), 1);
        QCOMPARE(f.w().List1->text(0), QString("1050079A785070927093628"));
    }

    // A box that the shut-down itself opens (a file that cannot be saved, say) is answered too.
    void boxOpenedByTheShutDown()
    {
        WindowFixture f(person_, std::make_unique<ThreadedLinkCallRunner>());
        auto &w = f.w();
        bool boxAnswered = false;
        QObject::connect(&w, &FrmZevo::unloading, &w, [&] {
            person_.message("无法保存", OperatorInterface::Buttons::Ok, OperatorInterface::Icon::Critical, QString());
            boxAnswered = true;
        });
        w.show();
        QApplication::setQuitOnLastWindowClosed(false);
        SignalCloser closer(w);
        QEventLoop windowLoop;
        QTimer::singleShot(0, [] { ::raise(SIGTERM); });
        QTimer done;
        QObject::connect(&done, &QTimer::timeout, [&] {
            if (boxAnswered && !w.isVisible()) windowLoop.quit();
        });
        done.start(10);
        QTimer::singleShot(60000, &windowLoop, &QEventLoop::quit);
        windowLoop.exec();
        QVERIFY(boxAnswered);
        QVERIFY(!w.isVisible());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // No box open: the window closes at once and saves.
    void noBox()
    {
        WindowFixture f(person_, std::make_unique<ThreadedLinkCallRunner>());
        f.w().TxtAddress->setText("42");
        Outcome o;
        {
            auto &w = f.w();
            w.show();
            QApplication::setQuitOnLastWindowClosed(false);
            SignalCloser closer(w);
            QEventLoop windowLoop;
            QObject::connect(&w, &FrmZevo::unloading, &windowLoop, [&] {
                o.windowClosed = true;
                QTimer::singleShot(0, &windowLoop, &QEventLoop::quit);
            });
            QTimer::singleShot(0, [] { ::raise(SIGTERM); });
            QTimer::singleShot(60000, &windowLoop, &QEventLoop::quit);
            windowLoop.exec();
        }
        QVERIFY(o.windowClosed);
        QVERIFY(!f.w().isVisible());
        QCOMPARE(f.console->settings().read("Address", "none"), QString("42"));
    }
};

QTEST_MAIN(SpineSignals)
#include "spine_signals.moc"
