#include "support/FakeDeviceLink.h"

namespace {
template <typename T>
void assignOut(const FakeDeviceLink::Answer &a, int position, T &target)
{
    const auto it = a.outs.constFind(position);
    if (it != a.outs.constEnd()) target = it->value<T>();
}
}  // namespace

FakeDeviceLink::FakeDeviceLink()
{
    setDefault(QStringLiteral("Ver"), {QStringLiteral("V7.6.8"), {}, {}, {}});
    setDefault(QStringLiteral("tcpstate"), {7, {}, {}, {}});
    setDefault(QStringLiteral("GetMachinePassword"), {0, {}, {}, {}});
    setDefault(QStringLiteral("GetStorageModel"), {1, {}, {}, {}});
    setDefault(QStringLiteral("CheckData"), {0, {}, {}, {}});
    setDefault(QStringLiteral("ReadCardNum"), {QString(), {}, {}, {}});
}

void FakeDeviceLink::script(const QString &op, Answer answer) { queues_[op].enqueue(std::move(answer)); }

void FakeDeviceLink::script(const QString &op, const QVariant &result, QMap<int, QVariant> outs)
{
    Answer a;
    a.result = result;
    a.outs = std::move(outs);
    script(op, std::move(a));
}

void FakeDeviceLink::scriptError(const QString &op, int number, const QString &description)
{
    Answer a;
    a.error = LinkError(number, description);
    script(op, std::move(a));
}

void FakeDeviceLink::setDefault(const QString &op, Answer answer) { defaults_[op] = std::move(answer); }

QList<FakeDeviceLink::Call> FakeDeviceLink::callsOf(const QString &op) const
{
    QList<Call> out;
    for (const Call &c : calls)
        if (c.op == op) out.append(c);
    return out;
}

FakeDeviceLink::Answer FakeDeviceLink::answer(const QString &op, QVariantList args)
{
    calls.append({op, std::move(args)});
    const Call &call = calls.last();
    Answer a;
    auto q = queues_.find(op);
    if (q != queues_.end() && !q->isEmpty())
        a = q->dequeue();
    else
        a = defaults_.value(op, Answer{});
    if (a.effect) a.effect(call);
    if (a.error) throw *a.error;
    return a;
}

QVariant FakeDeviceLink::SetPort(QVariant &port)
{
    auto a = answer(QStringLiteral("SetPort"), {port});
    assignOut(a, 1, port);
    return a.result;
}

void FakeDeviceLink::Mode(qint16 value)
{
    if (olderComponent) {
        calls.append({QStringLiteral("Mode"), {value}});
        throw LinkError(LinkError::NoSuchOperation, QStringLiteral("对象不支持该属性或方法"));
    }
    answer(QStringLiteral("Mode"), {value});
}

QVariant FakeDeviceLink::Connect_Net(const QString &ip, const QString &port)
{
    return answer(QStringLiteral("Connect_Net"), {ip, port}).result;
}

QVariant FakeDeviceLink::Disconnect_Net() { return answer(QStringLiteral("Disconnect_Net"), {}).result; }
QVariant FakeDeviceLink::tcpstate() { return answer(QStringLiteral("tcpstate"), {}).result; }
QVariant FakeDeviceLink::Ver() { return answer(QStringLiteral("Ver"), {}).result; }

QVariant FakeDeviceLink::GatherData(const QString &address, const QString &folder, const QString &fileName,
                                    QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                    bool &fullYear)
{
    auto a = answer(QStringLiteral("GatherData"),
                    {address, folder, fileName, message, count, sleepDate, decimalCards, fullYear});
    assignOut(a, 4, message);
    assignOut(a, 5, count);
    assignOut(a, 8, fullYear);
    return a.result;
}

