#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Payload fields: GB18030 texts separated by 0x1F. Neither side ever trusts a field count: readers
// use field(), which gives the empty text past the end.
namespace Fields {

constexpr char Separator = 0x1F;

QByteArray join(const QStringList &fields);
QStringList split(const QByteArray &bytes);
inline QString field(const QStringList &fields, int i) { return i < fields.size() ? fields[i] : QString(); }

}  // namespace Fields
