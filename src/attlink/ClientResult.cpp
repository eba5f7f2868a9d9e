#include "attlink/ClientResult.h"

ClientResult ClientResult::failed(LinkFailure failure, const QString &text, int deadlineMs)
{
    ClientResult r;
    r.failure_ = failure;
    r.deadlineMs_ = deadlineMs;
    r.text_ = text.isEmpty() ? LinkFailures::text(failure, deadlineMs) : text;
    return r;
}

ClientResult ClientResult::lineFailed(LinkFailure failure, const QString &lineError)
{
    ClientResult r = failed(failure);
    r.lineError_ = lineError;
    if (!lineError.isEmpty()) r.text_ += QStringLiteral(" (") + lineError + u')';
    return r;
}

ClientResult ClientResult::status(ReplyStatus status)
{
    ClientResult r;
    r.status_ = status;
    switch (status) {
    case ReplyStatus::Ok:
        return r;
    case ReplyStatus::Refused:
        r.failure_ = LinkFailure::Refused;
        break;
    case ReplyStatus::Unknown:
        r.failure_ = LinkFailure::UnknownCommand;
        break;
    case ReplyStatus::BadRequest:
        r.failure_ = LinkFailure::BadRequest;
        break;
    case ReplyStatus::NotSupported:
        r.failure_ = LinkFailure::NotSupported;
        break;
    default:
        r.failure_ = LinkFailure::BadContent;
        r.text_ = QStringLiteral("unexpected reply status %1").arg(int(status));
        return r;
    }
    r.text_ = LinkFailures::text(r.failure_);
    return r;
}

ClientResult ClientResult::withText(const QString &text) const
{
    ClientResult r = *this;
    r.text_ = text;
    return r;
}
