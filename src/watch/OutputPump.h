#pragma once

#include "sync/DatabaseUrl.h"

#include <QElapsedTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class Database;
class PunchOutput;

// Hands one output the punches stored, from its delivery mark on, on a thread and a database
// connection of its own (a slow or unreachable output holds up neither the storing nor the other
// outputs). Each terminal's punches go in serial order, read back from the database as `attctl
// export --format jsonl` writes them; the mark rises by what the output took, after it took it, so
// that after a crash a punch may be handed on twice but never skipped. An output that runs for the
// first time starts at what is stored then; a terminal stored for the first time later starts at
// its first punch.
class OutputPump {
public:
    // `mine`: whether this process collects the terminal of an identity (a standby's output hands on
    // only what its own process collects).
    OutputPump(const DatabaseUrl &url, PunchOutput &output, std::function<bool(const QString &)> mine);
    ~OutputPump();

    // Before any line is watched: an output's first run starts its marks at what is stored then.
    bool prepare(QString &error);
    // After a commit: something new may wait.
    void wake();
    // Until `finish` is set; then one last round hands on what is stored.
    void run(const std::atomic<bool> &finish);

    static constexpr int RowsPerDelivery = 500;
    static constexpr int DeliverTimeoutMs = 2000;

private:
    bool ensureOpen();
    bool startMarks(QString &error);
    // One round over the terminals with punches past the mark; false when the output or the
    // database stopped it (retried later).
    bool deliverPending(QString &error);
    // One page of a terminal's punches after `mark`; `mark` rises by what the output took.
    bool deliverTerminal(qint64 id, quint64 &mark, quint64 lastSerial, bool &more, QString &error);
    bool writeMarks(const std::vector<std::pair<qint64, quint64>> &marks, QString &error);
    void trouble(const QString &error);

    DatabaseUrl url_;
    PunchOutput &output_;
    std::function<bool(const QString &)> mine_;
    std::unique_ptr<Database> db_;
    QElapsedTimer lastOpen_;
    bool down_ = false;
    int pauseMs_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
};
