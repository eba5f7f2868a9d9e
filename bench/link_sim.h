#pragma once

// Shared by the link benchmarks: attsim as a child process, and one timed collection through our
// device link with the bytes it put on the line.
#include "attlink/AttLink.h"
#include "attlink/protocol/RecordWire.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

struct BenchSim {
    QProcess process;
    QString host, port;

    // Starts attsim with `args` on a free port; false when it does not report ready.
    bool start(const QStringList &args)
    {
        const QString bin = QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/attsim");
        process.start(bin, args + QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")});
        if (!process.waitForStarted(10000)) return false;
        while (process.waitForReadyRead(30000)) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("ready tcp "))) {
                    const QString hp = line.mid(10);
                    host = hp.left(hp.lastIndexOf(u':'));
                    port = hp.mid(hp.lastIndexOf(u':') + 1);
                    return true;
                }
            }
        }
        return false;
    }
    ~BenchSim()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

struct Collection {
    qint32 records = 0;
    double seconds = 0;
    qint64 lineBytes = 0;     // both directions
    qint64 repliedBytes = 0;  // terminal to link
    qint64 turnArounds = 0;   // requests
    double efficiency() const { return lineBytes ? double(records) * RecordWire::Size / lineBytes : 0; }
};

// One GatherData over TCP from the simulator at host:port into a temporary folder.
inline std::optional<Collection> collectOnce(const QString &host, const QString &port, int baud)
{
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("AttLink.ini")));
        if (!ini.open(QIODevice::WriteOnly)) return std::nullopt;
        // The link's time limit for a reply scales with the rate it is told.
        ini.write(QStringLiteral("[Serial]\nBaud=%1\n").arg(baud > 0 ? baud : 230400).toLatin1());
    }
    AttLink link(dir.path());
    link.Mode(1);
    if (!link.Connect_Net(host, port).toBool()) return std::nullopt;
    QString message;
    Collection c;
    bool fullYear = false;
    QElapsedTimer t;
    t.start();
    const bool ok = link.GatherData(QStringLiteral("105"), dir.path(), QStringLiteral("DataRecordSet_original.txt"), message,
                                    c.records, QStringLiteral("2"), 0, fullYear)
                        .toBool();
    c.seconds = t.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "collection failed: %s\n", message.toUtf8().constData());
        return std::nullopt;
    }
    const Exchange &x = link.exchangeStats();
    c.lineBytes = x.bytesSent + x.bytesReceived;
    c.repliedBytes = x.bytesReceived;
    c.turnArounds = x.requests;
    return c;
}
