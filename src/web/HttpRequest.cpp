#include "web/HttpRequest.h"

#include <QUrl>

HttpRequestReader::State HttpRequestReader::refuse(int status)
{
    refusal_ = status;
    return State::Refused;
}

HttpRequestReader::State HttpRequestReader::feed(const QByteArray &bytes)
{
    if (refusal_) return State::Refused;
    buffer_ += bytes;
    if (headEnd_ < 0) {
        headEnd_ = buffer_.indexOf("\r\n\r\n");
        if (headEnd_ < 0) return buffer_.size() > MaxHead ? refuse(431) : State::Incomplete;
        if (headEnd_ > MaxHead) return refuse(431);
        if (!parseHead(buffer_.left(headEnd_))) return State::Refused;
    }
    const qsizetype have = buffer_.size() - (headEnd_ + 4);
    if (have < bodyLength_) return State::Incomplete;
    request_.body = buffer_.mid(headEnd_ + 4, bodyLength_);
    return State::Complete;
}

bool HttpRequestReader::parseHead(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> start = lines.first().trimmed().split(' ');
    if (start.size() != 3 || !start[2].startsWith("HTTP/1.")) return refuse(start.size() == 3 ? 505 : 400), false;
    request_.method = start[0];
    if (request_.method != "GET" && request_.method != "HEAD" && request_.method != "POST") return refuse(405), false;
    const QByteArray &target = start[1];
    if (!target.startsWith('/')) return refuse(400), false;
    const qsizetype mark = target.indexOf('?');
    request_.path = QUrl::fromPercentEncoding(target.left(mark < 0 ? target.size() : mark));
    // A form sends a blank as '+' (and a plus as %2B).
    if (mark >= 0)
        request_.query.setQuery(QString::fromUtf8(target.mid(mark + 1)).replace(u'+', QStringLiteral("%20")));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.front() == ' ' || line.front() == '\t') return refuse(400), false;
        const QByteArray name = line.left(colon).trimmed().toLower();
        // Two Host or Content-Length headers could be read differently by a proxy in front.
        if ((name == "host" || name == "content-length") && request_.headers.contains(name)) return refuse(400), false;
        request_.headers.insert(name, line.mid(colon + 1).trimmed());
    }
    if (!request_.headers.contains("host")) return refuse(400), false;
    if (request_.headers.contains("transfer-encoding")) return refuse(request_.method == "POST" ? 411 : 400), false;
    bool ok = true;
    const QByteArray length = request_.header("content-length");
    bodyLength_ = length.isEmpty() ? 0 : length.toLongLong(&ok);
    if (!ok || bodyLength_ < 0) return refuse(400), false;
    if (bodyLength_ > MaxBody) return refuse(413), false;
    return true;
}
