// The program's path from start to end around the application object: a device link that cannot be
// created ends it with a message and a failure status before any window shows; otherwise the window
// shows and SIGTERM or SIGINT close it as the close box does, saving the settings.
#include "app/ConsoleMain.h"
#include "link/DeviceLinkFactory.h"
#include "link/LinkError.h"
#include "support/FakeDeviceLink.h"
#include "support/ScriptedOperator.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

FrmZevo *shownWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *z = qobject_cast<FrmZevo *>(w); z && z->isVisible()) return z;
    return nullptr;
}

bool anyWindowShown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible()) return true;
    return false;
}

}  // namespace

class SpineMain : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString appFolder() const { return dir_.path() + "/app"; }

private slots:
    void initTestCase()
    {
        QDir().mkpath(appFolder());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path() + "/settings");
    }

    void linkNotCreatable_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("not registered") << 0;
        QTest::newRow("creator throws") << 1;
        QTest::newRow("creator gives nothing") << 2;
    }
    void linkNotCreatable()
    {
        QFETCH(int, how);
        DeviceLinkFactory factory;
        if (how == 1)
            factory.registerComponent(DeviceLinkFactory::ProgId, []() -> std::unique_ptr<DeviceLink> {
                throw LinkError(-2147221164, "没有注册类");
            });
        if (how == 2)
            factory.registerComponent(DeviceLinkFactory::ProgId, [] { return std::unique_ptr<DeviceLink>(); });
        ScriptedOperator op;
        bool looped = false;
        const int status = runConsole(factory, op, appFolder(), std::make_unique<DirectLinkCallRunner>(), [&] {
            looped = true;
            return 0;
        });
        QCOMPARE(status, 1);
        QVERIFY(!looped);
        QVERIFY(!anyWindowShown());
        QCOMPARE(op.boxes.size(), 1);
        QVERIFY(op.boxes[0].text.contains("429"));
        QVERIFY(op.boxes[0].text.contains("ATTLINK_v70.Connect_v70"));
        QCOMPARE(op.boxes[0].icon, OperatorInterface::Icon::Critical);
        QVERIFY(!QFile::exists(appFolder() + "/Public.Sys"));
    }

    void runsTheLoopWithTheWindowShown()
    {
        DeviceLinkFactory factory;
        FakeDeviceLink *link = nullptr;
        factory.registerComponent(DeviceLinkFactory::ProgId, [&] {
            auto fake = std::make_unique<FakeDeviceLink>();
            link = fake.get();
            return fake;
        });
        ScriptedOperator op;
        const int status = runConsole(factory, op, appFolder(), std::make_unique<DirectLinkCallRunner>(), [&] {
            FrmZevo *w = shownWindow();
            if (!w || !link || link->count("Ver") != 1) return -1;  // start-up ran before the window showed
            return 7;
        });
        QCOMPARE(status, 7);
        QVERIFY(!anyWindowShown());
    }

    void signalClosesAndSaves_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalClosesAndSaves()
    {
        QFETCH(int, signal);
        QFile::remove(appFolder() + "/Public.Sys");
        DeviceLinkFactory factory;
        factory.registerComponent(DeviceLinkFactory::ProgId, [] { return std::make_unique<FakeDeviceLink>(); });
        ScriptedOperator op;
        const QString address = QString::number(signal);
        const int status = runConsole(factory, op, appFolder(), std::make_unique<DirectLinkCallRunner>(), [&] {
            FrmZevo *w = shownWindow();
            if (!w) return -1;
            w->TxtAddress->setText(address);
            std::raise(signal);
            if (!QTest::qWaitFor([] { return !anyWindowShown(); }, 5000)) return -2;
            return 0;
        });
        QCOMPARE(status, 0);
        QVERIFY(QFile::exists(appFolder() + "/Public.Sys"));
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, "RERozo", "Zevo");
        QCOMPARE(settings.value("Address/Value").toString(), address);
        QCOMPARE(settings.value("Com/Value").toString(), QString("1"));
        QVERIFY(settings.contains("KqIP/Value"));
        QVERIFY(settings.contains("KqTcpPort/Value"));
    }

    // Once the console is gone the signals are the system's again: the handler does not outlive it.
    void handlersGoWithTheConsole()
    {
        DeviceLinkFactory factory;
        factory.registerComponent(DeviceLinkFactory::ProgId, [] { return std::make_unique<FakeDeviceLink>(); });
        ScriptedOperator op;
        runConsole(factory, op, appFolder(), std::make_unique<DirectLinkCallRunner>(), [] { return 0; });
        struct sigaction now {};
        sigaction(SIGTERM, nullptr, &now);
        QVERIFY(now.sa_handler == SIG_DFL);
    }
};

QTEST_MAIN(SpineMain)
#include "spine_main.moc"
