#pragma once

#include <QMap>
#include <QString>

// The device link's own settings, read from AttLink.ini in the application folder; every value has
// a default so the file may be absent. Out-of-range values fall back to the default.
struct LinkSettings {
    int responseTimeoutMs = 1500;  // [Link] ResponseTimeout: first byte of a reply
    int interByteTimeoutMs = 200;  // [Link] InterByteTimeout: silence inside a reply
    int retries = 3;               // [Link] Retries: repeats after the first attempt
    int connectTimeoutMs = 3000;   // [Link] ConnectTimeout
    int replyDeadlineMs = 0;       // [Link] ReplyDeadline: longest attempt; 0 computes it (Exchange)
    int baud = 9600;               // [Serial] Baud
    int tcpBaud = 0;               // [Tcp] Baud: the rate of a serial converter behind TCP; 0 unknown
    int collectionDeadlineS = 0;   // [Link] CollectionDeadline: longest record collection; 0 computes it
    QString folder;
    QString file;              // the AttLink.ini read (it need not exist)
    QMap<int, QString> ports;  // devices set by the caller, before [Ports] of the file

    static LinkSettings load(const QString &appFolder);
    static LinkSettings loadFile(const QString &iniPath);
    // COMn -> [Ports] Comn, else /dev/ttyS<n-1>; the empty text for n outside 1..255.
    QString devicePathFor(int comNumber) const;
};
