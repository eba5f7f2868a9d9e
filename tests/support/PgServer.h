#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL server of a test's own: a cluster made by initdb in a temporary folder, started by
// pg_ctl on a free port of 127.0.0.1 with trust authentication for the role "zevo". Under root the
// server runs as the user "postgres" (PostgreSQL refuses root). The destructor stops it.
//
//   PgServer pg;
//   if (!pg.start()) QFAIL(qPrintable(pg.errorText()));
//   QString url = pg.createDatabase("punches");   // postgresql://zevo@127.0.0.1:PORT/punches
class PgServer {
public:
    PgServer();
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // initdb (first time only) and start; false with errorText().
    bool start();
    // Stops the server at once (as a crash would), keeping the cluster for a later start().
    bool stop();
    bool running() const { return running_; }
    QString errorText() const { return error_; }
    quint16 port() const { return port_; }

    // A new empty database, and its URL; the empty text with errorText() on failure.
    QString createDatabase(const QString &name);
    // Runs SQL as the superuser in a database; false with errorText().
    bool sql(const QString &database, const QString &statement);
    QString url(const QString &database, const QString &role = QStringLiteral("zevo")) const;
    // Makes `role` a login that must give `password` (every other role keeps trust).
    bool requirePassword(const QString &role, const QString &password);

    // The folder of PostgreSQL's programs (initdb, pg_ctl), the newest installed; empty when none.
    static QString binFolder();

private:
    bool run(const QString &program, const QStringList &args, int timeoutMs);

    QTemporaryDir dir_;
    QString bin_, data_, error_;
    quint16 port_ = 0;
    bool initialised_ = false, running_ = false;
};
