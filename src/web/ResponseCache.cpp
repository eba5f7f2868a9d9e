#include "web/ResponseCache.h"

#include <QMutexLocker>

bool ResponseCache::lookUp(const QString &key, HttpResponse &out)
{
    QMutexLocker lock(&entriesMutex_);
    const auto e = entries_.constFind(key);
    if (e == entries_.cend() || e->fresh.hasExpired()) return false;
    out = e->response;
    return true;
}

HttpResponse ResponseCache::get(const QString &key, const std::function<HttpResponse()> &make)
{
    HttpResponse r;
    if (lookUp(key, r)) return r;
    QMutexLocker making(&makingMutex_);
    if (lookUp(key, r)) return r;
    r = make();
    if (r.status == 200) {
        QMutexLocker lock(&entriesMutex_);
        entries_.insert(key, Entry{r, QDeadlineTimer(maxAgeMs_)});
    }
    return r;
}
