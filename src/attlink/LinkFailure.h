#pragma once

#include <QString>

// Why an exchange or an operation with a terminal did not succeed: one list for the exchange, the
// typed client and every caller, each of which words it in its own language (LinkFailures::text is
// the English of attctl and the sync).
enum class LinkFailure {
    None,
    // Nothing was sent.
    BadArgument,  // a value the terminal could not take (refused before sending)
    NotOpen,      // no line is open
    TooLong,      // the request does not fit in a frame
    // The line.
    LineFailed,
    Disconnected,
    Abandoned,  // abandon() was called
    // No usable reply to a request.
    NoAnswer,
    Damaged,  // checksum errors
    CutShort,
    Invalid,  // a frame of ours without its status byte, or bytes that never made one
    TooSlow,  // the reply kept coming past its deadline
    NotOurs,  // only replies to another request (sequence, address or command)
    // The terminal answered, but not Ok (its status is in the result).
    Refused,
    UnknownCommand,
    BadRequest,
    NotSupported,
    // An Ok reply whose content is unusable or contradicts itself or the replies before it.
    BadContent,
    BadBlock,  // a record or roster block that does not decode (the text says why)
    // A collection whose terminal content changed while it ran (records or roster added or cleared).
    Changed,
    // A collection ended by its caller (the sink said stop) or by its deadline.
    Stopped,
    Deadline,
};

namespace LinkFailures {

// One English line; `deadlineMs` is named for TooSlow.
QString text(LinkFailure failure, int deadlineMs = 0);
// Whether the terminal gave a reply (of any status) before the failure.
bool answered(LinkFailure failure);
// Whether nothing reached the line.
bool unsent(LinkFailure failure);

}  // namespace LinkFailures
