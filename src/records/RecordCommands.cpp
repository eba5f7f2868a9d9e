#include "records/RecordCommands.h"

#include "ui/FrmZevo.h"

#include <QPushButton>

RecordCommands::RecordCommands(const CommandContext &context, QObject *parent)
    : QObject(parent), collect(context), ctx_(context) {
    auto &w = ctx_.window;
    if (w.Command4) connect(w.Command4, &QPushButton::clicked, this, [this] { collect.command4(); });
    if (w.Command2) connect(w.Command2, &QPushButton::clicked, this, [this] { collect.command2(); });
}
