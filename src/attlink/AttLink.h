#pragma once

#include "attlink/Exchange.h"
#include "attlink/LinkSettings.h"
#include "attlink/SinceReplyCheck.h"
#include "attlink/TerminalIdentity.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/SerialRecord.h"
#include "attlink/transport/SerialChannel.h"
#include "attlink/transport/TcpChannel.h"
#include "link/DeviceLink.h"

#include <functional>
#include <vector>
#include <atomic>

class DurableFile;

// Our device link: every operation is one or more exchanges of docs/protocol.md with the terminal
// on the current transport (serial after Mode 0, TCP after Mode 1).
class AttLink : public DeviceLink {
public:
    explicit AttLink(const QString &appFolder);
    explicit AttLink(const LinkSettings &settings);

    void abandon() override { abandoned_ = true; }

    QVariant SetPort(QVariant &port) override;
    void Mode(qint16 value) override;
    QVariant Connect_Net(const QString &ip, const QString &port) override;
    QVariant Disconnect_Net() override;
    QVariant tcpstate() override;
    QVariant Ver() override;

    QVariant GatherData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                        qint32 &count, const QString &sleepDate, qint16 decimalCards, bool &fullYear) override;
    QVariant GatherData_All(const QString &address, const QString &folder, const QString &fileName,
                            QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                            bool &fullYear, const QString &firstPacket, const QString &lastPacket) override;
    QVariant GatherRecordSum(const QString &address, qint32 &count, const QString &ok) override;
    QVariant ClearRecord(qint16 address) override;
    QVariant ClearFlag(qint16 address) override;
    QVariant CheckData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                       qint16 three, qint16 decimalCards, bool &fullYear, const QString &since,
                       qint16 twenty) override;
    QVariant SendRecordToMachine(const QString &address, QString &card, QString &dateTime, const QString &code1,
                                 const QString &code2) override;
    QVariant ReadClearLog(qint16 address, QString &log) override;
    QVariant ReadChangeTimeLog(qint16 address, QString &log) override;
    QVariant GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                QString &message, qint32 &count, const QString &sleepDate,
                                qint16 decimalCards) override;
    QVariant GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                    QString &message, qint32 &count, const QString &sleepDate,
                                    qint16 decimalCards, const QString &firstPacket,
                                    const QString &lastPacket) override;
    QVariant GatherSendCardSum(const QString &address, qint32 &count) override;
    QVariant ClearNameList(qint16 address) override;
    QVariant ReadCardNum(qint16 address, QString &reply) override;
    QVariant CardSendToMachine(qint16 address, const QString &card, const QString &jobNo, const QString &name,
                               const QString &code00, const QString &code00000000) override;
    QVariant ClearName(qint16 address, const QString &card) override;
    QVariant FindCard(qint16 address, const QString &card, bool &found) override;
    QVariant ModifyDateTime(qint16 address, QString &date, QString &time, QString &code01) override;
    QVariant SetClock(qint16 address, QVector<double> &alarms, const QString &ringPeriod) override;
    QVariant RepairSystemParameter(qint16 address, QString &relay, QString &interval, QString &mode) override;
    QVariant ReadSystemParameter(const QString &address, QString &parameters) override;
    QVariant RepairAddress(qint16 address, qint16 newAddress) override;
    QVariant SetMachinePassword(const QString &address, const QString &password) override;
    QVariant GetMachinePassword(qint16 address) override;
    QVariant GetStorageModel(const QString &address) override;
    QVariant SetStorageModel(const QString &address, qint16 code) override;
    QVariant SetLogoMode(qint16 address, bool restore) override;
    QVariant SendPictureMach(const QString &address, QString &fileName) override;
    QVariant SendShortMsg(const QString &address, const QString &minutes, const QString &message) override;
    QVariant GetSounds(const QString &address, const QString &number) override;

    // The system's error number when the last collection failed on writing its file, else 0.
    int lastFileError() const { return fileError_; }
    QString lastFileErrorPath() const { return fileErrorPath_; }
    const LinkSettings &linkSettings() const { return settings_; }
    PortFailure lastPortFailure() const override { return serial_.failure(); }
    QString lastConnectFailure() const { return tcp_.connectFailure(); }

    const Exchange &exchangeStats() const { return mode_ == 1 ? tcpExchange_ : serialExchange_; }

    // ---- Incremental collection (protocol 2), outside the DeviceLink contract ----
    // Each returns false on failure, and lastError() says why in one English line.
    bool identify(int address, TerminalIdentity &out);
    // Every record with serial > since, in serial order, handed to sink one by one as packets arrive;
    // the sink returns false to abandon (then this returns false). lastSerial: the serial of the last
    // record handed over, or `since` when nothing is new. Records stored while this runs are left for
    // the next call once the newest serial of the first answer is reached.
    bool recordsSince(int address, quint64 since, const std::function<bool(const SerialRecord &)> &sink,
                      quint64 &lastSerial);
    // The same, a decoded packet at a time (for callers that write files at line rate).
    bool recordBatchesSince(int address, quint64 since,
                            const std::function<bool(const std::vector<PackedRecord> &)> &sink, quint64 &lastSerial);
    // Serials the last of these collections found deleted on the terminal before they were collected.
    SinceReplyCheck::Gap skippedSerials() const { return skipped_; }
    // Deletes on the terminal only records with serial <= upTo; deleted = how many went (a count
    // larger than upTo is a damaged reply, and fails).
    bool deleteRecordsUpTo(int address, quint64 upTo, qint64 &deleted);
    QString lastError() const { return lastError_; }

    // Sees the raw file's lines of a record collection as each packet's lines are written (CR LF
    // ended), e.g. to write a formatted file alongside; returning false abandons the collection.
    void setRawLinesObserver(std::function<bool(const QByteArray &lines)> observer) { rawLinesObserver_ = std::move(observer); }

