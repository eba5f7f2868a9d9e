#pragma once

#include "sim/Terminal.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <memory>

// The terminals' whole state as JSON: the `dump` line and the --state file share this form.
// Names and texts are UTF-8 text; times are "yyyy-MM-dd hh:mm:ss" in the terminal's clock.
namespace SimState {

QJsonObject toJson(const Terminal &t);
// Fills t from o; false (with a reason) when o is not a terminal's state. Missing keys keep t's values.
bool fromJson(const QJsonObject &o, Terminal &t, QString &error);

QJsonObject dump(const TerminalList &terminals);

// The state file: {"terminals": [...]}. load() leaves `terminals` alone when it fails.
bool load(const QString &path, TerminalList &terminals, QString &error);
bool save(const QString &path, const TerminalList &terminals, QString &error);

}  // namespace SimState
