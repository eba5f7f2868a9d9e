#pragma once

#include "attlink/protocol/Commands.h"
#include "attlink/protocol/PackedTime.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RecordWire.h"

#include <array>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// One simulated terminal: everything a real one keeps, and its answer to each command of
// docs/protocol.md. It knows nothing of lines or faults; SimServer feeds it decoded requests.
class Terminal {
public:
    struct Card {
        uint32_t card = 0;
        QString jobNo;
        QString name;
        QString level = QStringLiteral("00");          // privilege class, 2 hex digits
        QString expires = QStringLiteral("00000000");  // yyyyMMdd, 00000000 for never
    };
    struct ClearEntry {
        int count = 0;
        QDateTime when;
    };
    struct TimeChange {
        QDateTime before;
        QDateTime after;
    };
    struct Reply {
        ReplyStatus status = ReplyStatus::Ok;
        QByteArray data;  // after the status byte
    };
    // A stored record, 16 bytes: a million of them fit in a small simulator. Serials are implicit:
    // records are only ever appended or deleted from the oldest, so the records held carry the
    // consecutive serials firstSerial() .. lastSerial.
    struct Record {
        PackedTime when;
        uint32_t card = 0;
        std::array<char, 4> flag{{'0', '0', '0', '0'}};
    };

    // Firmware dates from which the logs exist; older terminals answer NotSupported.
    static QDate clearLogSince() { return QDate(2008, 7, 22); }
    static QDate timeChangeLogSince() { return QDate(2008, 7, 28); }
    static constexpr int DisplayWidth = 128;
    static constexpr int DisplayHeight = 64;
    static constexpr int PicturePackets = 4;
    static constexpr qsizetype DefaultCapacity = 100000;
    static constexpr int RosterCapacity = 30000;

    explicit Terminal(int address = DefaultTerminalAddress);

    Reply handle(uint8_t command, const QByteArray &payload);

    // The person at the terminal.
    void present(uint32_t card)
    {
        presented_ = card;
        hasPresented_ = true;
    }
    void takeAway() { hasPresented_ = false; }
    void punch(uint32_t card, const QByteArray &flag = "0000");
    // Stores a record with the next serial; a full memory overwrites its oldest record.
    void append(const Record &r);
    // Sets the record capacity (at least 1); records beyond it go, oldest first, as new ones would push them out.
    void setCapacity(qsizetype n);
    quint64 firstSerial() const { return lastSerial - quint64(records.size()) + 1; }

    // The terminal's clock: the host's wall-clock time moved by what SetDateTime set, without a zone.
    QDateTime now() const;
    void setClock(const QDateTime &t);

    // State, public for SimState (JSON) and the generators.
    int address = DefaultTerminalAddress;
    QString identity;  // 16 hex digits, kept through SetAddress and saved
    QList<Record> records;
    qsizetype capacity = DefaultCapacity;  // records the memory holds
    quint64 lastSerial = 0;                // serial of the newest record ever stored, never reused
    QMap<uint32_t, QByteArray> cardFlags;  // "00" cleared, "01" punched since the last clearing
    QList<Card> roster;
    int rosterCapacity = RosterCapacity;  // entries the roster holds; a card beyond is refused
    QStringList alarms;                   // "hh:mm" each
    QString ringPeriod;
    QString relay = QStringLiteral("0000"), interval = QStringLiteral("0000"), mode = QStringLiteral("0000");
    QString password = QStringLiteral("0000");
    int storage = 1;  // 1 real-time upload, 2 offline storage
    QList<ClearEntry> clearLog;
    QList<TimeChange> timeChangeLog;
    QDate firmware = QDate(2009, 6, 1);
    QString logo = QStringLiteral("maker");  // maker | cleared | picture
    QStringList picture;                     // DisplayHeight rows of '0'/'1' once a picture came
    QString message;
    int messageMinutes = 0;
    QDateTime messageAt;
    int voice = 0;  // last prompt played, 0 none
    bool hasPresented() const { return hasPresented_; }
    uint32_t presented() const { return presented_; }

    bool refuseDeletes = false;  // a fault of the tests: DeleteRecordsUpTo answers Refused
    // A fault of the tests for the next push: a serial already pushed is pushed again, or one is skipped.
    enum class PushFault { None, Repeat, Gap };
    PushFault pushFault = PushFault::None;

    // Called after each record stored (the lines' subscriptions push it); the id unregisters.
    int watchAppends(std::function<void()> watcher);
    void unwatchAppends(int id);

    // SetAddress asks this whether another terminal on the line already answers to an address.
    std::function<bool(int address)> addressTaken;

private:
    Reply recordPacket(const QByteArray &payload) const;
    Reply rosterPacket(const QByteArray &payload) const;
    Reply recordBlocks(const QByteArray &payload) const;
    Reply recordsSince(const QByteArray &payload) const;
    Reply deleteRecordsUpTo(const QStringList &f);
    Reply rosterBlocks(const QByteArray &payload) const;
    Reply issueCards(const QByteArray &payload);
    Reply withdrawCards(const QByteArray &payload);
    Reply identify() const;
    void clearRecords();
    Reply putRecord(const QStringList &f);
    Reply addCard(const QStringList &f);
    Reply setDateTime(const QStringList &f);
    Reply setAlarms(const QStringList &f);
    Reply setParameters(const QStringList &f);
    Reply setAddress(const QStringList &f);
    Reply picturePacket(const QByteArray &payload);
    Reply shortMessage(const QStringList &f);
    void logClear(int count);
    int findCard(uint32_t card) const;

    // Records being encoded into a block, kept between requests so that a collection allocates once.
    mutable std::vector<PackedRecord> packed_;
    std::map<int, std::function<void()>> appendWatchers_;
    int nextWatcher_ = 0;
    qint64 clockOffset_ = 0;
    uint32_t presented_ = 0;
    bool hasPresented_ = false;
    QByteArray pictureBits_;  // packets received so far of a picture being sent
    int picturePacket_ = 0;
};

// The terminals of one attsim, owned by its main function (or the fleet); the lines reach them by
// plain pointers, and a terminal outlives every line that reaches it.
using TerminalList = std::vector<std::unique_ptr<Terminal>>;