private:
    Exchange &exchange() { return mode_ == 1 ? tcpExchange_ : serialExchange_; }
    Exchange::Reply ask(int address, uint8_t command, const QStringList &fields = {});
    bool simple(int address, uint8_t command, const QStringList &fields = {});
    // A count the terminal answers as its first field; false for no answer or a field that is no count.
    bool askCount(int address, uint8_t command, qint32 &count);
    QVariant fileFailed(const DurableFile &out, QString &message);

    struct BlockKind;
    QVariant collectBlocks(const QString &address, const QString &folder, const QString &fileName, QString &message,
                           qint32 &count, int first, int last, int pauseMs, const BlockKind &kind);
    QVariant collectRecordBlocks(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, bool decimal, bool fullYear, int first, int last,
                                 int pauseMs);
    QVariant collectRosterBlocks(const QString &address, const QString &folder, const QString &fileName,
                                 QString &message, qint32 &count, bool decimal, int first, int last, int pauseMs);
    static QString replyFailure(const Exchange::Reply &r);
    // A file of the caller's folder (the name alone when the folder is empty).
    static QString pathIn(const QString &folder, const QString &name);
    bool failWith(const QString &why);
    bool failWith(const Exchange::Reply &reply);
    // Records asked for in one RecordsSince or RecordBlocks request on the current line.
    int recordsPerRequest();
    // After a failed request for `asked` items: when its reply ran late but kept coming, lowers
    // `asked` to suit the rate seen (says so in the wire trace) and returns true to ask again.
    bool askLessAfterSlowReply(int &asked, const QString &unit);
    // The longest an incremental collection of `records` may take.
    qint64 collectionDeadlineMs(qint64 records);

    QString lastError_;
    SinceReplyCheck::Gap skipped_;
    std::function<bool(const QByteArray &)> rawLinesObserver_;
    std::atomic<bool> abandoned_{false};
    int fileError_ = 0;
    QString fileErrorPath_;
    LinkSettings settings_;
    SerialChannel serial_;
    TcpChannel tcp_;
    Exchange serialExchange_;
    Exchange tcpExchange_;
    int mode_ = 0;
};
