#pragma once

#include "web/HttpRequest.h"
#include "web/HttpResponse.h"
#include "web/ResponseCache.h"
#include "web/WebAccess.h"

#include "sync/DatabaseUrl.h"

// The dashboard's answers: who may ask (WebAccess), then which page. Safe to call from several
// threads at once: each request opens the database for reading on its own thread, except the
// fleet-wide pages that a crowd of requests shares.
class WebSite {
public:
    WebSite(DatabaseUrl database, WebAccess access) : database_(std::move(database)), access_(std::move(access)) {}

    HttpResponse respond(const HttpRequest &request) const;

private:
    HttpResponse login(const HttpRequest &request) const;
    HttpResponse withDatabase(const HttpRequest &request) const;

    HttpResponse fromDatabase(const HttpRequest &request) const;

    DatabaseUrl database_;
    WebAccess access_;
    // The fleet-wide pages (/, /api/status, /metrics), at most a second old.
    mutable ResponseCache fleetPages_{1000};
};
