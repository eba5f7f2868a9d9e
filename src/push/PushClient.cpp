#include "push/PushClient.h"

#include <QDateTime>
#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cctype>

namespace {

// Seconds from a Retry-After header: a number of seconds or an HTTP date; -1 when neither.
int retryAfter(const QByteArray &value)
{
    bool ok = false;
    const qint64 seconds = value.trimmed().toLongLong(&ok);
    if (ok) return seconds < 0 ? -1 : int(qMin<qint64>(seconds, 86400));
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(value).trimmed(), Qt::RFC2822Date);
    if (!at.isValid()) return -1;
    return int(qBound(qint64(0), QDateTime::currentDateTimeUtc().secsTo(at), qint64(86400)));
}

bool isToken(const QByteArray &name)
{
    if (name.isEmpty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || QByteArray("!#$%&'*+-.^_`|~").contains(c))) return false;
    return true;
}

}  // namespace

PushClient::PushClient(const QUrl &url, const Headers &headers, int timeoutMs)
    : url_(url), headers_(headers), timeoutMs_(timeoutMs)
{
}

bool PushClient::readHeader(const QString &text, QPair<QByteArray, QByteArray> &header, QString &error)
{
    const qsizetype colon = text.indexOf(u':');
    const QByteArray name = text.left(colon).trimmed().toLatin1();
    const QString value = text.mid(colon + 1).trimmed();
    if (colon < 0 || !isToken(name) || value.contains(u'\r') || value.contains(u'\n')) {
        error = QStringLiteral("--header wants NAME: VALUE, not \"%1\"").arg(text);
        return false;
    }
    header = {name, value.toUtf8()};
    return true;
}

PushAnswer PushClient::post(const QByteArray &body, const QByteArray &idempotencyKey)
{
    QNetworkRequest request(url_);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("Idempotency-Key", idempotencyKey);
    for (const auto &h : headers_) request.setRawHeader(h.first, h.second);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    QNetworkReply *reply = manager_.post(request, body);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs_);
    if (!reply->isFinished()) loop.exec();
    timer.stop();

    PushAnswer answer;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && !timedOut) {
        answer.status = status.toInt();
        answer.body = reply->read(PushAnswer::MaxBody);
        if (reply->hasRawHeader("Retry-After")) answer.retryAfterSeconds = retryAfter(reply->rawHeader("Retry-After"));
    } else {
        answer.failure =
            timedOut ? QStringLiteral("no answer within %1 s").arg(timeoutMs_ / 1000.0) : reply->errorString();
    }
    delete reply;  // finished: no signal of it is pending
    return answer;
}
