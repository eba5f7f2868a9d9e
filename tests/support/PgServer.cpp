#include "support/PgServer.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QThread>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

quint16 freePort()
{
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost, 0)) return 0;
    return s.serverPort();
}

bool asRoot() { return ::geteuid() == 0; }

}  // namespace

PgServer::PgServer() : bin_(binFolder()) {}

PgServer::~PgServer()
{
    if (running_) stop();
}

QString PgServer::binFolder()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (qsizetype i = versions.size() - 1; i >= 0; --i) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/") + versions[i] + QStringLiteral("/bin");
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

bool PgServer::run(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = bin_ + u'/' + program;
    if (asRoot())
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), path} + args);
    else
        p.start(path, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit
        || p.exitCode() != 0) {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished();
        }
        error_ = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll()).trimmed() + u' '
            + p.errorString();
        return false;
    }
    return true;
}

bool PgServer::start()
{
    if (running_) return true;
    if (bin_.isEmpty()) {
        error_ = QStringLiteral(
            "PostgreSQL's initdb and pg_ctl are not installed under /usr/lib/postgresql (scripts/setup installs them)");
        return false;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    data_ = dir_.filePath(QStringLiteral("data"));
    if (!initialised_) {
        if (!QDir().mkpath(data_)) {
            error_ = QStringLiteral("cannot create ") + data_;
            return false;
        }
        if (asRoot()) {
            const passwd *pg = ::getpwnam("postgres");
            if (!pg) {
                error_ = QStringLiteral("running as root, but there is no user \"postgres\" to run the server");
                return false;
            }
            ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
            if (::chown(QFile::encodeName(data_).constData(), pg->pw_uid, pg->pw_gid) != 0) {
                error_ = QStringLiteral("cannot hand ") + data_ + QStringLiteral(" to postgres");
                return false;
            }
        }
        if (!run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data_, QStringLiteral("-U"), QStringLiteral("zevo"), QStringLiteral("-A"),
                  QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
                  QStringLiteral("--no-sync")},
                 120000))
            return false;
        initialised_ = true;
    }
    if (port_ == 0) port_ = freePort();
    const QString options =
        QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(port_).arg(data_);
    if (!run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), data_, QStringLiteral("-l"), data_ + QStringLiteral("/server.log"),
              QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
              QStringLiteral("start")},
             90000)) {
        QFile log(data_ + QStringLiteral("/server.log"));
        if (log.open(QIODevice::ReadOnly))
            error_ += QStringLiteral("\nserver log:\n") + QString::fromLocal8Bit(log.readAll().right(2000));
        return false;
    }
    running_ = true;
    return true;
}

bool PgServer::stop()
{
    if (!running_) return true;
    running_ = false;
    return run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), data_, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                QStringLiteral("stop")},
               60000);
}

QString PgServer::url(const QString &database, const QString &role) const
{
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(role).arg(port_).arg(database);
}

bool PgServer::sql(const QString &database, const QString &statement)
{
    const QString name = QStringLiteral("pgserver-admin");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(port_);
        db.setUserName(QStringLiteral("zevo"));
        db.setDatabaseName(database);
        if (!db.open()) {
            error_ = QStringLiteral("cannot connect to the test server: ") + db.lastError().text();
        } else {
            QSqlQuery q(db);
            ok = q.exec(statement);
            if (!ok) error_ = statement + QStringLiteral(": ") + q.lastError().text();
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool PgServer::requirePassword(const QString &role, const QString &password)
{
    if (!sql(QStringLiteral("postgres"),
             QStringLiteral("CREATE ROLE \"%1\" LOGIN SUPERUSER PASSWORD '%2'").arg(role, password)))
        return false;
    QFile hba(data_ + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::ReadOnly)) return false;
    const QByteArray rest = hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    hba.write("host all " + role.toUtf8() + " 127.0.0.1/32 scram-sha-256\n" + rest);
    hba.close();
    if (!sql(QStringLiteral("postgres"), QStringLiteral("SELECT pg_reload_conf()"))) return false;
    // The server rereads the file on its own time: wait until the role is asked for its password.
    const QString name = QStringLiteral("pgserver-probe");
    bool asked = false;
    for (int i = 0; i < 100 && !asked; ++i) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port_);
            db.setUserName(role);
            db.setDatabaseName(QStringLiteral("postgres"));
            db.setConnectOptions(QStringLiteral("passfile=/nonexistent"));
            asked = !db.open();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        if (!asked) QThread::msleep(50);
    }
    if (!asked) error_ = QStringLiteral("the server did not start asking for passwords");
    return asked;
}

QString PgServer::createDatabase(const QString &name)
{
    if (!sql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(name))) return {};
    return url(name);
}
