#pragma once

#include "link/DeviceLink.h"
#include "link/LinkError.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QQueue>
#include <QVariantList>
#include <functional>
#include <optional>

// A scripted device link for tests. Every call is recorded with its arguments (out arguments as the
// caller passed them). Each operation answers from its queue of scripted answers, then from its
// default answer: a result, values for out arguments (by 1-based position), an error to raise, and
// an effect to run (to write a file, say). It can play an older component: no Mode (438), and 450 for
// the ten- and nine-argument range collections.
class FakeDeviceLink : public DeviceLink {
public:
    struct Call {
        QString op;
        QVariantList args;
        QVariant arg(int position) const { return args.value(position - 1); }
    };

    struct Answer {
        QVariant result = true;
        QMap<int, QVariant> outs;
        std::optional<LinkError> error;
        std::function<void(const Call &)> effect;
    };

    FakeDeviceLink();

    // Queue an answer for the next call of op.
    void script(const QString &op, Answer answer);
    void script(const QString &op, const QVariant &result, QMap<int, QVariant> outs = {});
    void scriptError(const QString &op, int number, const QString &description);
    // The answer used when the queue of op is empty.
    void setDefault(const QString &op, Answer answer);

    bool olderComponent = false;

    QList<Call> calls;
    QList<Call> callsOf(const QString &op) const;
    int count(const QString &op) const { return int(callsOf(op).size()); }
    void clearCalls() { calls.clear(); }

    // Lets a test drive the progress handler as a real transfer would.
    void emitProgress(qint64 done, qint64 expected) const { reportProgress(done, expected); }

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

private:
    Answer answer(const QString &op, QVariantList args);

    QHash<QString, QQueue<Answer>> queues_;
    QHash<QString, Answer> defaults_;
};