QVariant FakeDeviceLink::GatherData_All(const QString &address, const QString &folder, const QString &fileName,
                                        QString &message, qint32 &count, const QString &sleepDate, qint16 decimalCards,
                                        bool &fullYear, const QString &firstPacket, const QString &lastPacket)
{
    if (olderComponent) {
        calls.append(
            {QStringLiteral("GatherData_All"),
             {address, folder, fileName, message, count, sleepDate, decimalCards, fullYear, firstPacket, lastPacket}});
        throw LinkError(LinkError::WrongArgumentCount, QStringLiteral("参数个数错误或无效的参数属性值"));
    }
    auto a =
        answer(QStringLiteral("GatherData_All"),
               {address, folder, fileName, message, count, sleepDate, decimalCards, fullYear, firstPacket, lastPacket});
    assignOut(a, 4, message);
    assignOut(a, 5, count);
    assignOut(a, 8, fullYear);
    return a.result;
}

QVariant FakeDeviceLink::GatherRecordSum(const QString &address, qint32 &count, const QString &ok)
{
    auto a = answer(QStringLiteral("GatherRecordSum"), {address, count, ok});
    assignOut(a, 2, count);
    return a.result;
}

QVariant FakeDeviceLink::ClearRecord(qint16 address) { return answer(QStringLiteral("ClearRecord"), {address}).result; }
QVariant FakeDeviceLink::ClearFlag(qint16 address) { return answer(QStringLiteral("ClearFlag"), {address}).result; }

QVariant FakeDeviceLink::CheckData(const QString &address, const QString &folder, const QString &fileName,
                                   QString &message, qint16 three, qint16 decimalCards, bool &fullYear,
                                   const QString &since, qint16 twenty)
{
    auto a = answer(QStringLiteral("CheckData"),
                    {address, folder, fileName, message, three, decimalCards, fullYear, since, twenty});
    assignOut(a, 4, message);
    assignOut(a, 7, fullYear);
    return a.result;
}

QVariant FakeDeviceLink::SendRecordToMachine(const QString &address, QString &card, QString &dateTime,
                                             const QString &code1, const QString &code2)
{
    auto a = answer(QStringLiteral("SendRecordToMachine"), {address, card, dateTime, code1, code2});
    assignOut(a, 2, card);
    assignOut(a, 3, dateTime);
    return a.result;
}

QVariant FakeDeviceLink::ReadClearLog(qint16 address, QString &log)
{
    auto a = answer(QStringLiteral("ReadClearLog"), {address, log});
    assignOut(a, 2, log);
    return a.result;
}

QVariant FakeDeviceLink::ReadChangeTimeLog(qint16 address, QString &log)
{
    auto a = answer(QStringLiteral("ReadChangeTimeLog"), {address, log});
    assignOut(a, 2, log);
    return a.result;
}

QVariant FakeDeviceLink::GatherSendCardData(const QString &address, const QString &folder, const QString &fileName,
                                            QString &message, qint32 &count, const QString &sleepDate,
                                            qint16 decimalCards)
{
    auto a = answer(QStringLiteral("GatherSendCardData"),
                    {address, folder, fileName, message, count, sleepDate, decimalCards});
    assignOut(a, 4, message);
    assignOut(a, 5, count);
    return a.result;
}

QVariant FakeDeviceLink::GatherSendCardData_all(const QString &address, const QString &folder, const QString &fileName,
                                                QString &message, qint32 &count, const QString &sleepDate,
                                                qint16 decimalCards, const QString &firstPacket,
                                                const QString &lastPacket)
{
    const QVariantList args{address,   folder,       fileName,    message,   count,
                            sleepDate, decimalCards, firstPacket, lastPacket};
    if (olderComponent) {
        calls.append({QStringLiteral("GatherSendCardData_all"), args});
        throw LinkError(LinkError::WrongArgumentCount, QStringLiteral("参数个数错误或无效的参数属性值"));
    }
    auto a = answer(QStringLiteral("GatherSendCardData_all"), args);
    assignOut(a, 4, message);
    assignOut(a, 5, count);
    return a.result;
}

