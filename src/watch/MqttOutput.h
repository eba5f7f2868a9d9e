#pragma once

#include "watch/MqttUrl.h"
#include "watch/PunchOutput.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>

struct mosquitto;
struct mqtt5__property;

// Publishes each punch with QoS 1 to PREFIX/TERMINAL-NAME/punch, its JSON line as the payload. A punch
// counts as taken once the broker's PUBACK says it accepted it (MQTT 5: a refusal, such as a topic the
// user may not write, is not taken). The connection is driven only inside deliver(), on the caller's
// thread: no thread of its own, no callback outside deliver(), and one thread at a time. A caller
// with nothing to deliver for a minute calls deliver() with no lines: that only sends the keep-alive,
// so that the broker does not drop an idle connection (it drops one silent for 90 s).
//
// When a delivery stops short (a lost connection, the timeout) the connection is dropped with
// whatever it still held, so nothing stale is sent later out of order; the next deliver() connects
// again and the caller hands over the punches from its mark once more. A broker that cannot be
// reached is tried again only after a pause growing from 1 s to 30 s; until then deliver() returns 0
// at once with the last error.
class MqttOutput : public PunchOutput {
public:
    explicit MqttOutput(const MqttUrl &url);
    ~MqttOutput() override;
    MqttOutput(const MqttOutput &) = delete;
    MqttOutput &operator=(const MqttOutput &) = delete;

    QString name() const override { return url_.display(); }
    int deliver(const QString &terminalName, const QList<QByteArray> &jsonLines, int timeoutMs,
                QString &error) override;

    // The topic of a terminal's punches, or the empty text with `error` when its name cannot be one
    // topic level (it holds / + # or control characters). Watch checks the fleet with it at start.
    QString topicOf(const QString &terminalName, QString &error) const;

private:
    bool connect(const QDeadlineTimer &deadline, QString &error);
    // Runs the connection until `done` or the deadline; false with `error` when the connection failed.
    template <typename Done>
    bool pump(const QDeadlineTimer &deadline, Done done, QString &error);
    void drop();
    QString failure(const QString &what, const QString &why) const;
    QString reasonOf(int rc) const;

    static void onConnect(mosquitto *, void *self, int rc, int flags, const mqtt5__property *);
    static void onPublish(mosquitto *, void *self, int mid, int reason, const mqtt5__property *);
    static void onDisconnect(mosquitto *, void *self, int rc, const mqtt5__property *);

    MqttUrl url_;
    QByteArray clientId_;
    mosquitto *client_ = nullptr;
    bool connected_ = false;
    int connackCode_ = -1;  // the broker's answer to the connect in hand, -1 before it came
    QString lastError_;
    QDeadlineTimer retryAt_;  // no connect before it after a failed one
    int retryPauseMs_ = 0;

    // The delivery in hand: message id -> its place in the list, and what the broker said of each.
    QHash<int, int> placeOfMid_;
    QList<int> reasons_;  // -1 until acknowledged
    int refused_ = -1;    // the first place the broker refused, -1 when none
};
