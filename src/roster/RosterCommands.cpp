#include "roster/RosterCommands.h"

#include "ui/FrmZevo.h"

#include <QPushButton>

RosterCommands::RosterCommands(const CommandContext &context, QObject *parent)
    : QObject(parent), list_(context), cards_(context)
{
    auto &w = context.window;
    connect(w.Cmd_GetNameList, &QPushButton::clicked, this, [this] { list_.collect(); });
    connect(w.Cmd_GetNameList_All, &QPushButton::clicked, this, [this] { list_.collectRange(); });
    connect(w.Command3, &QPushButton::clicked, this, [this] { list_.browse(); });
    connect(w.Command6, &QPushButton::clicked, this, [this] { list_.count(); });
    connect(w.Command10, &QPushButton::clicked, this, [this] { list_.clear(); });
    connect(w.Command7, &QPushButton::clicked, this, [this] { cards_.readCard(); });
    connect(w.Command14, &QPushButton::clicked, this, [this] { cards_.issue(); });
    connect(w.Command15, &QPushButton::clicked, this, [this] { cards_.withdraw(); });
    connect(w.Command22, &QPushButton::clicked, this, [this] { cards_.find(); });
}
