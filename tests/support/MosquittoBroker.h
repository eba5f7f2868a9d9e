#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// An MQTT broker of a test's own: mosquitto on a free port of 127.0.0.1, its configuration and files in a
// temporary folder. Anonymous clients may do anything unless requirePassword() was called. Under root it
// stays root (it would otherwise become the user "mosquitto", who may not read the folder). The
// destructor stops it.
//
//   MosquittoBroker broker;
//   if (!broker.start()) QFAIL(qPrintable(broker.errorText()));
//   QString url = broker.url("site");   // mqtt://127.0.0.1:PORT/site
class MosquittoBroker {
public:
    MosquittoBroker();
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Starts the broker (on the same port as before after a stop) and waits until it accepts
    // connections; false with errorText().
    bool start();
    // Stops it at once, as a crash would.
    void stop();
    bool running() const { return process_.state() != QProcess::NotRunning; }
    // Freezes the broker (SIGSTOP): connections stay open and nothing is answered, until resume().
    void pause();
    void resume();
    // From the next start on, only `user` with `password` may connect, and may write and read only the
    // topics `filter` matches.
    bool requirePassword(const QString &user, const QString &password, const QString &filter = QStringLiteral("#"));
    quint16 port() const { return port_; }
    QString url(const QString &prefix) const;
    QString errorText() const { return error_; }

private:
    bool writeConfig();

    QTemporaryDir dir_;
    QProcess process_;
    QString error_, user_, filter_;
    quint16 port_ = 0;
};
