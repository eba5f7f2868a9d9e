#pragma once

// Shared by the link benchmarks: attsim and attctl as child processes (bench_sim.h), one timed
// collection through our device link with both record files written, and a process's peak memory.
#include "bench_sim.h"
#include "attctl/FormattedStream.h"
#include "attlink/AttLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

struct Collection {
    qint32 records = 0;
    double seconds = 0;
    qint64 lineBytes = 0;     // both directions
    qint64 repliedBytes = 0;  // terminal to link
    qint64 turnArounds = 0;   // requests
    double bytesPerRecord() const { return records ? double(lineBytes) / records : 0; }
};

// One GatherData from the simulator into a temporary folder, the formatted file written alongside as
// attctl collect does: over TCP at host:port, or over the serial line `pty` when given. `baud` tells
// the link the line's rate (its requests and reply deadlines follow it); 0 for TCP's own pace.
inline std::optional<Collection> collectOnce(const QString &host, const QString &port, int baud,
                                             const QString &pty = {})
{
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("AttLink.ini")));
        if (!ini.open(QIODevice::WriteOnly)) return std::nullopt;
        ini.write(QStringLiteral("[Serial]\nBaud=%1\n").arg(baud > 0 ? baud : 230400).toLatin1());
        if (!pty.isEmpty()) ini.write("[Ports]\nCom1=" + pty.toLocal8Bit() + "\n");
    }
    AttLink link(dir.path());
    if (pty.isEmpty()) {
        link.Mode(1);
        if (!link.Connect_Net(host, port).toBool()) return std::nullopt;
    } else {
        link.Mode(0);
        QVariant com = 1;
        if (!link.SetPort(com).toBool()) return std::nullopt;
    }
    QString message;
    Collection c;
    bool fullYear = false;
    RecordLayout layout = RecordLayout::defaults();
    layout.separators = {"", ",", ",", "-", "-", " ", ":", ":", ""};
    FormattedStream formatted(dir.filePath(QStringLiteral("DataRecordSet.txt")), layout);
    QElapsedTimer t;
    t.start();
    if (!formatted.open()) return std::nullopt;
    link.setRawLinesObserver([&](const QByteArray &lines) { return formatted.add(lines); });
    const bool ok = link.GatherData(QStringLiteral("105"), dir.path(), QStringLiteral("DataRecordSet_original.txt"),
                                    message, c.records, QStringLiteral("2"), 0, fullYear)
                        .toBool()
        && formatted.commit();
    c.seconds = t.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "collection failed: %s\n", message.toUtf8().constData());
        return std::nullopt;
    }
    const Exchange &x = link.exchangeStats();
    c.lineBytes = x.bytesSent() + x.bytesReceived();
    c.repliedBytes = x.bytesReceived();
    c.turnArounds = x.requests();
    return c;
}
