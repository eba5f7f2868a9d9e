// Closing the console while a terminal holds an exchange, and saving at close where Public.Sys cannot
// be written: the window goes at once (the exchange abandoned), and a failed save is said.
#include "app/Console.h"
#include "attlink/AttLinkComponent.h"
#include "support/LyingTerminal.h"
#include "support/ScriptedOperator.h"
#include "ui/FrmZevo.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class SpineCloseHostile : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::unique_ptr<Console> console(ScriptedOperator &op, const QString &app)
    {
        QDir().mkpath(app);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.filePath(QStringLiteral("settings")));
        DeviceLinkFactory factory;
        factory.registerComponent(DeviceLinkFactory::ProgId, [app] { return createAttLink(app); });
        auto c = std::make_unique<Console>(factory, op, app, std::make_unique<ThreadedLinkCallRunner>());
        c->setExitHandler([] {});
        c->load();
        return c;
    }

    // The console, shown, on TCP to `terminal` at address 105, one attempt of at most deadlineMs a call;
    // null when it cannot connect.
    std::unique_ptr<Console> consoleOn(const LyingTerminal &terminal, ScriptedOperator &op, const QString &name,
                                       int deadlineMs)
    {
        const QString app = dir_.filePath(name);
        QDir().mkpath(app);
        QFile ini(app + QStringLiteral("/AttLink.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(QStringLiteral("[Link]\nReplyDeadline=%1\nRetries=0\n").arg(deadlineMs).toLatin1());
        ini.close();
        auto c = console(op, app);
        c->window().show();
        if (!c->link().Connect_Net(QStringLiteral("127.0.0.1"), terminal.portText()).toBool()) return nullptr;
        c->link().Mode(1);
        c->window().TxtAddress->setText(QStringLiteral("105"));
        return c;
    }

private slots:
    // A terminal that trickles forever (the deadline set to ten minutes): the close box ends the
    // collection, and the window closes once the abandoned call has returned.
    void closeAbandonsTheExchangeInProgress()
    {
        LyingTerminal terminal(LyingTerminal::Mode::Trickle);
        ScriptedOperator op;
        auto c = consoleOn(terminal, op, QStringLiteral("abandon"), 600000);
        QVERIFY(c);
        FrmZevo &w = c->window();
        QTimer::singleShot(0, &w, [&] {
            QVERIFY(QTest::qWaitFor([&] { return terminal.requests() > 0; }, 20000));
            w.close();
        });
        w.Command4->click();  // 采集数据: returns once the abandoned call has ended
        QVERIFY2(w.statusText().contains(QStringLiteral("通讯已中止")), qPrintable(w.statusText()));
        QTRY_VERIFY(!w.isVisible());
    }

    // A tooltip that closes itself during an exchange is no close of the console: the call runs to its
    // own end and the link stays usable.
    void closingTooltipLeavesTheExchangeAlone()
    {
        LyingTerminal terminal(LyingTerminal::Mode::Trickle);
        ScriptedOperator op;
        auto c = consoleOn(terminal, op, QStringLiteral("tooltip"), 1500);
        QVERIFY(c);
        FrmZevo &w = c->window();
        QWidget tip(nullptr, Qt::ToolTip);
        tip.show();
        QTimer::singleShot(0, &w, [&] {
            QVERIFY(QTest::qWaitFor([&] { return terminal.requests() > 0; }, 20000));
            tip.close();
        });
        w.Command4->click();
        QVERIFY2(!w.statusText().contains(QStringLiteral("通讯已中止")), qPrintable(w.statusText()));
        QVERIFY(!tip.isVisible());
        QVERIFY(w.isVisible());
    }

    // Public.Sys cannot be replaced (a folder holds its name): the close says so in a box.
    void failedSaveAtCloseIsSaid()
    {
        const QString app = dir_.filePath(QStringLiteral("unwritable"));
        QDir().mkpath(app + QStringLiteral("/Public.Sys"));
        ScriptedOperator op;
        auto c = console(op, app);
        c->window().close();
        QCOMPARE(op.boxes.size(), 1);
        QVERIFY2(op.boxes[0].text.startsWith(QStringLiteral("无法保存 %1/Public.Sys：").arg(app)),
                 qPrintable(op.boxes[0].text));
    }
};

QTEST_MAIN(SpineCloseHostile)
#include "spine_close_hostile.moc"
