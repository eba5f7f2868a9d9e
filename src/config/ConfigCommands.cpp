#include "config/ConfigCommands.h"

ConfigCommands::ConfigCommands(const CommandContext &context, QObject *parent) : QObject(parent), ctx_(context) {}
