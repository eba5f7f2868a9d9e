#include "web/WebAccess.h"

#include <QHostInfo>
#include <QMessageAuthenticationCode>

bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    // Compared as digests, so that neither the length nor the first differing byte shows in the time.
    const QByteArray x = QMessageAuthenticationCode::hash(a, "zevo-compare", QCryptographicHash::Sha256);
    const QByteArray y = QMessageAuthenticationCode::hash(b, "zevo-compare", QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < x.size(); ++i) diff |= uchar(x[i]) ^ uchar(y[i]);
    return diff == 0;
}

WebAccess::WebAccess(const QHostAddress &address, quint16 port, QByteArray token)
    : port_(port), token_(std::move(token))
{
    const QString p = QString::number(port);
    if (address.isLoopback()) {
        hosts_ << QStringLiteral("localhost:") + p << QStringLiteral("127.0.0.1:") + p << QStringLiteral("[::1]:") + p;
    } else if (address != QHostAddress::Any && address != QHostAddress::AnyIPv4 && address != QHostAddress::AnyIPv6) {
        const QString a =
            address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address.toString() + u']' : address.toString();
        hosts_ << a + u':' + p << QHostInfo::localHostName().toLower() + u':' + p;
        const QString domain = QHostInfo::localDomainName();
        if (!domain.isEmpty()) hosts_ << (QHostInfo::localHostName() + u'.' + domain).toLower() + u':' + p;
    }
    if (!token_.isEmpty())
        session_ = QMessageAuthenticationCode::hash("zevo-web session", token_, QCryptographicHash::Sha256).toHex();
}

bool WebAccess::hostAllowed(const HttpRequest &request) const
{
    QString host = QString::fromLatin1(request.header("host")).toLower();
    // A browser leaves out the port it takes by default.
    if (port_ == 80 && !host.endsWith(QStringLiteral(":80")) && !host.endsWith(u']') && !host.contains(u':'))
        host += QStringLiteral(":80");
    if (hosts_.isEmpty()) return host.endsWith(u':' + QString::number(port_));
    return hosts_.contains(host);
}

bool WebAccess::tokenMatches(const QByteArray &given) const { return !token_.isEmpty() && sameSecret(given, token_); }

bool WebAccess::authorized(const HttpRequest &request) const
{
    if (token_.isEmpty()) return true;
    const QByteArray authorization = request.header("authorization");
    if (authorization.startsWith("Bearer ")) return tokenMatches(authorization.mid(7).trimmed());
    for (const QByteArray &cookie : request.header("cookie").split(';')) {
        const QByteArray c = cookie.trimmed();
        if (c.startsWith(QByteArray(CookieName) + '=')) return sameSecret(c.mid(qstrlen(CookieName) + 1), session_);
    }
    return false;
}

QByteArray WebAccess::sessionCookie() const
{
    return QByteArray(CookieName) + '=' + session_ + "; Path=/; HttpOnly; SameSite=Strict";
}
