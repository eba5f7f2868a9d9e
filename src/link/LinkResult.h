#pragma once

#include "link/LinkError.h"

#include <QVariant>

// Conversions of a device-link result, one per rule the commands use.
namespace LinkResult {

// Non-zero is true; a null result is false.
bool toBool(const QVariant &result);

// Non-zero is true; a null result (or one that does not convert) raises a type-mismatch error (13).
bool toBoolStrict(const QVariant &result);

// A whole number; a null or non-numeric result raises a type-mismatch error (13).
qint64 toWhole(const QVariant &result);

// Text; null gives the empty text.
QString toText(const QVariant &result);

}  // namespace LinkResult
