#include "records/RecordCommands.h"

RecordCommands::RecordCommands(const CommandContext &context, QObject *parent) : QObject(parent), ctx_(context) {}
