#pragma once

#include "link/PortFailure.h"

#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

// The contract with the component through which every terminal exchange passes. One member per
// operation, named as the operation. "in" arguments come by value or const reference, "out"
// arguments by non-const reference, in the order the callers use. Results are nullable variants
// that the caller converts with the helpers of LinkResult.h. Any operation may throw LinkError.
//
// A call blocks until the terminal exchange is over. Calls come one at a time, but not always from
// the same thread (the console runs them off the UI thread so that the window keeps painting).
class DeviceLink {
public:
    virtual ~DeviceLink() = default;

    // Bytes the terminal's name field holds, the name encoded in GB18030. CardSendToMachine refuses a
    // longer name; the console refuses it before the call so that nothing is cut silently.
    static constexpr int NameFieldBytes = 16;

    // Long transfers report (done, expected) through this handler, from the calling thread.
    using ProgressHandler = std::function<void(qint64 done, qint64 expected)>;
    virtual void setProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }

    // Safe from any thread: ends the call in progress as soon as possible (within a second) and makes
    // every later call fail at once, for a program that is shutting down.
    virtual void abandon() {}

    // Why the last SetPort failed (nothing when it did not, or the link cannot say).
    virtual PortFailure lastPortFailure() const { return {}; }

    // Transport and component.
    virtual QVariant SetPort(QVariant &port) = 0;  // "2" (text) or 2 (integer); true = usable
    virtual void Mode(qint16 value) = 0;           // 0 serial, 1 TCP
    virtual QVariant Connect_Net(const QString &ip, const QString &port) = 0;
    virtual QVariant Disconnect_Net() = 0;
    virtual QVariant tcpstate() = 0;  // 0..9; returns at once, never waits
    virtual QVariant Ver() = 0;

    // Attendance records.
    virtual QVariant GatherData(const QString &address, const QString &folder, const QString &fileName,
                                QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                bool &fullYear) = 0;
    virtual QVariant GatherData_All(const QString &address, const QString &folder, const QString &fileName,
                                    QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                    bool &fullYear, const QString &firstPacket, const QString &lastPacket) = 0;
    virtual QVariant GatherRecordSum(const QString &address, qint32 &count, const QString &ok) = 0;
    virtual QVariant ClearRecord(qint16 address) = 0;
    virtual QVariant ClearFlag(qint16 address) = 0;
    virtual QVariant CheckData(const QString &address, const QString &folder, const QString &fileName, QString &message,
                               qint16 three, qint16 decimalCards, bool &fullYear, const QString &since,
                               qint16 twenty) = 0;
    virtual QVariant SendRecordToMachine(const QString &address, QString &card, QString &dateTime, const QString &code1,
                                         const QString &code2) = 0;

    // Logs.
    virtual QVariant ReadClearLog(qint16 address, QString &log) = 0;
    virtual QVariant ReadChangeTimeLog(qint16 address, QString &log) = 0;

    // Roster.
    virtual QVariant GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                        QString &message, qint32 &count, const QString &sleepDate,
                                        qint16 decimalCards) = 0;
    virtual QVariant GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                            QString &message, qint32 &count, const QString &sleepDate,
                                            qint16 decimalCards, const QString &firstPacket,
                                            const QString &lastPacket) = 0;
    virtual QVariant GatherSendCardSum(const QString &address, qint32 &count) = 0;
    virtual QVariant ClearNameList(qint16 address) = 0;

    // Cards.
    virtual QVariant ReadCardNum(qint16 address, QString &reply) = 0;
    virtual QVariant CardSendToMachine(qint16 address, const QString &card, const QString &jobNo, const QString &name,
                                       const QString &code00, const QString &code00000000) = 0;
    virtual QVariant ClearName(qint16 address, const QString &card) = 0;
    virtual QVariant FindCard(qint16 address, const QString &card, bool &found) = 0;

    // Clock and alarms. alarms: 11 OLE automation dates (time of day on the zero day).
    virtual QVariant ModifyDateTime(qint16 address, QString &date, QString &time, QString &code01) = 0;
    virtual QVariant SetClock(qint16 address, QVector<double> &alarms, const QString &ringPeriod) = 0;

    // Parameters, address, password, storage mode.
    virtual QVariant RepairSystemParameter(qint16 address, QString &relay, QString &interval, QString &mode) = 0;
    virtual QVariant ReadSystemParameter(const QString &address, QString &parameters) = 0;
    virtual QVariant RepairAddress(qint16 address, qint16 newAddress) = 0;
    virtual QVariant SetMachinePassword(const QString &address, const QString &password) = 0;
    virtual QVariant GetMachinePassword(qint16 address) = 0;
    virtual QVariant GetStorageModel(const QString &address) = 0;
    virtual QVariant SetStorageModel(const QString &address, qint16 code) = 0;

    // Boot picture, pictures, messages, voice.
    virtual QVariant SetLogoMode(qint16 address, bool restore) = 0;
    virtual QVariant SendPictureMach(const QString &address, QString &fileName) = 0;
    virtual QVariant SendShortMsg(const QString &address, const QString &minutes, const QString &message) = 0;
    virtual QVariant GetSounds(const QString &address, const QString &number) = 0;

protected:
    void reportProgress(qint64 done, qint64 expected) const
    {
        if (progress_) progress_(done, expected);
    }

private:
    ProgressHandler progress_;
};
