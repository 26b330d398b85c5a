#pragma once
// The update record: one JSON line per finished update (JSON Lines), appended to a
// file the user names, so a shop knows which box got which firmware and when.
//
// {"time":"2026-12-09T20:01:02+01:00","port":"ttyUSB3","box":"BOX","number":1234,
//  "image":"fw.img","product":null,"sha256":"…","hardware":"00010000","blocks":512,
//  "status":"Update complete","success":true,"seconds":71.4}

#include "device/PortList.h"
#include "image/FirmwareImage.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace corvalin
{

struct CUpdateRecord
{
    std::string m_strTime;                   // when the turn ended, ISO 8601 with the local offset
    std::string m_strPort;                   // "ttyUSB3", "COM7", or the path given with --port
    std::optional<std::string> m_strBox;     // the record's name, as the port list shows it
    std::optional<int64_t> m_nNumber;        // the record's number
    std::string m_strImage;                  // the image file as given
    std::optional<std::string> m_strProduct; // the bundle member
    std::string m_strSha256;                 // of the bytes sent: scrambled header, then the body
    std::string m_strHardware;               // the header's hardware code, 8 hex digits
    int64_t m_nBlocks = 0;                   // the block count INIT announces
    std::string m_strStatus;                 // the final status text
    bool m_bSuccess = false;                 // the box accepted the whole update
    std::optional<double> m_dSeconds;        // from the update's start to its end; none without an update
};

// What every record of one image shares: the image fields above.
CUpdateRecord DescribeImage(const std::string& file, const std::optional<std::string>& product,
                            const CFirmwareImage& image);

// The record of one ended turn: the image's fields, the port and the box's record,
// the result in words and whether the update completed, the duration (none when no
// update started), stamped with `now`.
CUpdateRecord MakeUpdateRecord(const CUpdateRecord& image, const CPortRecord& port, const std::string& status,
                               bool success, std::optional<double> seconds, std::time_t now);

// `unixSeconds` as local time at `offsetSeconds` east of UTC, such as
// "2026-12-09T20:01:02+01:00"; the offset is shown in whole minutes.
std::string FormatIsoTime(int64_t unixSeconds, int offsetSeconds);
// The system's offset of local time from UTC at `when`, in seconds east.
int LocalOffsetSeconds(std::time_t when);

// One record as its JSON line, newline included.
std::string RecordLine(const CUpdateRecord& record);
// A line read back; false when it is not a whole record of the right types.
bool ParseRecordLine(const std::string& line, CUpdateRecord& record);

// The record as a spreadsheet reads it: a header row and one row per record, every
// field, quoted where RFC 4180 asks, CRLF line ends.
std::string RecordsAsCsv(const std::vector<CUpdateRecord>& records);
// The record as aligned columns: time, port, box, number, product (or image), blocks,
// result, seconds.
std::string RecordsAsTable(const std::vector<CUpdateRecord>& records);

} // namespace corvalin