QVariant FakeDeviceLink::GatherSendCardSum(const QString &address, qint32 &count)
{
    auto a = answer(QStringLiteral("GatherSendCardSum"), {address, count});
    assignOut(a, 2, count);
    return a.result;
}

QVariant FakeDeviceLink::ClearNameList(qint16 address)
{
    return answer(QStringLiteral("ClearNameList"), {address}).result;
}

QVariant FakeDeviceLink::ReadCardNum(qint16 address, QString &reply)
{
    auto a = answer(QStringLiteral("ReadCardNum"), {address, reply});
    assignOut(a, 2, reply);
    return a.result;
}

QVariant FakeDeviceLink::CardSendToMachine(qint16 address, const QString &card, const QString &jobNo,
                                           const QString &name, const QString &code00, const QString &code00000000)
{
    return answer(QStringLiteral("CardSendToMachine"), {address, card, jobNo, name, code00, code00000000}).result;
}

QVariant FakeDeviceLink::ClearName(qint16 address, const QString &card)
{
    return answer(QStringLiteral("ClearName"), {address, card}).result;
}

QVariant FakeDeviceLink::FindCard(qint16 address, const QString &card, bool &found)
{
    auto a = answer(QStringLiteral("FindCard"), {address, card, found});
    assignOut(a, 3, found);
    return a.result;
}

QVariant FakeDeviceLink::ModifyDateTime(qint16 address, QString &date, QString &time, QString &code01)
{
    auto a = answer(QStringLiteral("ModifyDateTime"), {address, date, time, code01});
    return a.result;
}

QVariant FakeDeviceLink::SetClock(qint16 address, QVector<double> &alarms, const QString &ringPeriod)
{
    QVariantList table;
    for (double d : alarms) table.append(d);
    return answer(QStringLiteral("SetClock"), {address, QVariant(table), ringPeriod}).result;
}

QVariant FakeDeviceLink::RepairSystemParameter(qint16 address, QString &relay, QString &interval, QString &mode)
{
    return answer(QStringLiteral("RepairSystemParameter"), {address, relay, interval, mode}).result;
}

QVariant FakeDeviceLink::ReadSystemParameter(const QString &address, QString &parameters)
{
    auto a = answer(QStringLiteral("ReadSystemParameter"), {address, parameters});
    assignOut(a, 2, parameters);
    return a.result;
}

QVariant FakeDeviceLink::RepairAddress(qint16 address, qint16 newAddress)
{
    return answer(QStringLiteral("RepairAddress"), {address, newAddress}).result;
}

QVariant FakeDeviceLink::SetMachinePassword(const QString &address, const QString &password)
{
    return answer(QStringLiteral("SetMachinePassword"), {address, password}).result;
}

QVariant FakeDeviceLink::GetMachinePassword(qint16 address)
{
    return answer(QStringLiteral("GetMachinePassword"), {address}).result;
}

QVariant FakeDeviceLink::GetStorageModel(const QString &address)
{
    return answer(QStringLiteral("GetStorageModel"), {address}).result;
}

QVariant FakeDeviceLink::SetStorageModel(const QString &address, qint16 code)
{
    return answer(QStringLiteral("SetStorageModel"), {address, code}).result;
}

QVariant FakeDeviceLink::SetLogoMode(qint16 address, bool restore)
{
    return answer(QStringLiteral("SetLogoMode"), {address, restore}).result;
}

QVariant FakeDeviceLink::SendPictureMach(const QString &address, QString &fileName)
{
    return answer(QStringLiteral("SendPictureMach"), {address, fileName}).result;
}

QVariant FakeDeviceLink::SendShortMsg(const QString &address, const QString &minutes, const QString &message)
{
    return answer(QStringLiteral("SendShortMsg"), {address, minutes, message}).result;
}

QVariant FakeDeviceLink::GetSounds(const QString &address, const QString &number)
{
    return answer(QStringLiteral("GetSounds"), {address, number}).result;
}
