#pragma once

#include "web/HttpRequest.h"
#include "web/HttpResponse.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QThreadPool>

#include <functional>

// The dashboard's HTTP/1.1 server: one request per connection, every resource bounded. The event loop
// only accepts and reads; the answer is made on a small pool of worker threads (each opens the
// database for itself), so that a slow page holds up no other reader.
class WebServer : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int connections = 128;         // open at once; more wait in the listen queue
        int workers = 4;               // threads making answers
        int headDeadlineMs = 5000;     // from the connection to the end of the request's head
        int answerDeadlineMs = 60000;  // from the head to the last byte sent
    };
    // Makes the answer to a request; runs on a worker thread.
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    WebServer(Handler handler, Limits limits, QObject *parent = nullptr);
    ~WebServer() override;

    // False with `error` when the address cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port, QString &error);
    quint16 port() const { return server_.serverPort(); }

private:
    void acceptPending();
    void serve(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const HttpRequest &request);

    Handler handler_;
    Limits limits_;
    QTcpServer server_;
    QThreadPool pool_;
    int open_ = 0;
};
