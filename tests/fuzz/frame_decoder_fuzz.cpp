// Fuzz target for everything the device link decodes from a terminal: frames (whole and as a stream
// in chunks), packet headers, records, payload fields, and protocol 2's record and roster blocks
// with their headers. Built and run by scripts/fuzz-decoder; not
// part of the CMake build.
#include "attlink/protocol/BlockHeaders.h"
#include "attlink/protocol/Fields.h"
#include "attlink/protocol/Frame.h"
#include "attlink/protocol/RawLineWriter.h"
#include "attlink/protocol/RecordBlock.h"
#include "attlink/protocol/RecordWire.h"
#include "attlink/protocol/RosterBlock.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) std::abort();
}

// A record block at `at` in the payload: a decoded block holds only sound records, and encoding
// them again gives the same records.
void useRecordBlock(const QByteArray &payload, int at)
{
    if (payload.size() < at) return;
    std::vector<PackedRecord> records, again;
    QString why;
    if (!RecordBlock::decode(payload.constData() + at, payload.size() - at, records, why)) {
        check(!why.isEmpty());
        return;
    }
    check(records.size() <= size_t(RecordBlock::MaxRecords));
    RawLineWriter writer(105, at & 1, at & 2);
    for (size_t i = 0; i < records.size(); ++i) {
        const PackedRecord &r = records[i];
        check(r.serial > 0 && (i == 0 || r.serial > records[i - 1].serial) && r.when.inRange());
        for (char c : r.flag) check(c >= 0x21 && c <= 0x7E);
        char line[RawLineWriter::MaxLineBytes];
        check(writer.write(r, line) == 17 + ((at & 1) ? 10 : 8) + ((at & 2) ? 4 : 2) + 2);
    }
    const QByteArray encoded = RecordBlock::encode(records.data(), qsizetype(records.size()));
    check(RecordBlock::decode(encoded.constData(), encoded.size(), again, why) && again.size() == records.size());
    for (size_t i = 0; i < records.size(); ++i)
        check(again[i].serial == records[i].serial && again[i].card == records[i].card
              && again[i].when == records[i].when && again[i].flag == records[i].flag);
}

void useRosterBlock(const QByteArray &payload, int at)
{
    if (payload.size() < at) return;
    std::vector<PackedRosterEntry> entries, again;
    QString why;
    if (!RosterBlock::decode(payload.constData() + at, payload.size() - at, entries, why)) return;
    for (const PackedRosterEntry &e : entries) {
        check(e.jobNo.size() <= RosterBlock::MaxJobBytes && e.name.size() <= RosterBlock::MaxNameBytes);
        check(!e.jobNo.contains(',') && !e.name.contains('\r') && !e.name.contains('\n'));
    }
    const QByteArray encoded = RosterBlock::encode(entries.data(), qsizetype(entries.size()));
    check(RosterBlock::decode(encoded.constData(), encoded.size(), again, why) && again.size() == entries.size());
}

// What the link does with a reply payload: header, records or fields, never trusting a count.
void usePayload(const QByteArray &payload)
{
    // The payload after the status byte and a range or since header, or as it stands.
    BlockHeaders::RangeReply range;
    BlockHeaders::SinceReply since;
    (void)BlockHeaders::decode(payload, range);
    (void)BlockHeaders::decode(payload, since);
    for (int at : {0, 1, 1 + BlockHeaders::RangeReplySize, 1 + BlockHeaders::SinceReplySize}) {
        useRecordBlock(payload, at);
        useRosterBlock(payload, at);
    }
    RecordWire::PacketHeader h;
    if (RecordWire::decodeHeader(payload, h)) {
        for (qsizetype at = RecordWire::PacketHeaderSize; at + RecordWire::Size <= payload.size();
             at += RecordWire::Size) {
            WireRecord r;
            if (RecordWire::decode(payload.mid(at, RecordWire::Size), r)) {
                const QByteArray line = RecordWire::rawLine(105, r, at & 1, at & 2);
                check(line.size() == 17 + ((at & 1) ? 10 : 8) + ((at & 2) ? 4 : 2));
                check(RecordWire::encode(r)
                      == payload.mid(at, RecordWire::Size).left(8).toUpper()
                          + payload.mid(at + 8, RecordWire::Size - 8));
            }
        }
    }
    const QStringList fields = Fields::split(payload);
    for (int i = 0; i <= fields.size(); ++i) {
        uint32_t card = 0;
        (void)RecordWire::parseCard(Fields::field(fields, i), card);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The pure decoder: every answer is consistent with its input.
    const Frame::Decoded d = Frame::decode(bytes);
    switch (d.status) {
    case Frame::Status::NeedMore:
        check(d.consumed == 0);
        break;
    case Frame::Status::Skipped:
        check(d.consumed > 0 && d.consumed <= bytes.size());
        break;
    case Frame::Status::Complete:
        check(d.consumed == Frame::OverheadSize + d.message.payload.size() && d.consumed <= bytes.size());
        check(Frame::encode(d.message) == bytes.left(d.consumed));
        usePayload(d.message.payload);
        break;
    }

    // The stream decoder, fed in chunks whose sizes come from the input: it finds the same frames
    // whatever the chunking, and accounts for every byte.
    const int step = size > 0 ? 1 + data[0] % 64 : 1;
    Frame::Decoder whole, chunked;
    whole.feed(bytes);
    QList<Frame::Message> a, b;
    Frame::Message m;
    while (whole.next(m)) a << m;
    for (qsizetype i = 0; i < bytes.size(); i += step) {
        chunked.feed(bytes.mid(i, step));
        while (chunked.next(m)) b << m;
    }
    check(a.size() == b.size());
    qsizetype used = 0;
    for (int i = 0; i < a.size(); ++i) {
        check(a[i].payload == b[i].payload && a[i].sequence == b[i].sequence && a[i].address == b[i].address);
        used += Frame::OverheadSize + a[i].payload.size();
        usePayload(a[i].payload);
    }
    check(used + whole.droppedBytes() + whole.pendingBytes() == bytes.size());
    check(whole.pendingBytes() <= Frame::OverheadSize + Frame::MaxPayload);
    return 0;
}
