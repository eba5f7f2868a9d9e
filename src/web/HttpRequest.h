#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrlQuery>

// One HTTP/1.1 request as the dashboard takes it: a head of bounded size and, for the login form
// only, a small body. Header names are kept in lower case.
struct HttpRequest {
    QByteArray method;
    QString path;  // percent-decoded
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray header(const QByteArray &lowerName) const { return headers.value(lowerName); }
};

// Reads a request from the bytes received so far. Limits: MaxHead bytes of head, MaxBody of body;
// anything beyond, a malformed line or a method other than GET, HEAD and POST is refused with a
// status to answer.
class HttpRequestReader {
public:
    static constexpr qsizetype MaxHead = 16 * 1024;
    static constexpr qsizetype MaxBody = 4 * 1024;

    enum class State { Incomplete, Complete, Refused };

    // Appends what arrived; the state after it.
    State feed(const QByteArray &bytes);
    const HttpRequest &request() const { return request_; }
    // With State::Refused: the status to answer (400, 405, 413, 431, 505).
    int refusal() const { return refusal_; }

private:
    State refuse(int status);
    bool parseHead(const QByteArray &head);

    QByteArray buffer_;
    HttpRequest request_;
    qsizetype headEnd_ = -1;
    qsizetype bodyLength_ = 0;
    int refusal_ = 0;
};
