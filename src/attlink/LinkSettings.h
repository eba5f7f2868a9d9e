#pragma once

#include <QString>

// The device link's own settings, read from AttLink.ini in the application folder; every value has
// a default so the file may be absent. Out-of-range values fall back to the default.
struct LinkSettings {
    int responseTimeoutMs = 1500;   // [Link] ResponseTimeout: first byte of a reply
    int interByteTimeoutMs = 200;   // [Link] InterByteTimeout: silence inside a reply
    int retries = 3;                // [Link] Retries: repeats after the first attempt
    int connectTimeoutMs = 3000;    // [Link] ConnectTimeout
    int baud = 9600;                // [Serial] Baud
    QString folder;

    static LinkSettings load(const QString &appFolder);
    // COMn -> [Ports] Comn, else /dev/ttyS<n-1>; the empty text for n outside 1..255.
    QString devicePathFor(int comNumber) const;
};
