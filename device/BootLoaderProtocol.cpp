#include "device/BootLoaderProtocol.h"

#include "image/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace corvalin
{

namespace
{

constexpr uint8_t kFrameSync0 = 0xAA;
constexpr uint8_t kFrameSync1 = 0x55;

// Device record (QUERY's payload) and configuration record (PREP's).
constexpr uint32_t kMarkConfigured = 0xABADCAFEu;
constexpr uint32_t kMarkEmpty = 0xABADF00Du;
constexpr uint32_t kMarkErased = 0xFFFFFFFFu;
constexpr std::size_t kRecordNameOffset = 8;
constexpr std::size_t kRecordNumberOffset = 44;
constexpr std::size_t kConfigNameSize = 112;
constexpr std::size_t kConfigIdOffset = 120;
constexpr std::size_t kConfigValueOffset = 320;
constexpr uint32_t kDateStampId = 4;
constexpr const char* kEmptyBoxName = "Empty";

} // namespace

std::vector<uint8_t> BuildFrame(EBootCommand command, const uint8_t* payload, std::size_t size)
{
    std::vector<uint8_t> frame(kFrameHeaderSize + size, 0);
    frame[0] = kFrameSync0;
    frame[1] = kFrameSync1;
    WriteLe16(&frame[2], uint16_t(size + 1));
    frame[4] = uint8_t(command);
    // Without a payload the frame's payload bytes stay zero for the caller to fill.
    if (payload && size > 0)
        std::memcpy(&frame[kFrameHeaderSize], payload, size);
    return frame;
}

std::vector<uint8_t> BuildQueryFrame()
{
    return BuildFrame(EBootCommand::Query, nullptr, 0);
}

std::vector<uint8_t> BuildInitFrame(uint32_t hardwareCode, int32_t blocks)
{
    uint8_t payload[6];
    WriteLe32(&payload[0], hardwareCode);
    WriteLe16(&payload[4], uint16_t(blocks & 0xFFFF));
    return BuildFrame(EBootCommand::Init, payload, sizeof payload);
}

std::vector<uint8_t> BuildXferFrame(int block, const uint8_t* body, std::size_t bodySize)
{
    std::vector<uint8_t> frame = BuildFrame(EBootCommand::Xfer, nullptr, 2 + kBlockSize);
    WriteLe16(&frame[kFrameHeaderSize], uint16_t(block));
    const std::size_t offset = std::size_t(block) * kBlockSize;
    if (offset < bodySize)
        std::memcpy(&frame[kFrameHeaderSize + 2], body + offset, std::min(kBlockSize, bodySize - offset));
    return frame;
}

std::vector<uint8_t> BuildPrepFrame(const ImageHeader& header, uint32_t bcdDate)
{
    const std::vector<uint8_t> record = BuildConfigRecord(header, bcdDate);
    return BuildFrame(EBootCommand::Prep, record.data(), record.size());
}

std::vector<uint8_t> BuildCloseFrame()
{
    const uint8_t payload[1] = {0};
    return BuildFrame(EBootCommand::Close, payload, sizeof payload);
}

std::vector<uint8_t> BuildConfigRecord(const ImageHeader& header, uint32_t bcdDate)
{
    std::vector<uint8_t> record(kBootRecordSize, 0);
    WriteLe32(&record[0], kMarkConfigured);
    WriteLe32(&record[4], GetHardwareCode(header));
    // The name with its NUL; a name that fills its whole field gets one added here
    // rather than running on into the parameter list.
    std::size_t nameLength = 0;
    while (nameLength < kNameSize && header[kNameOffset + nameLength] != 0)
        ++nameLength;
    static_assert(kNameSize < kConfigNameSize);
    std::memcpy(&record[kRecordNameOffset], &header[kNameOffset], nameLength);

    for (int i = 0; i < kParamSlots; ++i)
    {
        uint32_t id = GetParamId(header, i);
        uint8_t* idAt = &record[kConfigIdOffset + 4 * std::size_t(i)];
        uint8_t* valueAt = &record[kConfigValueOffset + 4 * std::size_t(i)];
        if (id == kParamTerminator && i + 1 < kParamSlots)
        {
            WriteLe32(idAt, kDateStampId);
            WriteLe32(valueAt, bcdDate);
            WriteLe32(idAt + 4, kParamTerminator);
            break;
        }
        WriteLe32(idAt, id);
        WriteLe32(valueAt, GetParamValue(header, i));
        if (id == kParamTerminator)
            break;
    }
    return record;
}

std::size_t CompleteFrameLength(const uint8_t* data, std::size_t count)
{
    if (count < 4 || data[0] != kFrameSync0 || data[1] != kFrameSync1)
        return 0;
    std::size_t length = 4 + std::size_t(data[2] | data[3] << 8);
    return count >= length ? length : 0;
}

bool HasFrameSyncAt(const uint8_t* data, std::size_t count, std::size_t at)
{
    return at + 1 < count && data[at] == kFrameSync0 && data[at + 1] == kFrameSync1;
}

EExchangeResult JudgeReply(const uint8_t* data, std::size_t count, std::size_t start, uint8_t expectedReply)
{
    if (count == 0)
        return EExchangeResult::NoReply;
    if (!HasFrameSyncAt(data, count, start))
        return EExchangeResult::BadStart;
    if (count <= start + 4 || data[start + 4] != expectedReply)
        return EExchangeResult::BadCode;
    if (count <= start + 5 || data[start + 5] != 0)
        return EExchangeResult::BadStatus;
    return EExchangeResult::Ok;
}

std::optional<CDeviceRecord> ParseDeviceRecord(const std::vector<uint8_t>& reply)
{
    if (reply.size() < kFrameHeaderSize + kBootRecordSize)
        return std::nullopt;
    const uint8_t* record = reply.data() + kFrameHeaderSize;
    const uint32_t mark = ReadLe32(record);
    CDeviceRecord device;
    device.m_nNumber = int32_t(ReadLe32(record + kRecordNumberOffset));
    if (mark == kMarkConfigured)
    {
        for (std::size_t i = kRecordNameOffset; i < kBootRecordSize && record[i] != 0; ++i)
            device.m_strName.push_back(char(record[i]));
    }
    else if (mark == kMarkEmpty || mark == kMarkErased)
        device.m_strName = kEmptyBoxName;
    else
        return std::nullopt;
    return device;
}

} // namespace corvalin
