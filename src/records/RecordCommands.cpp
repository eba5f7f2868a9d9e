#include "records/RecordCommands.h"

#include "ui/FrmZevo.h"

#include <QPushButton>

RecordCommands::RecordCommands(const CommandContext &context, QObject *parent)
    : QObject(parent), collect(context), counts(context), flags(context), check(context), panel(context), logs(context),
      ctx_(context)
{
    auto &w = ctx_.window;
    const auto on = [this](QPushButton *button, auto command) {
        if (button) connect(button, &QPushButton::clicked, this, command);
    };
    on(w.Command4, [this] { collect.command4(); });
    on(w.Command2, [this] { collect.command2(); });
    on(w.Command5, [this] { counts.command5(); });
    on(w.Command1_8, [this] { counts.command1_8(); });
    on(w.Command11, [this] { flags.command11(); });
    on(w.Command8, [this] { flags.command8(); });
    on(w.Command9, [this] { flags.command9(); });
    on(w.cmdCheckData, [this] { check.cmdCheckData(); });
    on(w.Command17, [this] { panel.command17(); });
    on(w.Command20, [this] { panel.command20(); });
    on(w.Command21, [this] { panel.command21(); });
    on(w.Command18, [this] { panel.command18(); });
    on(w.Command19, [this] { panel.command19(); });
    connect(&w, &FrmZevo::label9Clicked, this, [this] { panel.label9(); });
    connect(&w, &FrmZevo::label13Clicked, this, [this] { panel.label13(); });
    on(w.cmdReadClearLog, [this] { logs.cmdReadClearLog(); });
    on(w.Command25, [this] { logs.command25(); });
}
