#pragma once

#include "sync/FleetFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// One card of the list, as every terminal it goes to should hold it.
struct ListedCard {
    uint32_t card = 0;
    QByteArray jobNo;    // ASCII, as the terminal keeps it
    QByteArray name;     // GB18030, as the terminal keeps it
    QStringList groups;  // empty: every terminal
    int line = 0;        // in the list file
};

// The list of cards (docs/sync.md, "Cards across the fleet"): a UTF-8 CSV file, with or without a
// byte-order mark, lines ended by CR LF or LF, the header `card,job_number,name` and an optional
// `groups` column (names separated by `;`). Every mistake is reported, each with the file and line,
// and a list with any mistake is not used.
namespace CardList {

// A card as 8 hexadecimal digits, 10 decimal digits or Wiegand-26 `FACILITY:NUMBER` (facility
// 0..255, number 0..65535, read as facility * 65536 + number). False with `why`.
bool parseCard(const QString &text, uint32_t &card, QString &why);

std::optional<QList<ListedCard>> load(const QString &path, QStringList &errors);
std::optional<QList<ListedCard>> parse(const QByteArray &content, const QString &path, QStringList &errors);

// Every group the list names must be a group of some terminal of the fleet.
bool checkGroups(const QList<ListedCard> &cards, const QList<FleetTerminal> &fleet, const QString &path,
                 QStringList &errors);

// Whether a card goes to a terminal: it has no groups, or shares one with the terminal.
bool goesTo(const ListedCard &card, const FleetTerminal &terminal);

}  // namespace CardList
