#pragma once

#include "common/RaisedError.h"
#include "ui/CommandContext.h"

#include <QObject>

class SettingsStore;

// The connection frame Frame6: serial-port toolbar, serial and TCP modes, connect and disconnect,
// the TCP state display of TimerState, and the check of TxtAddress when the focus leaves it.
class ConnectionCommands : public QObject {
    Q_OBJECT
public:
    ConnectionCommands(const CommandContext &context, SettingsStore &settings, QObject *parent = nullptr);

    void comButtonClicked(int index);
    void SelectComPort(qint16 n);
    void serialMode();
    void tcpMode();
    void connectClicked();
    void timerTick();
    bool validateAddress();

    static QString tcpStateCaption(const QVariant &state);

private:
    void reportError(const RaisedError &e);

    CommandContext ctx_;
    SettingsStore &settings_;
    bool tickErrorShown_ = false;
    bool tickDeferred_ = false;
};
