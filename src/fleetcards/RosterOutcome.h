#pragma once

#include "fleetcards/RosterPlan.h"

#include <QList>
#include <QString>
#include <memory>

// What `roster plan`, `apply` or `pull` did with one terminal, for its line of the report.
struct RosterOutcome {
    struct Refusal {
        uint32_t card = 0;
        int line = 0;  // in the list
        QString why;
    };

    QString name;
    QString identity;                                  // pull
    qint64 add = 0, change = 0, remove = 0, keep = 0;  // the plan
    qint64 added = 0, changed = 0, removed = 0;        // what the terminal confirmed (apply)
    qint64 pulled = 0;                                 // entries stored (pull)
    QList<Refusal> refusals;                           // entries the terminal refused, one by one (apply)
    std::shared_ptr<const RosterPlan> plan;            // the lists themselves, when asked for (plan --json)
    QString error;                                     // empty: done

    bool ok() const { return error.isEmpty(); }
};
