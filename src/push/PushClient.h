#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QString>
#include <QUrl>

// What an endpoint answered to one POST.
struct PushAnswer {
    int status = 0;              // the HTTP status; 0 when none came (no connection, a time-out)
    QString failure;             // why no status came
    QByteArray body;             // the answer's body, at most MaxBody bytes
    int retryAfterSeconds = -1;  // Retry-After, when given

    static constexpr int MaxBody = 64 * 1024;
    bool accepted() const { return status >= 200 && status < 300; }
};

// Posts JSON to one HTTP(S) endpoint and waits for its answer (TLS checked against the system's CA
// store). Runs its own event loop; the calling thread needs a QCoreApplication.
class PushClient {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    PushClient(const QUrl &url, const Headers &headers, int timeoutMs);

    // One POST of a JSON body carrying an Idempotency-Key.
    PushAnswer post(const QByteArray &body, const QByteArray &idempotencyKey);

    // "NAME: VALUE" as a header; false with `error` for anything else (a name that is no token,
    // a line break in the value).
    static bool readHeader(const QString &text, QPair<QByteArray, QByteArray> &header, QString &error);

private:
    QNetworkAccessManager manager_;
    QUrl url_;
    Headers headers_;
    int timeoutMs_;
};
