#pragma once

#include "support/ScriptedOperator.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>

#include <initializer_list>

// What the tests of the device-link operations through the console's buttons share.

// Starts the simulator `sim`, or skips the test when it cannot run (no pty on the machine).
#define START(sim)                                                                                                     \
    if (!(sim).start()) QSKIP(qPrintable((sim).errorText()))

// The simulator's arguments, written as plain C strings.
QStringList args(std::initializer_list<const char *> list);

// The text of the last message box the operator saw; empty when none was shown.
QString lastBox(const ScriptedOperator &op);

// Writes `bytes` to `path`, failing the test when the file cannot be opened.
void writeFile(const QString &path, const QByteArray &bytes);
