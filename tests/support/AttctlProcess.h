#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// attctl run as a program by a test: its exit status and both outputs.
//
//   AttctlRun r = attctl({"--tcp", "127.0.0.1:" + sim.portText(), "count"});
//   QCOMPARE(r.code, 0);
struct AttctlRun {
    int code = -1;        // -1: it did not start, did not finish or crashed
    QString out, err;     // decoded as UTF-8
    QByteArray outBytes;  // standard output as written
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
};

struct AttctlOptions {
    int timeoutMs = 120000;
    QString workingDirectory;    // empty: the test's own
    QString standardOutputFile;  // e.g. /dev/full; empty: captured
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// The build's folder of programs: $ZEVO_BIN_DIR, else the folder above the test's.
QString binDir();
// binDir()/tools/attctl.
QString attctlPath();
AttctlRun attctl(const QStringList &args, const AttctlOptions &options = {});

// attctl's link settings with quick timeouts (failures come fast), written into `folder`; their path.
QString writeQuickLinkSettings(const QString &folder);
// The global options that reach host:port over TCP with the link settings `settings`, then `rest`.
QStringList attctlOverTcp(const QString &settings, const QString &host, const QString &port, const QStringList &rest);
