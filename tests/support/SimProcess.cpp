#include "support/SimProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

SimProcess::SimProcess(const QStringList &arguments, Pty pty) : arguments_(arguments), pty_(pty) {}

SimProcess::~SimProcess() { stop(); }

QString SimProcess::binaryPath()
{
    const QString dir = qEnvironmentVariable("ZEVO_BIN_DIR");
    return (dir.isEmpty() ? QStringLiteral(".") : dir) + QStringLiteral("/sim/attsim");
}

bool SimProcess::start()
{
    const QString bin = binaryPath();
    if (!QFileInfo(bin).isExecutable()) {
        error_ = QStringLiteral("attsim not built at %1 (set ZEVO_BIN_DIR)").arg(bin);
        return false;
    }
    QStringList args = arguments_;
    const bool ownTcp = !args.contains(QStringLiteral("--tcp"));
    if (ownTcp) args << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:0");
    if (pty_ == WithPty) {
        ptyPath_ = dir_.filePath(QStringLiteral("ttySIM"));
        args << QStringLiteral("--pty") << ptyPath_;
    }
    process_.setProgram(bin);
    process_.setArguments(args);
    process_.start();
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("attsim did not start: ") + process_.errorString();
        return false;
    }
    const bool wantTcp = args.contains(QStringLiteral("--tcp")) || pty_ == NoPty;
    bool tcpReady = !wantTcp, ptyReady = pty_ == NoPty;
    QDeadlineTimer deadline(10000);
    while (!(tcpReady && ptyReady)) {
        QByteArray line;
        if (!readLine(line, int(deadline.remainingTime()))) {
            error_ = QStringLiteral("attsim gave no ready line: ") + standardError();
            stop();
            return false;
        }
        if (line.startsWith("ready tcp ")) {
            const QString where = QString::fromUtf8(line.mid(10));
            const qsizetype colon = where.lastIndexOf(u':');
            host_ = where.left(colon);
            port_ = quint16(where.mid(colon + 1).toUInt());
            tcpReady = true;
        } else if (line.startsWith("ready fleet ")) {
            for (const QByteArray &where : line.mid(12).trimmed().split(' '))
                fleetPorts_.append(quint16(where.mid(where.lastIndexOf(':') + 1).toUInt()));
        } else if (line.startsWith("ready pty ")) {
            ptyReady = true;
        }
    }
    return true;
}

bool SimProcess::readLine(QByteArray &line, int timeoutMs)
{
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    while (!process_.canReadLine()) {
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) return false;
        process_.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    }
    line = process_.readLine().trimmed();
    return true;
}

void SimProcess::send(const QString &line)
{
    if (!running()) return;
    process_.write(line.toUtf8() + '\n');
    process_.waitForBytesWritten(5000);
}

QJsonObject SimProcess::dump()
{
    send(QStringLiteral("dump"));
    QDeadlineTimer deadline(10000);
    QByteArray line;
    while (readLine(line, int(deadline.remainingTime()))) {
        if (!line.startsWith('{')) continue;
        return QJsonDocument::fromJson(line).object();
    }
    return {};
}

QJsonObject SimProcess::terminal(int address)
{
    for (const QJsonValue &t : dump()[QStringLiteral("terminals")].toArray())
        if (t[QStringLiteral("address")].toInt(-1) == address) return t.toObject();
    return {};
}

QString SimProcess::standardError()
{
    stderr_ += process_.readAllStandardError();
    return QString::fromLocal8Bit(stderr_);
}

void SimProcess::stop()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(2000);
    }
    // A sanitizer finding in the simulator would otherwise stay in its captured error output.
    const QString errors = standardError();
    if (errors.contains(QLatin1String("Sanitizer")) || errors.contains(QLatin1String("runtime error:")))
        qFatal("attsim reported a memory or undefined-behaviour error:\n%s", qPrintable(errors));
}
