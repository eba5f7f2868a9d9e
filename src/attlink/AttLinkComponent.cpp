#include "attlink/AttLinkComponent.h"

#include "link/LinkError.h"

namespace {

// Placeholder until the protocol lands: every operation reports that it is not available yet.
class PendingAttLink : public DeviceLink {
public:
    QVariant SetPort(QVariant &/*port*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SetPort: 尚未实现")); }
    void Mode(qint16 /*value*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("Mode: 尚未实现")); }
    QVariant Connect_Net(const QString &/*ip*/, const QString &/*port*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("Connect_Net: 尚未实现")); }
    QVariant Disconnect_Net() override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("Disconnect_Net: 尚未实现")); }
    QVariant tcpstate() override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("tcpstate: 尚未实现")); }
    QVariant Ver() override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("Ver: 尚未实现")); }
    QVariant GatherData(const QString &/*address*/, const QString &/*folder*/, const QString &/*fileName*/, QString &/*message*/,
                        qint32 &/*count*/, const QString &/*sleepDate*/, qint16 /*decimalCards*/, bool &/*fullYear*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GatherData: 尚未实现")); }
    QVariant GatherData_All(const QString &/*address*/, const QString &/*folder*/, const QString &/*fileName*/,
                            QString &/*message*/, qint32 &/*count*/, const QString &/*sleepDate*/, qint16 /*decimalCards*/,
                            bool &/*fullYear*/, const QString &/*firstPacket*/, const QString &/*lastPacket*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GatherData_All: 尚未实现")); }
    QVariant GatherRecordSum(const QString &/*address*/, qint32 &/*count*/, const QString &/*ok*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GatherRecordSum: 尚未实现")); }
    QVariant ClearRecord(qint16 /*address*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ClearRecord: 尚未实现")); }
    QVariant ClearFlag(qint16 /*address*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ClearFlag: 尚未实现")); }
    QVariant CheckData(const QString &/*address*/, const QString &/*folder*/, const QString &/*fileName*/, QString &/*message*/,
                       qint16 /*three*/, qint16 /*decimalCards*/, bool &/*fullYear*/, const QString &/*since*/,
                       qint16 /*twenty*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("CheckData: 尚未实现")); }
    QVariant SendRecordToMachine(const QString &/*address*/, QString &/*card*/, QString &/*dateTime*/, const QString &/*code1*/,
                                 const QString &/*code2*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SendRecordToMachine: 尚未实现")); }
    QVariant ReadClearLog(qint16 /*address*/, QString &/*log*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ReadClearLog: 尚未实现")); }
    QVariant ReadChangeTimeLog(qint16 /*address*/, QString &/*log*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ReadChangeTimeLog: 尚未实现")); }
    QVariant GatherSendCardData(const QString &/*address*/, const QString &/*folder*/, const QString &/*fileName*/,
                                QString &/*message*/, qint32 &/*count*/, const QString &/*sleepDate*/,
                                qint16 /*decimalCards*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GatherSendCardData: 尚未实现")); }
    QVariant GatherSendCardData_all(const QString &/*address*/, const QString &/*folder*/, const QString &/*fileName*/,
                                    QString &/*message*/, qint32 &/*count*/, const QString &/*sleepDate*/,
                                    qint16 /*decimalCards*/, const QString &/*firstPacket*/,
                                    const QString &/*lastPacket*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GatherSendCardData_all: 尚未实现")); }
    QVariant GatherSendCardSum(const QString &/*address*/, qint32 &/*count*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GatherSendCardSum: 尚未实现")); }
    QVariant ClearNameList(qint16 /*address*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ClearNameList: 尚未实现")); }
    QVariant ReadCardNum(qint16 /*address*/, QString &/*reply*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ReadCardNum: 尚未实现")); }
    QVariant CardSendToMachine(qint16 /*address*/, const QString &/*card*/, const QString &/*jobNo*/, const QString &/*name*/,
                               const QString &/*code00*/, const QString &/*code00000000*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("CardSendToMachine: 尚未实现")); }
    QVariant ClearName(qint16 /*address*/, const QString &/*card*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ClearName: 尚未实现")); }
    QVariant FindCard(qint16 /*address*/, const QString &/*card*/, bool &/*found*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("FindCard: 尚未实现")); }
    QVariant ModifyDateTime(qint16 /*address*/, QString &/*date*/, QString &/*time*/, QString &/*code01*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ModifyDateTime: 尚未实现")); }
    QVariant SetClock(qint16 /*address*/, QVector<double> &/*alarms*/, const QString &/*ringPeriod*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SetClock: 尚未实现")); }
    QVariant RepairSystemParameter(qint16 /*address*/, QString &/*relay*/, QString &/*interval*/, QString &/*mode*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("RepairSystemParameter: 尚未实现")); }
    QVariant ReadSystemParameter(const QString &/*address*/, QString &/*parameters*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("ReadSystemParameter: 尚未实现")); }
    QVariant RepairAddress(qint16 /*address*/, qint16 /*newAddress*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("RepairAddress: 尚未实现")); }
    QVariant SetMachinePassword(const QString &/*address*/, const QString &/*password*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SetMachinePassword: 尚未实现")); }
    QVariant GetMachinePassword(qint16 /*address*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GetMachinePassword: 尚未实现")); }
    QVariant GetStorageModel(const QString &/*address*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GetStorageModel: 尚未实现")); }
    QVariant SetStorageModel(const QString &/*address*/, qint16 /*code*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SetStorageModel: 尚未实现")); }
    QVariant SetLogoMode(qint16 /*address*/, bool /*restore*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SetLogoMode: 尚未实现")); }
    QVariant SendPictureMach(const QString &/*address*/, QString &/*fileName*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SendPictureMach: 尚未实现")); }
    QVariant SendShortMsg(const QString &/*address*/, const QString &/*minutes*/, const QString &/*message*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("SendShortMsg: 尚未实现")); }
    QVariant GetSounds(const QString &/*address*/, const QString &/*number*/) override { throw LinkError(LinkError::NoSuchOperation, QStringLiteral("GetSounds: 尚未实现")); }
};

}  // namespace

std::unique_ptr<DeviceLink> createAttLink(const QString &) { return std::make_unique<PendingAttLink>(); }
