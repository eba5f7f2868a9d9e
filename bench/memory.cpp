// Peak resident memory of attsim holding 1,000,000 records while attctl collects them, and of attctl
// collecting them with both files written; each against the same program with nothing to hold.
#include "link_sim.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString attctl = binDir() + QStringLiteral("/tools/attctl");
    QTemporaryDir dir;
    BenchSim idle, full;
    if (!idle.start({QStringLiteral("--records"), QStringLiteral("0")})
        || !full.start({QStringLiteral("--records"), QStringLiteral("1000000")})) {
        std::fprintf(stderr, "attsim did not start\n");
        return 1;
    }
    const double attctlIdle =
        runForPeakMB(attctl, {QStringLiteral("--tcp"), idle.host + u':' + idle.port, QStringLiteral("count")});
    const double attctlFull = runForPeakMB(attctl,
                                           {QStringLiteral("--tcp"), full.host + u':' + full.port,
                                            QStringLiteral("collect"), QStringLiteral("--dir"), dir.path()});
    if (attctlIdle < 0 || attctlFull < 0) {
        std::fprintf(stderr, "attctl failed\n");
        return 1;
    }
    std::printf("peak RSS at 1,000,000 records (goal attctl <= 20 MB, attsim <= 40 MB):\n");
    std::printf("  attctl collect: %.1f MB (attctl count, nothing held: %.1f MB)\n", attctlFull, attctlIdle);
    std::printf("  attsim:         %.1f MB (attsim without records: %.1f MB)\n", full.peakMB(), idle.peakMB());
    return 0;
}
