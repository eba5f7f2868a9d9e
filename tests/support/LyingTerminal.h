#pragma once

#include "attlink/protocol/Commands.h"
#include "attlink/protocol/Frame.h"
#include "attlink/protocol/RecordWire.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <thread>

// A terminal that lies, on 127.0.0.1: it speaks our frames over TCP from its own thread and answers
// each request as its mode says, so that the device link can be tested against replies attsim never
// gives. One mode per fault:
//
//   LyingTerminal t(LyingTerminal::Mode::RosterCrLfInName);
//   link.Mode(1);
//   link.Connect_Net("127.0.0.1", t.portText());
//
// Every mode answers Ok to any command it does not lie about. Record i (0-based) has serial i + 1. The server takes one connection at a
// time and stops (closing it) when destroyed.
class LyingTerminal {
public:
    enum class Mode {
        Honest,                  // `records` records, `roster` roster entries, nothing false
        RosterCrLfInName,        // a name with CR LF and a forged entry inside it
        RosterCommaInJobNumber,  // a job number "12,34"
        RosterControlBytes,      // a name with NUL and ESC bytes
        RosterLongName,          // a name of 255 bytes
        RecordsClearedMidway,    // 500 records at packet 1, then cleared and 300 punched
        RecordsWrongItemCount,   // packet 1 of 300 records carries 100
        AbsurdPacketCount,       // 5 records in 65,535 packets
        Trickle,                 // one byte every 150 ms, never a whole reply
        DamagedReplies,          // every reply's CRC broken
        StorageWraps,            // GetStorage answers "65537"
        StorageOutOfRange,       // GetStorage answers "99"
        ControlText,             // parameters, logs and the identity's model with escape sequences, CR, LF
        StorageZero,             // GetStorage answers "0", a code that is no mode
        SinceSkips,              // RecordsSince S answered from S+4, its header counting every record after S
        RepeatedPackets,         // record packets 2 and 3 carry packet 1's records and serials
        DeletesTooMany,          // DeleteRecordsUpTo answers 2 more than the records it holds
        EndlessSince,            // claims the newest serial 2^64-1 and 2^32-1 records before it
        WrongSequence,           // every reply carries the next sequence number
        BatchShortResults,       // IssueCards and WithdrawCards answered with one result fewer than entries
    };

    explicit LyingTerminal(Mode mode, int records = 5, int roster = 3);
    ~LyingTerminal();
    LyingTerminal(const LyingTerminal &) = delete;
    LyingTerminal &operator=(const LyingTerminal &) = delete;

    quint16 port() const { return port_; }
    QString portText() const { return QString::number(port_); }
    // Requests received so far (of every command).
    int requests() const { return requests_; }
    int packetRequests() const { return packetRequests_; }
    int deleteRequests() const { return deleteRequests_; }

    // The honest content: record i and roster entry i (0-based).
    static WireRecord record(int i);
    static QStringList rosterEntry(int i);  // card, job number, name

    static constexpr uint8_t Address = 105;
    static QByteArray controlParameters();  // what ControlText answers to ReadParameters

private:
    void serve();
    void answer(int fd, const Frame::Message &request);
    QByteArray replyPayload(const Frame::Message &request);
    QByteArray recordPacket(int packet);
    QByteArray rosterPacket(int packet);
    QByteArray recordsSince(const QByteArray &request) const;
    void trickle(int fd);

    Mode mode_;
    int records_, roster_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0}, packetRequests_{0}, deleteRequests_{0};
    std::thread thread_;
};
