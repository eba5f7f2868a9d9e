#pragma once

#include "attlink/LinkFailure.h"
#include "attlink/protocol/Commands.h"

#include <QString>
#include <optional>

// How one operation of the terminal client ended: the failure kind (None on success), the status of
// the terminal's reply when it answered, and why in one English line. The console's adapter words
// the kind in its operator's language; attctl takes its exit status from it.
class ClientResult {
public:
    ClientResult() = default;
    static ClientResult failed(LinkFailure failure, const QString &text = {}, int deadlineMs = 0);
    // A failure of the line itself, with what the system or the connection said about it.
    static ClientResult lineFailed(LinkFailure failure, const QString &lineError);
    static ClientResult status(ReplyStatus status);  // a reply of this status (Ok: success)

    bool ok() const { return failure_ == LinkFailure::None; }
    LinkFailure error() const { return failure_; }
    QString errorString() const { return text_; }
    // The status of the terminal's last reply in this operation, when it gave one.
    std::optional<ReplyStatus> replyStatus() const { return status_; }
    int deadlineMs() const { return deadlineMs_; }    // of a reply too slow (TooSlow)
    QString lineError() const { return lineError_; }  // the line's own words, for line failures

    // This failure with its text prefixed ("damaged reply: ...") or replaced.
    ClientResult withText(const QString &text) const;

private:
    LinkFailure failure_ = LinkFailure::None;
    std::optional<ReplyStatus> status_;
    QString text_, lineError_;
    int deadlineMs_ = 0;
};
