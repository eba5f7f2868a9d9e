// Fuzz target for what the dashboard reads from a socket: a request head and body fed in pieces of
// every size. Whatever arrives, the reader stays within its limits and hands on only a request it
// could read whole; the pieces' sizes never change the outcome.
#include "web/HttpRequest.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

struct Outcome {
    HttpRequestReader::State state = HttpRequestReader::State::Incomplete;
    int refusal = 0;
    QByteArray method, body;
    QString path;
};

Outcome read(const QByteArray &bytes, int step)
{
    HttpRequestReader reader;
    Outcome o;
    for (qsizetype at = 0; at < bytes.size() && o.state == HttpRequestReader::State::Incomplete; at += step)
        o.state = reader.feed(bytes.mid(at, step));
    if (o.state == HttpRequestReader::State::Refused) o.refusal = reader.refusal();
    if (o.state == HttpRequestReader::State::Complete) {
        o.method = reader.request().method;
        o.path = reader.request().path;
        o.body = reader.request().body;
    }
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const Outcome whole = read(bytes, int(qMax<qsizetype>(bytes.size(), 1)));
    switch (whole.state) {
    case HttpRequestReader::State::Complete:
        check(whole.method == "GET" || whole.method == "HEAD" || whole.method == "POST");
        check(whole.path.startsWith(u'/'));
        check(whole.body.size() <= HttpRequestReader::MaxBody);
        break;
    case HttpRequestReader::State::Refused:
        check(whole.refusal >= 400 && whole.refusal < 600);
        break;
    case HttpRequestReader::State::Incomplete:
        check(bytes.size() <= HttpRequestReader::MaxHead + HttpRequestReader::MaxBody);
        break;
    }
    const Outcome pieces = read(bytes, size > 0 ? 1 + data[0] % 17 : 1);
    check(pieces.state == whole.state && pieces.refusal == whole.refusal && pieces.method == whole.method
          && pieces.path == whole.path && pieces.body == whole.body);
    return 0;
}
