#include "attlink/WireTrace.h"

#include "attlink/protocol/Commands.h"

#include <QTime>

Q_LOGGING_CATEGORY(wireTrace, "zevo.link.wire", QtWarningMsg)

namespace WireTrace {

namespace {

// Longest run of bytes shown in one line: a whole legal frame fits.
constexpr qsizetype ShownBytes = Frame::OverheadSize + Frame::MaxPayload;

QString now() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")); }

QString hex(const QByteArray &bytes)
{
    QString s = QString::fromLatin1(bytes.left(ShownBytes).toHex(' ').toUpper());
    if (bytes.size() > ShownBytes) s += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return s;
}

QString header(const Frame::Message &m)
{
    const bool reply = m.command & Frame::ReplyBit;
    return QStringLiteral("address %1 command 0x%2 %3%4 sequence %5 length %6")
        .arg(m.address)
        .arg(m.command, 2, 16, QLatin1Char('0'))
        .arg(commandName(uint8_t(m.command & ~Frame::ReplyBit)), reply ? QStringLiteral(" reply") : QString())
        .arg(m.sequence)
        .arg(m.payload.size());
}

const char *statusName(uint8_t status)
{
    switch (ReplyStatus(status)) {
    case ReplyStatus::Ok:
        return "Ok";
    case ReplyStatus::Refused:
        return "Refused";
    case ReplyStatus::Unknown:
        return "Unknown";
    case ReplyStatus::BadRequest:
        return "BadRequest";
    case ReplyStatus::NotSupported:
        return "NotSupported";
    }
    return "?";
}

}  // namespace

QString cause(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None:
        return QStringLiteral("unknown");
    case LinkFailure::Abandoned:
        return QStringLiteral("the call was abandoned");
    case LinkFailure::NoAnswer:
        return QStringLiteral("no answer");
    case LinkFailure::Damaged:
        return QStringLiteral("a damaged reply (check failed)");
    case LinkFailure::CutShort:
        return QStringLiteral("a reply cut short");
    case LinkFailure::Invalid:
        return QStringLiteral("an invalid reply");
    case LinkFailure::TooSlow:
        return QStringLiteral("a reply that did not complete in time");
    case LinkFailure::NotOurs:
        return QStringLiteral("replies that were not to this request");
    default:
        return LinkFailures::text(failure);
    }
}

QString commandName(uint8_t command)
{
    switch (command) {
    case Command::Identify:
        return QStringLiteral("Identify");
    case Command::RecordCount:
        return QStringLiteral("RecordCount");
    case Command::RecordPacket:
        return QStringLiteral("RecordPacket");
    case Command::ClearRecords:
        return QStringLiteral("ClearRecords");
    case Command::ClearFlags:
        return QStringLiteral("ClearFlags");
    case Command::PutRecord:
        return QStringLiteral("PutRecord");
    case Command::RecordsSince:
        return QStringLiteral("RecordsSince");
    case Command::DeleteRecordsUpTo:
        return QStringLiteral("DeleteRecordsUpTo");
    case Command::RecordBlocks:
        return QStringLiteral("RecordBlocks");
    case Command::ClearLog:
        return QStringLiteral("ClearLog");
    case Command::TimeChangeLog:
        return QStringLiteral("TimeChangeLog");
    case Command::RosterCount:
        return QStringLiteral("RosterCount");
    case Command::RosterPacket:
        return QStringLiteral("RosterPacket");
    case Command::ClearRoster:
        return QStringLiteral("ClearRoster");
    case Command::AddCard:
        return QStringLiteral("AddCard");
    case Command::RemoveCard:
        return QStringLiteral("RemoveCard");
    case Command::FindCard:
        return QStringLiteral("FindCard");
    case Command::ReadCard:
        return QStringLiteral("ReadCard");
    case Command::RosterBlocks:
        return QStringLiteral("RosterBlocks");
    case Command::SetDateTime:
        return QStringLiteral("SetDateTime");
    case Command::SetAlarms:
        return QStringLiteral("SetAlarms");
    case Command::SetParameters:
        return QStringLiteral("SetParameters");
    case Command::ReadParameters:
        return QStringLiteral("ReadParameters");
    case Command::SetAddress:
        return QStringLiteral("SetAddress");
    case Command::SetPassword:
        return QStringLiteral("SetPassword");
    case Command::GetPassword:
        return QStringLiteral("GetPassword");
    case Command::GetStorage:
        return QStringLiteral("GetStorage");
    case Command::SetStorage:
        return QStringLiteral("SetStorage");
    case Command::SetLogo:
        return QStringLiteral("SetLogo");
    case Command::PicturePacket:
        return QStringLiteral("PicturePacket");
    case Command::ShortMessage:
        return QStringLiteral("ShortMessage");
    case Command::Voice:
        return QStringLiteral("Voice");
    }
    return QStringLiteral("command%1").arg(command);
}

void sent(const Frame::Message &request, const QByteArray &frame, int attempt)
{
    qCDebug(wireTrace).noquote() << now()
                                 << "-> " + header(request)
            + (attempt > 1 ? QStringLiteral(" attempt %1").arg(attempt) : QString())
                                 << "|" << hex(frame);
}

void received(const Frame::Message &frame, const QString &verdict)
{
    const QString status = (frame.command & Frame::ReplyBit) && !frame.payload.isEmpty()
        ? QStringLiteral(" status ") + QLatin1String(statusName(uint8_t(frame.payload[0])))
        : QString();
    qCDebug(wireTrace).noquote() << now() << "<- " + header(frame) + status + QStringLiteral(" (") + verdict + u')'
                                 << "|" << hex(Frame::encode(frame));
}

void unframed(const QByteArray &bytes, const QString &cause)
{
    qCDebug(wireTrace).noquote() << now()
                                 << QStringLiteral("<- %1 bytes, no reply of ours: %2").arg(bytes.size()).arg(cause)
                                 << "|" << hex(bytes);
}

void retry(int attempt, int attempts, const QString &cause)
{
    qCDebug(wireTrace).noquote()
        << now() << QStringLiteral("retry: attempt %1 of %2 after %3").arg(attempt).arg(attempts).arg(cause);
}

void note(const QString &text) { qCDebug(wireTrace).noquote() << now() << text; }

void gaveUp(const QString &cause)
{
    qCDebug(wireTrace).noquote() << now() << QStringLiteral("request failed: ") + cause;
}

}  // namespace WireTrace
