#pragma once

#include "attlink/ClientResult.h"
#include "attlink/Exchange.h"
#include "attlink/LinkSettings.h"
#include "attlink/TerminalClient.h"
#include "attlink/protocol/SerialRecord.h"
#include "attlink/transport/TcpChannel.h"
#include "link/DeviceLink.h"

#include <functional>
#include <memory>

class DurableFile;

// Our device link: the console's contract on top of the typed terminal client. It keeps a client
// for the serial port and one for TCP (Mode picks which one the operations use), converts the
// contract's texts and variants to typed calls and back, words each result in the operator's
// language, and writes the raw record and roster files (durably: an interrupted collection leaves the
// earlier file). The headless programs use TerminalClient itself.
class AttLink : public DeviceLink {
public:
    explicit AttLink(const QString &appFolder);
    explicit AttLink(const LinkSettings &settings);
    // The contract over a line opened already (attctl's); Mode, SetPort and Connect_Net then act on it.
    explicit AttLink(TerminalClient &line);
    ~AttLink() override;

    void abandon() override;

    QVariant SetPort(QVariant &port) override;
    void Mode(qint16 value) override;
    QVariant Connect_Net(const QString &ip, const QString &port) override;
    QVariant Disconnect_Net() override;
    QVariant tcpstate() override;
    QVariant Ver() override;

    QVariant GatherData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                        qint32 &count, const QString &sleepDate, qint16 decimalCards, bool &fullYear) override;
    QVariant GatherData_All(const QString &address, const QString &folder, const QString &fileName, QString &message,
                            qint32 &count, const QString &sleepDate, qint16 decimalCards, bool &fullYear,
                            const QString &firstPacket, const QString &lastPacket) override;
    QVariant GatherRecordSum(const QString &address, qint32 &count, const QString &ok) override;
    QVariant ClearRecord(qint16 address) override;
    QVariant ClearFlag(qint16 address) override;
    QVariant CheckData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                       qint16 three, qint16 decimalCards, bool &fullYear, const QString &since, qint16 twenty) override;
    QVariant SendRecordToMachine(const QString &address, QString &card, QString &dateTime, const QString &code1,
                                 const QString &code2) override;
    QVariant ReadClearLog(qint16 address, QString &log) override;
    QVariant ReadChangeTimeLog(qint16 address, QString &log) override;
    QVariant GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                QString &message, qint32 &count, const QString &sleepDate,
                                qint16 decimalCards) override;
    QVariant GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                    QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                    const QString &firstPacket, const QString &lastPacket) override;
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
    PortFailure lastPortFailure() const override { return serial_->portFailure(); }
    QString lastConnectFailure() const { return tcp_->connectFailure(); }

    // The client the operations use now (Mode's choice), and how its last operation ended.
    TerminalClient &client() { return mode_ == 1 ? *tcp_ : *serial_; }
    const ClientResult &lastResult() const { return last_; }
    // The exchange of the current line, for its counters (an idle one before a line is open).
    const Exchange &exchangeStats() const;
    // The operator's words for a failed exchange ("终端无应答", "应答未在 900 毫秒内完成", ...), and
    // for a failed operation of a collection ("通讯失败：..." or the terminal's refusal).
    static QString exchangeWords(const ClientResult &r);
    static QString failureWords(const ClientResult &r);

    // ---- protocol 2 on the current line, for callers of the contract (docs/protocol.md) ----
    // Each returns false on failure, and lastError() says why in one English line.
    bool identify(int address, TerminalIdentity &out);
    bool recordsSince(int address, quint64 since, const std::function<bool(const SerialRecord &)> &sink,
                      quint64 &lastSerial);
    bool recordBatchesSince(int address, quint64 since, const TerminalClient::RecordSink &sink, quint64 &lastSerial);
    bool deleteRecordsUpTo(int address, quint64 upTo, qint64 &deleted);
    SinceReplyCheck::Gap skippedSerials() { return client().skippedSerials(); }
    QString lastError() const { return last_.errorString(); }

    // Sees the raw file's lines of a record collection as each packet's lines are written (CR LF
    // ended), e.g. to write a formatted file alongside; returning false abandons the collection.
    void setRawLinesObserver(std::function<bool(const QByteArray &lines)> observer)
    {
        rawLinesObserver_ = std::move(observer);
    }

private:
    // Records `r` as the last result; true when it succeeded.
    bool done(const ClientResult &r);
    QVariant fileFailed(const DurableFile &out, QString &message);
    QVariant collectRecords(const QString &address, const QString &folder, const QString &fileName, QString &message,
                            qint32 &count, bool decimal, bool fullYear, int first, int last, int pauseMs);
    QVariant collectRoster(const QString &address, const QString &folder, const QString &fileName, QString &message,
                           qint32 &count, bool decimal, int first, int last, int pauseMs);
    // The message of a failed block collection.
    QString collectionFailure(const ClientResult &r, bool records) const;
    // The end a record or roster collection shares, once the terminal's blocks are in (`written`: all
    // reached the file; `stopped`: why a block stopped it, or empty): the file replaces the earlier one
    // only when all went well; `message` says what happened and `count` how many entries (n) came.
    QVariant finishCollection(DurableFile &out, const ClientResult &r, bool written, const QString &stopped,
                              bool records, qint64 n, qint32 &count, QString &message);
    static QString pathIn(const QString &folder, const QString &name);
    void forwardProgress();

    LinkSettings settings_;
    std::unique_ptr<TerminalClient> ownSerial_, ownTcp_;
    TerminalClient *serial_ = nullptr;
    TerminalClient *tcp_ = nullptr;
    int mode_ = 0;
    ClientResult last_;
    std::function<bool(const QByteArray &)> rawLinesObserver_;
    int fileError_ = 0;
    QString fileErrorPath_;
    TcpChannel idleChannel_;
    Exchange idleExchange_{idleChannel_, settings_};
};
