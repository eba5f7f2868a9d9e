#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// An output that hands punches on after they are stored. Each has a delivery mark per terminal in the
// database, keyed by name(); watch advances it only by what deliver() reports as taken.
class PunchOutput {
public:
    virtual ~PunchOutput() = default;
    virtual QString name() const = 0;  // the mark's key: "jsonl", or "mqtt://HOST:PORT/PREFIX" (no password)
    // One terminal's punches in serial order, each already as its JSON line (no newline).
    // Returns how many, from the front, the output has durably taken (0..lines.size());
    // error says why it stopped short. Must not block for more than timeoutMs.
    virtual int deliver(const QString &terminalName, const QList<QByteArray> &jsonLines, int timeoutMs,
                        QString &error) = 0;
};
