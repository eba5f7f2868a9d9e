#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

// An HTTP endpoint of a test's own on 127.0.0.1, answering from a thread of its own (so that it goes
// on while the test waits for a program). It takes POSTs and keeps them, and misbehaves on demand.
//
//   HttpSink sink;
//   QVERIFY(sink.start());
//   sink.misbehave(HttpSink::Fail, 2);     // the first two requests get 500
//   sink.misbehave(HttpSink::Hang, 1);     // the third no answer
//   attctl({"push", "--to", sink.url(), ...});
//   sink.requests()                        // what arrived, answered or not
class HttpSink {
public:
    enum Behaviour {
        Accept,        // 200
        Fail,          // 500 with a short body
        Throttle,      // 429 with Retry-After: `value` seconds
        Slow,          // 200 after `value` ms
        Refuse,        // status `value` (a 4xx) with a body
        AnswerUnread,  // 200 as soon as the headers are in, the body left unread, the connection closed
        Hang,          // never answers
    };
    struct Request {
        QHash<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray body;
        int status = 0;  // the answer's status; 0 while none was sent
    };

    // keepBodies false: only the number of requests and of body bytes (for benchmarks).
    explicit HttpSink(bool keepBodies = true);
    ~HttpSink();
    HttpSink(const HttpSink &) = delete;
    HttpSink &operator=(const HttpSink &) = delete;

    bool start();
    QString url() const;
    // The next `count` requests (-1: all from now on) get `how`, after the behaviours asked for
    // before it; once they are used up, Accept.
    void misbehave(Behaviour how, int count = -1, int value = 0);

    QList<Request> requests() const;
    qint64 requestCount() const;
    qint64 bodyBytes() const;
    // Waits until `count` requests have arrived; false after `timeoutMs`.
    bool waitForRequests(qint64 count, int timeoutMs) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
