#pragma once

#include "watch/PunchOutput.h"

// `--jsonl`: each punch as its JSON line on standard output. A line counts as taken once the system
// has it (written straight to the descriptor, no buffer in between); a closed pipe or a full disk
// stops the delivery there, and the mark stays before the first line not written.
class JsonlOutput : public PunchOutput {
public:
    explicit JsonlOutput(int fd = 1) : fd_(fd) {}
    QString name() const override { return QStringLiteral("jsonl"); }
    int deliver(const QString &terminalName, const QList<QByteArray> &jsonLines, int timeoutMs,
                QString &error) override;

private:
    int fd_;
};
