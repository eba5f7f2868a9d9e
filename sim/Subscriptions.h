#pragma once

#include "attlink/protocol/Frame.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <functional>

class Faults;
class QTimer;
class Terminal;

// The pushes of one TCP line: for each address that subscribed on it, every record the terminal
// stores after the serial the host named goes out as a Push frame, one push awaiting its PushAck at
// a time (the records stored meanwhile go together in the next). A push not acknowledged within
// ResendMs is sent again with the same sequence number and content; the subscription ends with the
// line. docs/protocol.md, "Subscription".
class Subscriptions : public QObject {
    Q_OBJECT
public:
    using TerminalAt = std::function<Terminal *(int address)>;
    using Send = std::function<void(const QByteArray &frame)>;
    Subscriptions(TerminalAt terminalAt, Send send, Faults &faults, QObject *parent);
    ~Subscriptions() override;

    // Answers a Subscribe request to `terminal` (its status byte and data).
    QByteArray subscribe(Terminal &terminal, const QByteArray &payload);
    // A PushAck from the host; anything but the acknowledgement of the push in flight is ignored.
    void acknowledged(const Frame::Message &ack);

    static constexpr int ResendMs = 1000;
    static constexpr int MaxRecordsPerPush = 64;

private:
    struct Subscription {
        Terminal *terminal = nullptr;
        int watcher = 0;
        quint64 acked = 0;    // the host has every record up to here
        quint64 sentUpTo = 0;  // the last serial of the push in flight
        uint32_t sequence = 0;
        bool inFlight = false;
        QByteArray frame;  // the push in flight, sent again as it is
        QElapsedTimer sentAt;
        QElapsedTimer gapWait;  // a gap fault holding a lone record until a second comes to push
    };
    // `gapAllowed` false: the next record goes out even under a gap fault (it waited long enough).
    void pushNext(int address, bool gapAllowed = true);
    void transmit(Subscription &s);
    void resendLate();
    void endAll();

    QHash<int, Subscription> subscriptions_;
    TerminalAt terminalAt_;
    Send send_;
    Faults &faults_;
    QTimer *resend_;
};
