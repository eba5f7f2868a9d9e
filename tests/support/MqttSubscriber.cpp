#include "support/MqttSubscriber.h"

#include <QDeadlineTimer>

#include <mosquitto.h>

MqttSubscriber::MqttSubscriber()
{
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(client_, onMessage);
    mosquitto_subscribe_callback_set(client_, onSubscribe);
}

MqttSubscriber::~MqttSubscriber() { mosquitto_destroy(client_); }

void MqttSubscriber::onMessage(mosquitto *, void *self, const mosquitto_message *m)
{
    static_cast<MqttSubscriber *>(self)->received_.append(
        {QString::fromUtf8(m->topic), QByteArray(static_cast<const char *>(m->payload), m->payloadlen)});
}

void MqttSubscriber::onSubscribe(mosquitto *, void *self, int, int, const int *)
{
    static_cast<MqttSubscriber *>(self)->subscribed_ = true;
}

bool MqttSubscriber::subscribe(quint16 port, const QString &filter, const QString &user, const QString &password)
{
    if (!user.isEmpty()) mosquitto_username_pw_set(client_, user.toUtf8().constData(), password.toUtf8().constData());
    int rc = mosquitto_connect(client_, "127.0.0.1", port, 60);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_subscribe(client_, nullptr, filter.toUtf8().constData(), 1);
    const QDeadlineTimer deadline(30000);
    while (rc == MOSQ_ERR_SUCCESS && !subscribed_ && !deadline.hasExpired()) rc = mosquitto_loop(client_, 100, 1);
    if (!subscribed_) error_ = QStringLiteral("subscriber: ") + QString::fromUtf8(mosquitto_strerror(rc));
    return subscribed_;
}

QList<MqttSubscriber::Message> MqttSubscriber::waitFor(int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (received_.size() < count && !deadline.hasExpired())
        if (mosquitto_loop(client_, 100, 1) != MOSQ_ERR_SUCCESS) break;
    return received_;
}
