// Collects 10,000 records from attsim pacing its line at 115200 baud (10 bits a byte) and compares
// the time with the time the line rate allows for the bytes on the line; the goal is at least 90%
// of the line rate (ratio at most 1.11).
#include "link_sim.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int records = 10000;
    const int baud = 115200;
    BenchSim sim;
    if (!sim.start({QStringLiteral("--records"), QString::number(records), QStringLiteral("--baud"), QString::number(baud)})) {
        std::fprintf(stderr, "attsim did not start\n");
        return 1;
    }
    const std::optional<Collection> c = collectOnce(sim.host, sim.port, baud);
    if (!c || c->records != records) return 1;
    // One line for both directions, as a half-duplex serial line is.
    const double lineSeconds = c->lineBytes * 10.0 / baud;
    const double ratio = c->seconds / lineSeconds;
    std::printf("collected %d records at %d baud in %.3f s\n", c->records, baud, c->seconds);
    std::printf("bytes on the line %lld, record bytes %lld, wire efficiency %.1f%%\n", (long long)c->lineBytes,
                (long long)c->records * RecordWire::Size, 100.0 * c->efficiency());
    std::printf("requests (turn-arounds) %lld\n", (long long)c->turnArounds);
    std::printf("line-rate time %.3f s; measured / line-rate = %.3f (%.1f%% of the line rate; goal >= 90%%)\n",
                lineSeconds, ratio, 100.0 / ratio);
    return ratio <= 1.11 ? 0 : 3;
}
