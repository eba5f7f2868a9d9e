#pragma once

#include "fleetcards/RosterOutcome.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The lines `attctl roster plan|apply|pull` print: one per terminal, then a total.
//   [door 1] add=12 change=1 remove=0 keep=4987
//   [door 1] added=12 changed=1 removed=0 ok
//   [gate] added=0 changed=0 removed=0 error: reading the roster failed: the terminal did not answer
//   [door 1] identity=5A3C0F1E22B14D07 cards=5000 ok
namespace RosterReport {

QString planLine(const RosterOutcome &o);
// One JSON object: the terminal, its counts and the lists (card, job_number, name each).
QByteArray planJson(const RosterOutcome &o);
QString applyLine(const RosterOutcome &o);
// The entries a terminal refused, one indented line each.
QStringList refusalLines(const RosterOutcome &o);
QString pullLine(const RosterOutcome &o);

QString planTotal(const QList<RosterOutcome> &all, double seconds);
// Says so when every terminal already held the list.
QString applyTotal(const QList<RosterOutcome> &all, double seconds);
QString pullTotal(const QList<RosterOutcome> &all, double seconds);

}  // namespace RosterReport
