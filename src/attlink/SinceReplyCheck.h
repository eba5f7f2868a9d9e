#pragma once

#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/RecordBlock.h"

#include <QString>
#include <vector>

// Checks the replies of an incremental collection (RecordsSince) against what was asked and against
// each other. A terminal only appends records and deletes them from the oldest, so the R records it
// says it holds after the asked serial, its newest being N, carry exactly the serials N-R+1 to N: a
// reply must start there and run on without a hole. Where N-R+1 lies past the asked serial + 1, the
// terminal admits that the records between were deleted before they were collected (a gap); a reply
// that claims records it does not send, or sends other serials than it claims, is damaged.
//
// The first reply also bounds the collection: what it held then, plus what the terminal says it stored
// since (its newest serial moving on), is all that may come.
class SinceReplyCheck {
public:
    // Serials a terminal admitted it deleted before they were collected; count 0 for none.
    struct Gap {
        quint64 first = 0, last = 0;  // the first such serial and the last
        quint64 count = 0;            // how many, over every gap of the collection
    };

    // Empty when the reply to "after `after`, at most `asked`" is sound, else why not (English).
    QString accept(quint64 after, quint32 asked, const BlockHeaders::SinceReply &h,
                   const std::vector<PackedRecord> &batch);

    bool started() const { return started_; }
    quint64 target() const { return target_; }     // the newest serial of the first reply
    qint64 expected() const { return expected_; }  // the records the first reply said were held
    const Gap &gap() const { return gap_; }

private:
    void admit(quint64 first, quint64 last);

    bool started_ = false;
    quint64 target_ = 0;
    qint64 expected_ = 0, delivered_ = 0;
    Gap gap_;
};
