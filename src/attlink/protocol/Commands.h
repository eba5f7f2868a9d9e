#pragma once

#include <cstdint>

// Command codes of the terminal protocol. A reply carries the request's code with Frame::ReplyBit set,
// and its payload starts with a status byte (ReplyStatus). Meanings in docs/protocol.md.
namespace Command {
enum : uint8_t {
    Identify = 0x01,
    RecordCount = 0x10,
    RecordPacket = 0x11,
    ClearRecords = 0x12,
    ClearFlags = 0x13,
    PutRecord = 0x14,
    RecordsSince = 0x15,
    DeleteRecordsUpTo = 0x16,
    RecordBlocks = 0x17,
    // On TCP: the terminal pushes each record it stores after a serial; Push travels from the terminal
    // (with the reply bit), PushAck back from the host, neither answered (docs/protocol.md).
    Subscribe = 0x18,
    Push = 0x19,
    PushAck = 0x19,
    ClearLog = 0x20,
    TimeChangeLog = 0x21,
    RosterCount = 0x30,
    RosterPacket = 0x31,
    ClearRoster = 0x32,
    AddCard = 0x33,
    RemoveCard = 0x34,
    FindCard = 0x35,
    ReadCard = 0x36,
    RosterBlocks = 0x37,
    IssueCards = 0x38,
    WithdrawCards = 0x39,
    SetDateTime = 0x40,
    SetAlarms = 0x41,
    SetParameters = 0x50,
    ReadParameters = 0x51,
    SetAddress = 0x52,
    SetPassword = 0x53,
    GetPassword = 0x54,
    GetStorage = 0x55,
    SetStorage = 0x56,
    SetLogo = 0x60,
    PicturePacket = 0x61,
    ShortMessage = 0x62,
    Voice = 0x63,
};
}

enum class ReplyStatus : uint8_t { Ok = 0, Refused = 1, Unknown = 2, BadRequest = 3, NotSupported = 4 };

// Records and roster entries travel this many to a packet; the range collections count in packets.
// One RecordBlocks or RosterBlocks reply may carry several consecutive packets.
constexpr int RecordsPerPacket = 256;
constexpr int RosterPerPacket = 128;
constexpr int MaxPacketsPerReply = 255;

// The address a terminal answers to as it leaves the factory, and so the one attctl and attsim take
// when none is given.
constexpr int DefaultTerminalAddress = 105;
