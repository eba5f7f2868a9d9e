#pragma once

#include "web/HttpRequest.h"

#include <QByteArray>
#include <QHostAddress>
#include <QStringList>

// Who may read the dashboard: requests for the address it listens on (a page of another site that
// points a name at this one is refused), and, with a token, those that give it as a bearer token or
// through the login form's cookie.
class WebAccess {
public:
    WebAccess(const QHostAddress &address, quint16 port, QByteArray token);

    bool requiresToken() const { return !token_.isEmpty(); }
    // The Host header names this server.
    bool hostAllowed(const HttpRequest &request) const;
    // The request carries the token (bearer) or the session cookie.
    bool authorized(const HttpRequest &request) const;
    // The form's secret is the token.
    bool tokenMatches(const QByteArray &given) const;
    // The Set-Cookie value of a session after a good login.
    QByteArray sessionCookie() const;

    static constexpr const char *CookieName = "zevo_session";

private:
    QStringList hosts_;  // host:port texts accepted; empty: any host on the port
    quint16 port_;
    QByteArray token_;
    QByteArray session_;  // what the cookie holds: derived from the token, never the token itself
};

// Equal bytes, in a time that depends on the length only.
bool sameSecret(const QByteArray &a, const QByteArray &b);
