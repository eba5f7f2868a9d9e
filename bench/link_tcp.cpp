// Collects 100,000 and 1,000,000 records from attsim over TCP loopback, writing the raw and the
// formatted file as attctl collect does, and compares the time with moving the same bytes through a
// loopback TCP connection in one stream, in the same run.
#include "link_sim.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <thread>

namespace {

// Seconds to send `bytes` through a fresh loopback connection and read them all at the far end.
double loopbackSeconds(qint64 bytes)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost)) return 0;
    const quint16 port = server.serverPort();
    std::thread sender([port, bytes] {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (!s.waitForConnected(5000)) return;
        const QByteArray chunk(65536, 'r');
        for (qint64 sent = 0; sent < bytes; sent += chunk.size()) {
            s.write(chunk.left(int(std::min<qint64>(chunk.size(), bytes - sent))));
            s.waitForBytesWritten(5000);
        }
        s.waitForDisconnected(5000);
    });
    QElapsedTimer t;
    t.start();
    if (!server.waitForNewConnection(5000)) {
        sender.join();
        return 0;
    }
    QTcpSocket *in = server.nextPendingConnection();
    qint64 got = 0;
    while (got < bytes && in->waitForReadyRead(5000)) got += in->readAll().size();
    const double s = t.nsecsElapsed() / 1e9;
    in->close();
    sender.join();
    return s;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (const int records : {100000, 1000000}) {
        BenchSim sim;
        if (!sim.start({QStringLiteral("--records"), QString::number(records)})) {
            std::fprintf(stderr, "attsim did not start\n");
            return 1;
        }
        // Best of three: on a shared machine one round mostly measures whoever else was busy.
        std::optional<Collection> best;
        for (int round = 0; round < 3; ++round) {
            const std::optional<Collection> c = collectOnce(sim.host, sim.port, 0);
            if (!c || c->records != records) return 1;
            if (!best || c->seconds < best->seconds) best = c;
        }
        const double baseline = loopbackSeconds(best->lineBytes);
        std::printf("%d records over TCP loopback, both files written: %.3f s, %.0f records/s (goal >= 3,000,000)\n",
                    records, best->seconds, records / best->seconds);
        std::printf("  bytes on the line %lld (%.2f a record), requests %lld\n", (long long)best->lineBytes,
                    best->bytesPerRecord(), (long long)best->turnArounds);
        std::printf("  same bytes as one loopback stream: %.4f s; collection / stream = %.1f\n", baseline,
                    baseline > 0 ? best->seconds / baseline : 0.0);
    }
    return 0;
}
