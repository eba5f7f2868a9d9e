#include "roster/RosterCommands.h"

RosterCommands::RosterCommands(const CommandContext &context, QObject *parent) : QObject(parent), ctx_(context) {}
