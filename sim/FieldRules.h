#pragma once

#include <QDateTime>
#include <QString>

// The terminal's own reading of request fields, by the field rules of docs/protocol.md. Kept apart
// from the link's checks of what it sends, so that the two sides of the protocol cannot share a
// mistake.
namespace FieldRules {

// yyyyMMddHHmmss, a real date and time of the terminal's clock (no zone); invalid otherwise.
QDateTime time(const QString &text);
// 1 to 8 printable ASCII characters or blanks, no comma.
bool jobNumber(const QString &text);
// A card holder's name: at most 16 bytes of GB18030, no control character.
bool name(const QString &text);

}  // namespace FieldRules
