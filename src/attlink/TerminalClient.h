#pragma once

#include "attlink/ClientResult.h"
#include "attlink/LinkSettings.h"
#include "attlink/SinceReplyCheck.h"
#include "attlink/TerminalIdentity.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RosterBlock.h"
#include "attlink/transport/PortHolder.h"

#include <QDateTime>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class Exchange;
class FdChannel;
class SerialChannel;
class TcpChannel;

// One terminal line and the typed operations of docs/protocol.md over it. The line is chosen when it
// is opened (a serial device or a TCP connection) and every operation goes through its one exchange.
// Each operation returns a ClientResult: the failure kind, the terminal's reply status and an English
// text; values come back through the reference arguments. Nothing here writes a file or speaks the
// console's language. Addresses are 0..255 (BadArgument otherwise, nothing sent).
class TerminalClient {
public:
    using RecordSink = std::function<bool(const std::vector<PackedRecord> &)>;  // false: stop
    using RosterSink = std::function<bool(const std::vector<PackedRosterEntry> &)>;
    using Progress = std::function<void(qint64 done, qint64 expected)>;

    explicit TerminalClient(const LinkSettings &settings);
    ~TerminalClient();
    TerminalClient(const TerminalClient &) = delete;
    TerminalClient &operator=(const TerminalClient &) = delete;

    // ---- the line ----
    ClientResult openSerial(const QString &device, int baud = 0);  // 0: [Serial] Baud
    ClientResult openTcp(const QString &host, quint16 port);
    void close();
    bool isOpen() const;
    bool isTcp() const;
    int tcpState() const;                    // socket state 0..9 of a TCP line, 0 without one
    const PortFailure &portFailure() const;  // why the last openSerial failed
    QString connectFailure() const;          // why the last openTcp failed, in the system's words
    void abandon() { abandoned_ = true; }    // from any thread: ends the wait in progress and all later
    const LinkSettings &settings() const { return settings_; }
    // The exchange of the open line (its counters), or null before one was opened.
    const Exchange *exchange() const { return exchange_.get(); }
    // The same for operations written as functions over an exchange (RosterTransfer).
    Exchange *exchange() { return exchange_.get(); }
    void setProgress(Progress progress) { progress_ = std::move(progress); }
    // The open line's byte channel (subscriptions read pushes from it), or null.
    FdChannel *channel();

    // ---- records ----
    ClientResult identify(int address, TerminalIdentity &out);
    // Every record after `since` in serial order, a decoded reply at a time; lastSerial: the last one
    // handed over (`since` when none). Records stored once the first reply's newest serial is reached
    // are left for the next call.
    ClientResult recordsSince(int address, quint64 since, const RecordSink &sink, quint64 &lastSerial);
    // Serials the last recordsSince found deleted on the terminal before they were collected.
    SinceReplyCheck::Gap skippedSerials() const { return skipped_; }
    // Deletes only records with serial <= upTo; a count above upTo is a damaged reply.
    ClientResult deleteRecordsUpTo(int address, quint64 upTo, qint64 &deleted);
    // Records of packets first..last (1..65535: all of them) in blocks; count: how many were handed
    // over. pauseMs: on a serial line, the least time from a reply to the next request (0..1000), for
    // converters slow to turn the line around.
    ClientResult recordBlocks(int address, int first, int last, int pauseMs, const RecordSink &sink, qint64 &count);
    ClientResult recordCount(int address, qint32 &count);
    ClientResult clearRecords(int address);
    ClientResult clearFlags(int address);
    ClientResult putRecord(int address, quint32 card, const QDateTime &when, const QString &flag);
    ClientResult clearLog(int address, QByteArray &log);
    ClientResult timeChangeLog(int address, QByteArray &log);

    // ---- roster ----
    ClientResult rosterBlocks(int address, int first, int last, int pauseMs, const RosterSink &sink, qint64 &count);
    ClientResult rosterCount(int address, qint32 &count);
    ClientResult clearRoster(int address);
    // validUntil: the last day the card is valid; a null date for never.
    ClientResult addCard(int address, quint32 card, const QString &jobNo, const QString &name, const QString &level,
                         const QDate &validUntil);
    ClientResult removeCard(int address, quint32 card);
    ClientResult findCard(int address, quint32 card, bool &found);
    // The card last presented, and its 2-digit flag.
    ClientResult readCard(int address, quint32 &card, QString &flag);

    // ---- clock and settings ----
    // The terminal's clock to `when` (its wall-clock fields; four-digit year), noted in its
    // time-change log when `logged`.
    ClientResult setClock(int address, const QDateTime &when, bool logged = true);
    // ringSeconds 0..255; up to 16 alarms as "hh:mm".
    ClientResult setAlarms(int address, int ringSeconds, const QStringList &alarms);
    // Three words of 4 hexadecimal digits.
    ClientResult setParameters(int address, const QString &relay, const QString &interval, const QString &mode);
    ClientResult readParameters(int address, QByteArray &text);
    ClientResult setAddress(int address, int newAddress);
    ClientResult setPassword(int address, const QString &digits);  // 1 to 4 digits
    ClientResult getPassword(int address, int &password);
    // The storage-mode code the terminal answers (1 real-time, 2 offline, any other 0..32767 as it came).
    ClientResult getStorage(int address, int &code);
    ClientResult setStorage(int address, int code);  // 1 or 2

    // ---- display and sound ----
    ClientResult setLogo(int address, bool restore);
    // The boot picture, 128 x 64 dots packed 8 a byte (1024 bytes), in 4 packets.
    ClientResult sendPicture(int address, const QByteArray &bits);
    ClientResult shortMessage(int address, int minutes, const QString &text);
    ClientResult voice(int address, int prompt);  // 1..255

private:
    friend class PushSubscription;
    struct Reply;
    // One request; its reply's data when Ok.
    ClientResult request(int address, uint8_t command, const QByteArray &payload, QByteArray *data = nullptr);
    ClientResult ask(int address, uint8_t command, const QStringList &fields = {}, QByteArray *data = nullptr);
    ClientResult askCount(int address, uint8_t command, qint32 &count);
    int recordsPerRequest() const;
    bool askLessAfterSlowReply(int &asked, const QString &unit);
    qint64 collectionDeadlineMs(qint64 records) const;
    void report(qint64 done, qint64 expected) const;
    struct BlockKind;
    ClientResult collectBlocks(int address, int first, int last, int pauseMs, const BlockKind &kind, qint64 &count);

    LinkSettings settings_;
    std::atomic<bool> abandoned_{false};
    std::unique_ptr<SerialChannel> serial_;
    std::unique_ptr<TcpChannel> tcp_;
    std::unique_ptr<Exchange> exchange_;
    PortFailure noFailure_;
    Progress progress_;
    SinceReplyCheck::Gap skipped_;
};
