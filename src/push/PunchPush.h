#pragma once

#include <QString>
#include <functional>

class Database;
class PushClient;

struct PushOptions {
    QString destination;      // the endpoint's URL as the delivery marks name it (no password)
    int batch = 1000;         // punches a POST
    int attempts = 6;         // POSTs of one batch before the push gives up (5xx, no answer, 429)
    int firstPauseMs = 1000;  // the pause after the first failure, doubled after each one up to a minute
};

struct PushResult {
    qint64 delivered = 0;  // punches the endpoint accepted
    qint64 batches = 0;
    qint64 dead = 0;  // batches the endpoint refused (4xx), kept in push_dead
    QString error;    // why the push stopped; empty when everything was delivered
    bool databaseFailed = false;
};

// Delivers the stored punches to one endpoint, each terminal's in serial order, from the delivery
// mark that the database keeps for the endpoint and terminal. The mark moves only when the endpoint
// answered 2xx (or refused the batch with another 4xx, which then goes to push_dead in the same
// transaction): a push that is killed or fails sends the unconfirmed batch again, never skips one.
// Each batch carries an Idempotency-Key made of its first and last id, so that a batch sent again
// is recognisable downstream.
class PunchPush {
public:
    PunchPush(Database &db, PushClient &client, const PushOptions &options);

    // Everything not yet delivered; false when it stopped (result.error says why).
    bool run(PushResult &result);
    // The batches in push_dead for this endpoint once more; those accepted leave it.
    bool retryDead(PushResult &result);

    // Waits between attempts; tests and the follow mode may replace it.
    std::function<void(int ms)> pause;

private:
    enum class Outcome { Accepted, Refused, Failed };
    bool pushTerminal(qint64 terminalId, const QByteArray &identity, PushResult &result);
    bool markOf(qint64 terminalId, quint64 &mark, QString &error);
    Outcome deliver(const QByteArray &body, const QByteArray &key, int &status, QByteArray &answer, QString &failure);
    bool batchOf(qint64 terminalId, quint64 after, quint64 through, QByteArray &body, quint64 &first, quint64 &last,
                 int &count, QString &error);
    bool record(qint64 terminalId, quint64 last, const QByteArray *refusedBatch, quint64 first, int status,
                const QByteArray &answer, QString &error);

    Database &db_;
    PushClient &client_;
    PushOptions options_;
};
