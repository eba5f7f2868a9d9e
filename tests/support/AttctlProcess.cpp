#include "support/AttctlProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

QString binDir()
{
    const QString bin = qEnvironmentVariable("ZEVO_BIN_DIR");
    return bin.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/..") : bin;
}

QString attctlPath() { return binDir() + QStringLiteral("/tools/attctl"); }

AttctlRun attctl(const QStringList &args, const AttctlOptions &options)
{
    QProcess p;
    p.setProcessEnvironment(options.environment);
    if (!options.workingDirectory.isEmpty()) p.setWorkingDirectory(options.workingDirectory);
    if (!options.standardOutputFile.isEmpty()) p.setStandardOutputFile(options.standardOutputFile, QIODevice::Append);
    p.start(attctlPath(), args);
    AttctlRun r;
    if (!p.waitForStarted(10000)) {
        r.err = QStringLiteral("attctl did not start: ") + p.errorString();
        return r;
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(options.timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("attctl did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.outBytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString writeQuickLinkSettings(const QString &folder)
{
    const QString path = folder + QStringLiteral("/AttLink.ini");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write("[Link]\nResponseTimeout=400\nInterByteTimeout=100\nRetries=1\n") < 0)
        return {};
    return path;
}

QStringList attctlOverTcp(const QString &settings, const QString &host, const QString &port, const QStringList &rest)
{
    return QStringList{QStringLiteral("--settings"), settings, QStringLiteral("--tcp"), host + u':' + port} + rest;
}
