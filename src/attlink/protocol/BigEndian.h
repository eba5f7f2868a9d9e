#pragma once

#include <QByteArray>
#include <QtEndian>
#include <cstdint>

// Numbers of more than one byte travel big endian, in frames and in every binary payload
// (docs/protocol.md, "Frames"). The one reader and writer of them, right on any host.
namespace BigEndian {

// Appends `value` in sizeof(T) bytes, most significant first.
template <typename T>
void append(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, qsizetype(sizeof(T)));
}

// The sizeof(T) bytes at `at`, most significant first; the caller checked that they exist.
template <typename T>
T read(const void *at)
{
    return qFromBigEndian<T>(at);
}

}  // namespace BigEndian
