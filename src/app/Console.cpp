#include "app/Console.h"

#include "app/ConnectionCommands.h"
#include "app/SettingsStore.h"
#include "app/SysProfile.h"
#include "common/AppFolders.h"
#include "common/NumberText.h"
#include "config/ConfigCommands.h"
#include "link/LinkError.h"
#include "link/LinkResult.h"
#include "records/RecordCommands.h"
#include "roster/RosterCommands.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>

Console::Console(const DeviceLinkFactory &factory, OperatorInterface &op, const QString &appFolder,
                 std::unique_ptr<LinkCallRunner> runner)
    : appFolder_(appFolder), op_(op), link_(factory.create(DeviceLinkFactory::ProgId)), runner_(std::move(runner)),
      settings_(std::make_unique<SettingsStore>()), window_(std::make_unique<FrmZevo>())
{
    const CommandContext ctx = context();
    connection_ = std::make_unique<ConnectionCommands>(ctx, *settings_);
    records_ = std::make_unique<RecordCommands>(ctx);
    roster_ = std::make_unique<RosterCommands>(ctx);
    config_ = std::make_unique<ConfigCommands>(ctx);

    // Closing the window during a terminal exchange ends the exchange instead of waiting it out.
    runner_->setAbandonHandler([this] {
        if (link_) link_->abandon();
    });
    QObject::connect(window_.get(), &FrmZevo::unloading, window_.get(), [this] { unload(); });
    QObject::connect(window_->Cmd_Exit, &QPushButton::clicked, window_.get(), [this] { exitWithoutSaving(); });
}

Console::~Console() = default;

CommandContext Console::context() { return CommandContext{*window_, *link_, *runner_, op_, appFolder_}; }

void Console::load()
{
    FrmZevo &w = *window_;
    w.txtIP->setText(settings_->read(QStringLiteral("KqIP"), QStringLiteral("192.168.1.226")));
    w.txtTcpPort->setText(settings_->read(QStringLiteral("KqTcpPort"), QStringLiteral("1001")));
    w.TxtAddress->setText(settings_->read(QStringLiteral("Address"), QStringLiteral("18")));
    const QString com = settings_->read(QStringLiteral("Com"), QStringLiteral("2"));

    // A failing SetPort or Ver at start-up must not stop the console: the yellow lamp or the status
    // bar shows it and the operator goes on from the toolbar.
    bool selected = false;
    QString startError;
    try {
        runner_->run([&] {
            QVariant port = com;
            selected = LinkResult::toBool(link_->SetPort(port));
        });
    } catch (const RaisedError &e) {
        startError = e.report();
    }
    const double n = NumberText::leadingNumber(com);
    if (n >= 1 && n <= 8 && n == std::floor(n)) w.setComButton(int(n), selected, selected ? 1 : 3);

    w.Picture3->move(109, w.Picture3->y());  // 1635 twips inside Frame2
    SysProfile::ReadSys(w, appFolder_);

    try {
        QVariant ver;
        runner_->run([&] { ver = link_->Ver(); });
        w.lbl_DllVer->setText(LinkResult::toText(ver));
    } catch (const RaisedError &e) {
        if (startError.isEmpty()) startError = e.report();
    }
    // Every file the commands write goes into this folder: say at once when it cannot be written, after
    // any error of the start itself.
    if (!AppFolders::writable(appFolder_)) {
        const QString unwritable =
            QStringLiteral("无法写入文件夹，记录文件和设置不能保存：") + QDir::toNativeSeparators(appFolder_);
        startError = startError.isEmpty() ? unwritable : startError + QStringLiteral("  ") + unwritable;
    }
    if (!startError.isEmpty()) w.setStatusText(startError);

    w.cmbStorageModel->clear();
    w.cmbStorageModel->addItem(QStringLiteral("实时"));
    w.cmbStorageModel->addItem(QStringLiteral("脱机"));
    w.cmbStorageModel->setCurrentIndex(0);
}

void Console::unload()
{
    if (exited_) return;  // the Exit path saves nothing
    FrmZevo &w = *window_;
    settings_->write(QStringLiteral("Com"), QStringLiteral("1"));
    settings_->write(QStringLiteral("Address"), w.TxtAddress->text());
    settings_->write(QStringLiteral("KqIP"), w.txtIP->text());
    settings_->write(QStringLiteral("KqTcpPort"), w.txtTcpPort->text());
    const QString error = SysProfile::WriteSys(w, appFolder_);
    if (!error.isEmpty()) op_.message(error, OperatorInterface::Buttons::Ok, OperatorInterface::Icon::Critical);
}

void Console::exitWithoutSaving()
{
    exited_ = true;
    window_->TimerState->stop();
    window_->setEnabled(false);
    window_->hide();
    link_.reset();
    if (exitHandler_)
        exitHandler_();
    else
        QCoreApplication::exit(0);
}
