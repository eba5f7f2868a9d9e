#pragma once

#include <QByteArray>
#include <random>

// What the line does to the simulator's replies: corrupt or drop a fraction of them (decided by a
// seeded generator, so a run can be repeated), delay them, pace bytes at a baud rate, and cut the
// connection after a number of bytes.
struct FaultSettings {
    double corrupt = 0;           // fraction of reply frames with one byte changed
    double drop = 0;              // fraction of reply frames never sent
    int delayMs = 0;              // before each reply
    qint64 disconnectAfter = -1;  // bytes sent on one connection before it is cut; -1 never
    int baud = 0;                 // 0: as fast as the transport goes; else 10 bits a byte (8N1)
    quint64 seed = 1;
};

class Faults {
public:
    explicit Faults(const FaultSettings &s) : settings_(s), rng_(s.seed * 0x9E3779B97F4A7C15ull + 7) {}
    const FaultSettings &settings() const { return settings_; }

    bool dropNext() { return settings_.drop > 0 && chance(settings_.drop); }
    // Changes one byte after the start marker of `frame` in that fraction of calls; true when it did.
    bool maybeCorrupt(QByteArray &frame);
    // Time the line takes for `bytes` at the baud rate, in milliseconds (0 without pacing).
    double lineMs(qint64 bytes) const { return settings_.baud > 0 ? bytes * 10000.0 / settings_.baud : 0.0; }

private:
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p; }

    FaultSettings settings_;
    std::mt19937_64 rng_;
};
