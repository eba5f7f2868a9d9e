#pragma once

#include <QString>

// Versions of the device link ("V7.6.7") compared component by component as numbers, so that
// V7.10.0 is newer than V7.6.7. Missing components count as 0; anything before the first digit
// (the "V") is ignored; a component reads as its leading digits.
namespace VersionGate {

// <0, 0, >0 as a is older than, equal to or newer than b.
int compare(const QString &a, const QString &b);

inline const QString BootPictureMinimum = QStringLiteral("V7.6.7");
inline bool atLeast(const QString &version, const QString &minimum) { return compare(version, minimum) >= 0; }

}  // namespace VersionGate
