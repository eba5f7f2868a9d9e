#pragma once

#include "web/HttpResponse.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QMutex>
#include <QString>
#include <functional>

// The fleet's pages cost the same whoever asks: under a crowd of requests one of them is made and the
// others, arriving while it is made or shortly after, get that answer. A page is at most `maxAgeMs`
// old; only successful answers are kept.
class ResponseCache {
public:
    explicit ResponseCache(int maxAgeMs) : maxAgeMs_(maxAgeMs) {}

    HttpResponse get(const QString &key, const std::function<HttpResponse()> &make);

private:
    struct Entry {
        HttpResponse response;
        QDeadlineTimer fresh;
    };
    bool lookUp(const QString &key, HttpResponse &out);

    const int maxAgeMs_;
    QMutex entriesMutex_;
    QHash<QString, Entry> entries_;
    QMutex makingMutex_;  // one page made at a time; those waiting then find it made
};
