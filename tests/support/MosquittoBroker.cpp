#include "support/MosquittoBroker.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

quint16 freePort()
{
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost, 0)) return 0;
    return s.serverPort();
}

QString program(const QString &name)
{
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
}

}  // namespace

MosquittoBroker::MosquittoBroker() = default;

MosquittoBroker::~MosquittoBroker() { stop(); }

QString MosquittoBroker::url(const QString &prefix) const
{
    return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port_).arg(prefix);
}

bool MosquittoBroker::writeConfig()
{
    QFile conf(dir_.filePath(QStringLiteral("mosquitto.conf")));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = QStringLiteral("cannot write ") + conf.fileName();
        return false;
    }
    QByteArray text = "listener " + QByteArray::number(port_) + " 127.0.0.1\npersistence false\nlog_dest stderr\n";
    if (::geteuid() == 0) text += "user root\n";
    if (user_.isEmpty()) {
        text += "allow_anonymous true\n";
    } else {
        QFile acl(dir_.filePath(QStringLiteral("acl")));
        if (!acl.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || acl.write("user " + user_.toUtf8() + "\ntopic readwrite " + filter_.toUtf8() + '\n') < 0) {
            error_ = QStringLiteral("cannot write ") + acl.fileName();
            return false;
        }
        text += "allow_anonymous false\npassword_file " + QFile::encodeName(dir_.filePath(QStringLiteral("passwords")))
            + "\nacl_file " + QFile::encodeName(acl.fileName()) + '\n';
    }
    return conf.write(text) == text.size();
}

bool MosquittoBroker::requirePassword(const QString &user, const QString &password, const QString &filter)
{
    const QString passwd = program(QStringLiteral("mosquitto_passwd"));
    if (passwd.isEmpty()) {
        error_ = QStringLiteral("mosquitto_passwd is not installed (scripts/setup installs mosquitto)");
        return false;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(passwd,
            {QStringLiteral("-c"), QStringLiteral("-b"), dir_.filePath(QStringLiteral("passwords")), user, password});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = QStringLiteral("mosquitto_passwd failed: ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    user_ = user;
    filter_ = filter;
    return true;
}

bool MosquittoBroker::start()
{
    if (running()) return true;
    const QString broker = program(QStringLiteral("mosquitto"));
    if (broker.isEmpty()) {
        error_ = QStringLiteral("mosquitto is not installed (scripts/setup installs it)");
        return false;
    }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    if (port_ == 0) port_ = freePort();
    if (!writeConfig()) return false;
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(broker, {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("mosquitto did not start: ") + process_.errorString();
        return false;
    }
    // Ready once it accepts a connection; a port still held after a stop is retried.
    for (int i = 0; i < 200; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        if (probe.waitForConnected(1000)) return true;
        if (process_.waitForFinished(50)) break;
    }
    error_ = QStringLiteral("mosquitto did not accept connections on port %1: ").arg(port_)
        + QString::fromLocal8Bit(process_.readAll()).trimmed();
    stop();
    return false;
}

void MosquittoBroker::stop()
{
    if (!running()) return;
    resume();
    process_.kill();
    process_.waitForFinished(30000);
}

void MosquittoBroker::pause()
{
    if (running()) ::kill(pid_t(process_.processId()), SIGSTOP);
}

void MosquittoBroker::resume()
{
    if (running()) ::kill(pid_t(process_.processId()), SIGCONT);
}
