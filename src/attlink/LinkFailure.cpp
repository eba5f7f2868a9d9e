#include "attlink/LinkFailure.h"

namespace LinkFailures {

QString text(LinkFailure failure, int deadlineMs)
{
    switch (failure) {
    case LinkFailure::None:
        return {};
    case LinkFailure::BadArgument:
        return QStringLiteral("a value the terminal cannot take");
    case LinkFailure::NotOpen:
        return QStringLiteral("the line is not open");
    case LinkFailure::TooLong:
        return QStringLiteral("the request is too long");
    case LinkFailure::LineFailed:
        return QStringLiteral("the line failed");
    case LinkFailure::Disconnected:
        return QStringLiteral("the connection was closed");
    case LinkFailure::Abandoned:
        return QStringLiteral("the exchange was abandoned");
    case LinkFailure::NoAnswer:
        return QStringLiteral("the terminal did not answer");
    case LinkFailure::Damaged:
        return QStringLiteral("the terminal's replies arrived damaged (checksum errors)");
    case LinkFailure::CutShort:
        return QStringLiteral("the terminal's reply was cut short");
    case LinkFailure::Invalid:
        return QStringLiteral("the terminal's reply was not valid");
    case LinkFailure::TooSlow:
        return QStringLiteral("the terminal's reply did not complete in time (%1 ms)").arg(deadlineMs);
    case LinkFailure::NotOurs:
        return QStringLiteral("the replies were not to this request (another sequence, address or command)");
    case LinkFailure::Refused:
        return QStringLiteral("refused by the terminal");
    case LinkFailure::UnknownCommand:
        return QStringLiteral("the terminal does not know the command");
    case LinkFailure::BadRequest:
        return QStringLiteral("the terminal rejected the request as malformed");
    case LinkFailure::NotSupported:
        return QStringLiteral("not supported by the terminal's firmware");
    case LinkFailure::BadContent:
        return QStringLiteral("damaged reply");
    case LinkFailure::BadBlock:
        return QStringLiteral("damaged block");
    case LinkFailure::Changed:
        return QStringLiteral("the terminal's content changed during the collection");
    case LinkFailure::Stopped:
        return QStringLiteral("abandoned by the caller");
    case LinkFailure::Deadline:
        return QStringLiteral("the collection did not end in time");
    }
    return QStringLiteral("unknown failure");
}

bool answered(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::Refused:
    case LinkFailure::UnknownCommand:
    case LinkFailure::BadRequest:
    case LinkFailure::NotSupported:
    case LinkFailure::BadContent:
    case LinkFailure::BadBlock:
    case LinkFailure::Changed:
    case LinkFailure::Stopped:
    case LinkFailure::Deadline:
    case LinkFailure::None:
        return true;
    default:
        return false;
    }
}

bool unsent(LinkFailure failure)
{
    return failure == LinkFailure::BadArgument || failure == LinkFailure::NotOpen || failure == LinkFailure::TooLong;
}

}  // namespace LinkFailures
