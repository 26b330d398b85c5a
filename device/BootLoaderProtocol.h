#pragma once
// The box's boot loader protocol as plain functions over bytes: building the frames
// the PC sends, judging a reply, reading the device record QUERY brings back, and
// building the configuration record PREP carries. Nothing here touches a port.
//
// Wire format, both directions:
//   offset  width  content
//   0       1      AA
//   1       1      55
//   2       2      L, little-endian: the command byte plus the payload
//   4       1      command code (PC to box) or reply code (box to PC)
//   5       L - 1  payload
// No checksum, no end marker. Of a reply only bytes 0, 1, 4 and 5 are judged; its
// length field is used only by reads that opt in to ending at a whole frame.
//
//   command  code  payload                                  expected reply
//   QUERY    00    none                                     device record in bytes 5..524
//   INIT     02    hardware code u32 LE, block count u16 LE  03, status 0
//   XFER     04    block number u16 LE, 512 body bytes      05, status 0
//   PREP     06    520-byte configuration record            05, status 0
//   CLOSE    07    one byte 00                              05, status 0

#include "image/ImageHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvalin
{

enum class EBootCommand : uint8_t
{
    Query = 0x00,
    Init = 0x02,
    Xfer = 0x04,
    Prep = 0x06,
    Close = 0x07,
};

constexpr uint8_t kReplyInitReady = 0x03;
constexpr uint8_t kReplyDone = 0x05;
constexpr std::size_t kFrameHeaderSize = 5;
constexpr std::size_t kBootRecordSize = 520;

// The result of one command-reply exchange; the number appears in texts such as
// "XFER Failed: %d".
enum class EExchangeResult : int
{
    Ok = 0,
    ShortWrite = 1, // the frame was not written whole
    NoReply = 2,    // the last read brought no byte
    BadStart = 3,   // the reply does not start with AA 55
    BadCode = 4,    // the reply code is not the expected one
    BadStatus = 5,  // the reply status is not 0
};

// A frame with `size` payload bytes, copied from `payload` or, when it is null, zeros.
std::vector<uint8_t> BuildFrame(EBootCommand command, const uint8_t* payload, std::size_t size);
std::vector<uint8_t> BuildQueryFrame();
// INIT carries the low 16 bits of the block count.
std::vector<uint8_t> BuildInitFrame(uint32_t hardwareCode, int32_t blocks);
// XFER of `block`: the 512 body bytes from block * 512; those past the body's end go
// as zeros.
std::vector<uint8_t> BuildXferFrame(int block, const uint8_t* body, std::size_t bodySize);
std::vector<uint8_t> BuildPrepFrame(const ImageHeader& header, uint32_t bcdDate);
std::vector<uint8_t> BuildCloseFrame();

// The 520-byte configuration record: mark ABADCAFE, hardware code, the image name
// with its NUL, and the parameter list with the date stamp (identifier 4, value
// `bcdDate`) put at its first terminator when that stands at slot 48 or before.
std::vector<uint8_t> BuildConfigRecord(const ImageHeader& header, uint32_t bcdDate);

// The length (4 + L) of the frame at the start of `data` when all of it is there, or
// 0 while it is incomplete or does not start with AA 55. Fits platform::MessageLengthFn.
std::size_t CompleteFrameLength(const uint8_t* data, std::size_t count);
// Whether the `count` bytes hold AA 55 at `at`.
bool HasFrameSyncAt(const uint8_t* data, std::size_t count, std::size_t at);
// Judges the reply that starts at `start` of the last read's `count` bytes.
EExchangeResult JudgeReply(const uint8_t* data, std::size_t count, std::size_t start, uint8_t expectedReply);

// What a box says of itself in its QUERY reply: its name as the port list shows it
// ("Empty" for a box never configured) and its number.
struct CDeviceRecord
{
    std::string m_strName;
    int32_t m_nNumber = 0;
};

// Reads the device record from a QUERY reply buffer (the frame header first), whose
// bytes past what arrived are zeros. Empty when the record's mark is none of
// configured (ABADCAFE), empty (ABADF00D) or erased (FFFFFFFF).
std::optional<CDeviceRecord> ParseDeviceRecord(const std::vector<uint8_t>& reply);

} // namespace corvalin
