#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// One answer. Every answer carries the headers that keep a browser from running or framing what it
// shows (the pages need no script), and is not cached (it may hold punches).
struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    static HttpResponse text(int status, const QByteArray &body);
    void header(const QByteArray &name, const QByteArray &value) { headers.append(qMakePair(name, value)); }
    // The bytes on the wire; a HEAD request gets the head alone.
    QByteArray toBytes(bool headOnly) const;
};
