#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct mosquitto;
struct mosquitto_message;

// A second, independent MQTT client for tests: subscribes to a topic filter with QoS 1 and collects
// what the broker forwards, to compare with what was published. Driven only inside its calls.
class MqttSubscriber {
public:
    struct Message {
        QString topic;
        QByteArray payload;
    };

    MqttSubscriber();
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber &) = delete;
    MqttSubscriber &operator=(const MqttSubscriber &) = delete;

    // Connects to the broker on 127.0.0.1:port and returns once it confirmed the subscription; false
    // with errorText().
    bool subscribe(quint16 port, const QString &filter, const QString &user = {}, const QString &password = {});
    // Waits until `count` messages in all arrived or timeoutMs passed; what arrived, in order.
    QList<Message> waitFor(int count, int timeoutMs);
    QString errorText() const { return error_; }

private:
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onSubscribe(mosquitto *, void *self, int, int, const int *);

    mosquitto *client_ = nullptr;
    QList<Message> received_;
    bool subscribed_ = false;
    QString error_;
};
