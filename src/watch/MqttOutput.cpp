#include "watch/MqttOutput.h"

#include <QAtomicInteger>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <unistd.h>

namespace {

constexpr int keepAliveSeconds = 60;
// Publishes in flight at once: enough to keep a loopback or LAN broker busy, few enough that a long
// catch-up does not queue every punch in memory.
constexpr int window = 100;
constexpr int firstPauseMs = 1000, longestPauseMs = 30000;

QAtomicInteger<quint32> instances;

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The broker's reason codes below 0x80 say success (0x10: nobody subscribes, yet taken).
bool accepted(int reason) { return reason >= 0 && reason < 0x80; }

}  // namespace

MqttOutput::MqttOutput(const MqttUrl &url) : url_(url)
{
    initialiseLibrary();
    // Unique per process and instance: a broker drops the older of two connections with one id.
    clientId_ = QStringLiteral("zevo-watch-%1-%2-%3")
                    .arg(QSysInfo::machineHostName())
                    .arg(::getpid())
                    .arg(++instances)
                    .toUtf8();
}

MqttOutput::~MqttOutput() { drop(); }

QString MqttOutput::failure(const QString &what, const QString &why) const
{
    return QStringLiteral("MQTT %1: %2: %3").arg(url_.display(), what, why);
}

QString MqttOutput::reasonOf(int rc) const
{
    const int saved = errno;
    if (rc == MOSQ_ERR_ERRNO) return QString::fromLocal8Bit(std::strerror(saved));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

QString MqttOutput::topicOf(const QString &terminalName, QString &error) const
{
    bool usable = !terminalName.isEmpty() && !terminalName.contains(u'/') && !terminalName.contains(u'+')
        && !terminalName.contains(u'#');
    for (const QChar c : terminalName) usable = usable && c.category() != QChar::Other_Control;
    if (!usable) {
        error = failure(QStringLiteral("terminal \"%1\"").arg(terminalName),
                        QStringLiteral("its name cannot be a topic level (it may not be empty or hold / + #)"));
        return {};
    }
    return url_.prefix + u'/' + terminalName + QStringLiteral("/punch");
}

void MqttOutput::onConnect(mosquitto *, void *self, int rc, int, const mqtt5__property *)
{
    static_cast<MqttOutput *>(self)->connackCode_ = rc;
}

void MqttOutput::onPublish(mosquitto *, void *self, int mid, int reason, const mqtt5__property *)
{
    auto *out = static_cast<MqttOutput *>(self);
    const int place = out->placeOfMid_.value(mid, -1);
    if (place < 0) return;
    out->reasons_[place] = reason;
    if (!accepted(reason) && (out->refused_ < 0 || place < out->refused_)) out->refused_ = place;
}

void MqttOutput::onDisconnect(mosquitto *, void *self, int, const mqtt5__property *)
{
    static_cast<MqttOutput *>(self)->connected_ = false;
}

void MqttOutput::drop()
{
    if (!client_) return;
    if (connected_) mosquitto_disconnect(client_);
    mosquitto_destroy(client_);
    client_ = nullptr;
    connected_ = false;
}

template <typename Done>
bool MqttOutput::pump(const QDeadlineTimer &deadline, Done done, QString &error)
{
    while (!done()) {
        if (deadline.hasExpired()) return false;
        const int slice = int(qBound(qint64(0), deadline.remainingTime(), qint64(100)));
        const int rc = mosquitto_loop(client_, slice, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = failure(QStringLiteral("connection lost"), reasonOf(rc));
            return false;
        }
    }
    return true;
}

bool MqttOutput::connect(const QDeadlineTimer &deadline, QString &error)
{
    drop();
    client_ = mosquitto_new(clientId_.constData(), true, this);
    if (!client_) {
        error = failure(QStringLiteral("cannot start a client"), QStringLiteral("out of memory"));
        return false;
    }
    // MQTT 5, so that a PUBACK can say the broker refused a punch (a topic the user may not write).
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_max_inflight_messages_set(client_, window);
    mosquitto_connect_v5_callback_set(client_, onConnect);
    mosquitto_publish_v5_callback_set(client_, onPublish);
    mosquitto_disconnect_v5_callback_set(client_, onDisconnect);
    if (!url_.user.isEmpty())
        mosquitto_username_pw_set(client_, url_.user.toUtf8().constData(),
                                  url_.password.isEmpty() ? nullptr : url_.password.toUtf8().constData());
    connackCode_ = -1;
    // Only the name lookup blocks here (an address, as brokers are usually given, does not); the
    // TCP connect and the broker's answer run under the deadline.
    const int rc = mosquitto_connect_async(client_, url_.host.toUtf8().constData(), url_.port, keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = failure(QStringLiteral("cannot connect"), reasonOf(rc));
        drop();
        return false;
    }
    // A refusing broker closes the connection right after its answer: the answer decides.
    const auto answered = [this] { return connackCode_ >= 0; };
    const bool ran = pump(deadline, answered, error);
    if (connackCode_ > 0) {
        error = failure(QStringLiteral("the broker refused the connection"),
                        QString::fromUtf8(mosquitto_reason_string(connackCode_)));
    } else if (!ran) {
        if (error.isEmpty())
            error = failure(QStringLiteral("cannot connect"), QStringLiteral("no answer in time"));
        else
            error.replace(QStringLiteral(": connection lost: "), QStringLiteral(": cannot connect: "));
    }
    if (connackCode_ != 0) {
        drop();
        return false;
    }
    connected_ = true;
    return true;
}

int MqttOutput::deliver(const QString &terminalName, const QList<QByteArray> &jsonLines, int timeoutMs, QString &error)
{
    const QByteArray topic = topicOf(terminalName, error).toUtf8();
    if (topic.isEmpty()) return 0;
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    // Sends the keep-alive when one is due, and notices a connection the broker closed while nothing
    // was to be sent (it is made again at once below).
    if (connected_ && (mosquitto_loop(client_, 0, 1) != MOSQ_ERR_SUCCESS || !connected_)) drop();
    if (jsonLines.isEmpty()) return 0;
    if (!connected_) {
        if (!retryAt_.hasExpired()) {
            error = lastError_;
            return 0;
        }
        if (!connect(deadline, error)) {
            lastError_ = error;
            retryPauseMs_ = qBound(firstPauseMs, retryPauseMs_ * 2, longestPauseMs);
            retryAt_.setRemainingTime(retryPauseMs_);
            return 0;
        }
    }

    const int count = int(jsonLines.size());
    placeOfMid_.clear();
    reasons_.fill(-1, count);
    refused_ = -1;
    int published = 0, taken = 0;
    QString why;
    const auto frontAnswered = [&] { return reasons_[taken] >= 0; };
    while (why.isEmpty()) {
        while (taken < published && accepted(reasons_[taken])) ++taken;
        if (taken == count || taken == refused_) break;
        while (published < count && published - taken < window) {
            int mid = 0;
            const QByteArray &line = jsonLines[published];
            const int rc = mosquitto_publish_v5(client_, &mid, topic.constData(), int(line.size()), line.constData(), 1,
                                                false, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) {
                why = failure(QStringLiteral("cannot publish"), reasonOf(rc));
                break;
            }
            placeOfMid_.insert(mid, published++);
        }
        if (why.isEmpty() && !pump(deadline, frontAnswered, why) && why.isEmpty())
            why = failure(QStringLiteral("no acknowledgement"),
                          QStringLiteral("the broker did not answer within %1 ms").arg(timeoutMs));
        if (why.isEmpty() && !connected_)
            why = failure(QStringLiteral("connection lost"), QStringLiteral("the broker disconnected"));
    }
    if (taken == refused_)
        why = failure(QStringLiteral("terminal \"%1\"").arg(terminalName),
                      QStringLiteral("the broker refused a punch: ")
                          + QString::fromUtf8(mosquitto_reason_string(reasons_[taken])));
    placeOfMid_.clear();
    if (taken == count) {
        retryPauseMs_ = 0;
        return taken;
    }
    // Stopped short: forget what the connection still holds (the caller hands it over again), and
    // when nothing at all went through, wait before the next try.
    drop();
    error = why;
    lastError_ = why;
    if (taken == 0) {
        retryPauseMs_ = qBound(firstPauseMs, retryPauseMs_ * 2, longestPauseMs);
        retryAt_.setRemainingTime(retryPauseMs_);
    } else {
        retryPauseMs_ = 0;
    }
    return taken;
}
