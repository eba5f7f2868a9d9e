#pragma once

#include <QString>
#include <optional>

// Where live punches are published, as the operator writes it:
// `mqtt://[USER[:PASSWORD]@]HOST[:PORT]/PREFIX` (port 1883 unless given; an IPv6 host in brackets;
// the user and password percent-encoded where they hold `@`, `:` or `/`). PREFIX is one or more
// topic levels (`site/zevo`); each terminal's punches go to PREFIX/TERMINAL-NAME/punch.
// A user without a password in the URL takes it from $ZEVO_MQTT_PASSWORD, so that a service need not
// show it on its command line.
struct MqttUrl {
    QString user, password, host, prefix;
    int port = 1883;

    // The URL as shown in messages and used as the delivery mark's key: never the user or password,
    // so that changing the credentials keeps the mark.
    QString display() const;

    // The URL, or nothing with `error` naming what is wrong with it.
    static std::optional<MqttUrl> parse(const QString &text, QString &error);
};
