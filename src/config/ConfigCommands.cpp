#include "config/ConfigCommands.h"

#include "common/RaisedError.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

#include <QPushButton>

ConfigCommands::ConfigCommands(const CommandContext &context, QObject *parent)
    : QObject(parent), clock(context), parameters(context), terminal(context), display(context), ctx_(context)
{
    auto &w = ctx_.window;
    on(w.Command12, [this] { clock.command12(); });
    on(w.CmdSetClock, [this] { clock.cmdSetClock(); });
    for (int i = 0; i < int(w.TxtHour.size()); ++i) {
        if (w.TxtHour[i]) w.TxtHour[i]->validator = [this, i] { return clock.txtHourValidate(i); };
        if (w.TxtMin[i]) w.TxtMin[i]->validator = [this, i] { return clock.txtMinValidate(i); };
    }

    on(w.Cmd_Delay, [this] { parameters.cmdDelay(); });
    on(w.Command13, [this] { parameters.command13(); });
    on(w.Command23, [this] { parameters.command23(); });
    on(w.Command24, [this] { parameters.command24(); });

    on(w.Command16, [this] { terminal.command16(); });
    on(w.Command30, [this] { terminal.command30(); });
    on(w.Command31, [this] { terminal.command31(); });
    on(w.cmdGetStorage, [this] { terminal.cmdGetStorage(); });
    on(w.cmdSetStorage_1, [this] { terminal.cmdSetStorage_1(); });

    on(w.SetKorvaneLogo, [this] { display.setKorvaneLogo(); });
    on(w.Clear_Logo, [this] { display.clearLogo(); });
    on(w.DOWNLOG, [this] { display.downlog(); });
    on(w.cmdSendMsg, [this] { display.cmdSendMsg(); });
    on(w.Command26, [this] { display.command26(); });
    on(w.Command27, [this] { display.command27(); });
    on(w.cmdGetSounds, [this] { display.cmdGetSounds(); });
}

void ConfigCommands::on(QPushButton *button, std::function<void()> command)
{
    if (!button) return;
    connect(button, &QPushButton::clicked, this, [this, command = std::move(command)] {
        try {
            command();
        } catch (const RaisedError &e) {
            ctx_.op.message(e.report(), OperatorInterface::Buttons::Ok, OperatorInterface::Icon::Critical);
        } catch (const std::exception &e) {
            ctx_.op.message(QStringLiteral("0:") + QString::fromLocal8Bit(e.what()), OperatorInterface::Buttons::Ok,
                            OperatorInterface::Icon::Critical);
        }
    });
}
