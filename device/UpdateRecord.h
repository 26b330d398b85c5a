#pragma once
// The update record: one JSON line per finished update (JSON Lines), appended to a
// file the user names, so a shop knows which box got which firmware and when.
//
// {"time":"2026-12-09T20:01:02+01:00","start":"2026-12-09T20:00:51+01:00","station":"bench-2",
//  "operator":"Ann","version":"1.4.0","port":"ttyUSB3","place":"USB 1-2.3","bay":"Bay 3",
//  "box":"BOX","number":1234,"image":"fw.img","image_path":"/home/ann/fw.img","product":null,
//  "sha256":"…","hardware":"00010000","blocks":512,"assignments":["CH0.Volume=25"],
//  "settings_sha256":null,"status":"Update complete","success":true,"stopped":false,
//  "failed_block":null,"seconds":71.4,"prev":"…"}
//
// "prev" is the SHA-256 of the line before it in the file (null for a first line), so
// a line changed, removed or put in between breaks the chain there. It proves that the
// lines are as they were appended only up to a rewrite of the whole rest of the file:
// anyone who can write the file can also write a new chain that verifies.
// Lines written before the fields from "start" on existed still read; they lack them.

#include "device/PortList.h"
#include "device/UpdateOutcome.h"
#include "image/FirmwareImage.h"

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
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
    // The fields newer lines carry; lines written before them lack them.
    std::optional<std::string> m_strStart;          // when the update started; none without an update
    std::optional<std::string> m_strStation;        // the host name of the computer that sent it
    std::optional<std::string> m_strOperator;       // who ran it (--operator)
    std::optional<std::string> m_strVersion;        // Corvalin's version
    std::optional<std::string> m_strPlace;          // where the box was plugged, "USB 1-2.3"
    std::optional<std::string> m_strBay;            // the name the shop gave that place
    std::optional<std::string> m_strImagePath;      // the image file as an absolute path
    std::vector<std::string> m_assignments;         // the --set assignments applied, as given
    std::optional<std::string> m_strSettingsSha256; // of the settings document applied
    bool m_bStopped = false;                        // a stop ended the turn
    std::optional<int64_t> m_nFailedBlock;          // the block the box refused, as it counts (0: the header)
    std::optional<std::string> m_strPrev;           // SHA-256 of the line before, set when appended
};

// How one turn ended, as the record keeps it.
struct CUpdateTurn
{
    CPortRecord m_port;      // the port, and the box's record once it answered
    std::string m_strPlace;  // "USB 1-2.3", or empty
    std::string m_strBay;    // the place's name, or empty
    std::string m_strStatus; // the result in words
    bool m_bSuccess = false; // the box accepted the whole update
    bool m_bStopped = false; // a stop ended it
    std::optional<double> m_dSeconds;
    std::optional<std::time_t> m_tStart;
    std::optional<int> m_nFailedBlock;
};

// What every record of one image shares: the image fields above.
CUpdateRecord DescribeImage(const std::string& file, const std::optional<std::string>& product,
                            const CFirmwareImage& image);

// The record of one ended turn: the image's fields, the port and the box's record,
// the result in words and whether the update completed, the duration (none when no
// update started), stamped with `now`.
CUpdateRecord MakeUpdateRecord(const CUpdateRecord& image, const CPortRecord& port, const std::string& status,
                               bool success, std::optional<double> seconds, std::time_t now);

// A turn's result as an update's outcome tells it (the port, place and start are the
// caller's to fill in).
CUpdateTurn TurnOfOutcome(const CUpdateOutcome& outcome);

// The same from a turn's parts; the time stamps are local time.
CUpdateRecord MakeUpdateRecord(const CUpdateRecord& image, const CUpdateTurn& turn, std::time_t now);

// `unixSeconds` as local time at `offsetSeconds` east of UTC, such as
// "2026-12-09T20:01:02+01:00"; the offset is shown in whole minutes.
std::string FormatIsoTime(int64_t unixSeconds, int offsetSeconds);
// The system's offset of local time from UTC at `when`, in seconds east.
int LocalOffsetSeconds(std::time_t when);

// One record as its JSON line, newline included.
std::string RecordLine(const CUpdateRecord& record);
// A line read back; false when it is not a whole record of the right types.
bool ParseRecordLine(const std::string& line, CUpdateRecord& record);

// Appends the record to the file as the next link of its chain (its "prev" set from
// the file's last line, under the file's append lock); `line` gets the line as
// written, or as it would have been. On failure `error` says why.
bool AppendRecord(const std::filesystem::path& path, CUpdateRecord record, std::string& line,
                  std::error_code& error);

// What is wrong with one line of a record file.
struct CRecordProblem
{
    int m_nLine = 0; // 1 is the first
    std::string m_strText;
};
// Every line whose chain link is broken, that is no record, or whose fields contradict
// each other (success against status, a stop that succeeded...). Lines end without
// their line ends; blank lines are no records but count as lines.
std::vector<CRecordProblem> VerifyRecordLines(const std::vector<std::string>& lines);

// How a spreadsheet gets the record.
struct CCsvOptions
{
    char m_cSeparator = ',';
    // For a spreadsheet program: a byte order mark so it reads UTF-8, times it takes
    // for dates ("2026-12-09 20:01:02", the offset in a column of its own), and a
    // decimal comma when the separator is ';'.
    bool m_bExcel = false;
};

// The record as a spreadsheet reads it: a header row and one row per record, every
// field, quoted where RFC 4180 asks, CRLF line ends. A text that a spreadsheet would
// take for a formula (one that begins with =, +, -, @, a tab or a carriage return)
// gets a leading apostrophe, so it is shown as the text it is.
std::string RecordsAsCsv(const std::vector<CUpdateRecord>& records, const CCsvOptions& options = {});
// The record as aligned columns: time, port, box, number, product (or image), blocks,
// result, seconds.
std::string RecordsAsTable(const std::vector<CUpdateRecord>& records);

} // namespace corvalin
