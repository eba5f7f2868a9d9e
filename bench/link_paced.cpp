// Collects attsim's generated records over its pty paced at 115200 and at 9600 baud (10 bits a byte)
// and compares the time with the line minimum of the records' information (10 bytes a record: card
// 4, time 4, flag 2) at that rate. Goal: at most 0.5 of that minimum.
#include "link_sim.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int worst = 0;
    for (const auto &[baud, records] : {std::pair{115200, 10000}, std::pair{9600, 2000}}) {
        QTemporaryDir dir;
        const QString pty = dir.filePath(QStringLiteral("ttySIM"));
        BenchSim sim;
        if (!sim.start({QStringLiteral("--records"), QString::number(records), QStringLiteral("--baud"),
                        QString::number(baud)},
                       pty)) {
            std::fprintf(stderr, "attsim did not start\n");
            return 1;
        }
        const std::optional<Collection> c = collectOnce(sim.host, sim.port, baud, pty);
        if (!c || c->records != records) return 1;
        const double minimum = records * 10.0 * 10.0 / baud;
        const double lineRate = c->lineBytes * 10.0 / baud;
        const double ratio = c->seconds / minimum;
        std::printf(
            "%d records at %d baud: %.3f s; 10-byte line minimum %.3f s; measured / minimum = %.2f (goal <= 0.5)\n",
            records, baud, c->seconds, minimum, ratio);
        std::printf("  bytes on the line %lld (%.2f a record), requests %lld; measured / time of those bytes = %.2f\n",
                    (long long)c->lineBytes, c->bytesPerRecord(), (long long)c->turnArounds, c->seconds / lineRate);
        if (ratio > 1.0) worst = 3;
    }
    return worst;
}
