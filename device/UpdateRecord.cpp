#include "device/UpdateRecord.h"

#include "BuildVersion.h"
#include "device/StatusTexts.h"
#include "image/Sha256.h"
#include "platform/FileIo.h"
#include "platform/HostName.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace corvalin
{

namespace
{

using Json = nlohmann::ordered_json;

constexpr int64_t kSecondsPerDay = 86400;

// The civil date of a day count from 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * shifted + 2) / 5 + 1);
    month = int(shifted < 10 ? shifted + 3 : shifted - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Box names are the box's own bytes, read as Latin-1; the record is UTF-8.
std::string Latin1ToUtf8(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes)
    {
        if (c < 0x80)
            text.push_back(char(c));
        else
        {
            text.push_back(char(0xC0 | (c >> 6)));
            text.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

// Characters on a terminal: UTF-8 continuation bytes take no column.
std::size_t Columns(const std::string& text)
{
    return std::size_t(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string NumberText(const std::optional<int64_t>& number)
{
    if (!number)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%8.8lld", static_cast<long long>(*number));
    return text;
}

std::string SecondsText(const std::optional<double>& seconds)
{
    if (!seconds)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *seconds);
    return text;
}

// A text field as a spreadsheet shows it: one that would start a formula gets an
// apostrophe in front, which the spreadsheet takes as "this is text".
std::string CsvText(const std::string& text)
{
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
        return "'" + text;
    return text;
}

std::string CsvField(const std::string& text, char separator)
{
    if (text.find_first_of(std::string("\"\r\n") + separator) == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
    {
        if (c == '"')
            quoted.push_back('"');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

std::string Sha256OfText(const std::string& text)
{
    return Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

template <typename T> Json OrNull(const std::optional<T>& value)
{
    return value ? Json(*value) : Json(nullptr);
}

} // namespace

CUpdateRecord DescribeImage(const std::string& file, const std::optional<std::string>& product,
                            const CFirmwareImage& image)
{
    CUpdateRecord record;
    record.m_strImage = file;
    record.m_strProduct = product;
    const std::vector<uint8_t> bytes = image.FileBytes();
    record.m_strSha256 = Sha256Hex(bytes.data(), bytes.size());
    char hardware[16];
    std::snprintf(hardware, sizeof hardware, "%08X", unsigned(GetHardwareCode(image.Header())));
    record.m_strHardware = hardware;
    record.m_nBlocks = image.Blocks();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(platform::PathFromUtf8(file), error);
    if (!error)
        record.m_strImagePath = reinterpret_cast<const char*>(absolute.u8string().c_str());
    record.m_strVersion = kVersion;
    if (std::string host = platform::HostName(); !host.empty())
        record.m_strStation = host;
    return record;
}

CUpdateRecord MakeUpdateRecord(const CUpdateRecord& image, const CPortRecord& port, const std::string& status,
                               bool success, std::optional<double> seconds, std::time_t now)
{
    CUpdateRecord record = image;
    record.m_strTime = FormatIsoTime(int64_t(now), LocalOffsetSeconds(now));
    record.m_strPort = port.m_strPort;
    record.m_strBox.reset();
    record.m_nNumber.reset();
    if (port.m_bRecord)
    {
        record.m_strBox = Latin1ToUtf8(port.m_strName);
        record.m_nNumber = port.m_nNumber;
    }
    record.m_strStatus = status;
    record.m_bSuccess = success;
    record.m_dSeconds = seconds;
    return record;
}

CUpdateTurn TurnOfOutcome(const CUpdateOutcome& outcome)
{
    CUpdateTurn turn;
    turn.m_strStatus = OutcomeText(outcome);
    turn.m_bSuccess = outcome.m_bCompleted;
    turn.m_bStopped = outcome.m_bStopped;
    turn.m_dSeconds = outcome.m_dSeconds;
    if (!outcome.m_bCompleted && !outcome.m_bStopped && outcome.m_eStep == EUpdateStep::Xfer)
        turn.m_nFailedBlock = outcome.m_nBlocksSent;
    return turn;
}

CUpdateRecord MakeUpdateRecord(const CUpdateRecord& image, const CUpdateTurn& turn, std::time_t now)
{
    CUpdateRecord record =
        MakeUpdateRecord(image, turn.m_port, turn.m_strStatus, turn.m_bSuccess, turn.m_dSeconds, now);
    if (turn.m_tStart)
        record.m_strStart = FormatIsoTime(int64_t(*turn.m_tStart), LocalOffsetSeconds(*turn.m_tStart));
    if (!turn.m_strPlace.empty())
        record.m_strPlace = turn.m_strPlace;
    if (!turn.m_strBay.empty())
        record.m_strBay = turn.m_strBay;
    record.m_bStopped = turn.m_bStopped;
    if (turn.m_nFailedBlock)
        record.m_nFailedBlock = *turn.m_nFailedBlock;
    return record;
}

std::string FormatIsoTime(int64_t unixSeconds, int offsetSeconds)
{
    const int offsetMinutes = offsetSeconds / 60;
    const int64_t local = unixSeconds + int64_t(offsetMinutes) * 60;
    const int64_t days = FloorDiv(local, kSecondsPerDay);
    const int64_t secondOfDay = local - days * kSecondsPerDay;
    int64_t year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    const int magnitude = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                  static_cast<long long>(year), month, day, int(secondOfDay / 3600),
                  int(secondOfDay / 60 % 60), int(secondOfDay % 60), offsetMinutes < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
    return text;
}

int LocalOffsetSeconds(std::time_t when)
{
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    if (localtime_s(&local, &when) != 0 || gmtime_s(&utc, &when) != 0)
        return 0;
#else
    if (!localtime_r(&when, &local) || !gmtime_r(&when, &utc))
        return 0;
#endif
    // The two readings of one instant differ by less than a day; the year and its day
    // tell which side of midnight each lies on.
    int dayDifference = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        dayDifference = local.tm_year > utc.tm_year ? 1 : -1;
    return ((dayDifference * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min) * 60 +
           local.tm_sec - utc.tm_sec;
}

std::string RecordLine(const CUpdateRecord& record)
{
    Json line;
    line["time"] = record.m_strTime;
    line["start"] = OrNull(record.m_strStart);
    line["station"] = OrNull(record.m_strStation);
    line["operator"] = OrNull(record.m_strOperator);
    line["version"] = OrNull(record.m_strVersion);
    line["port"] = record.m_strPort;
    line["place"] = OrNull(record.m_strPlace);
    line["bay"] = OrNull(record.m_strBay);
    line["box"] = OrNull(record.m_strBox);
    line["number"] = OrNull(record.m_nNumber);
    line["image"] = record.m_strImage;
    line["image_path"] = OrNull(record.m_strImagePath);
    line["product"] = OrNull(record.m_strProduct);
    line["sha256"] = record.m_strSha256;
    line["hardware"] = record.m_strHardware;
    line["blocks"] = record.m_nBlocks;
    line["assignments"] = record.m_assignments;
    line["settings_sha256"] = OrNull(record.m_strSettingsSha256);
    line["status"] = record.m_strStatus;
    line["success"] = record.m_bSuccess;
    line["stopped"] = record.m_bStopped;
    line["failed_block"] = OrNull(record.m_nFailedBlock);
    // Milliseconds are enough; rounded in floating point, since a hand-edited line read
    // back may hold any number (one too large for JSON is written as null).
    line["seconds"] = record.m_dSeconds ? Json(std::round(*record.m_dSeconds * 1000) / 1000) : Json(nullptr);
    line["prev"] = OrNull(record.m_strPrev);
    // A path given as bytes that are not UTF-8 is kept readable rather than refused.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool ParseRecordLine(const std::string& text, CUpdateRecord& record)
{
    Json line = Json::parse(text, nullptr, false);
    if (line.is_discarded() || !line.is_object())
        return false;
    auto has = [&](const char* key, bool (Json::*test)() const noexcept, bool nullable)
    {
        auto it = line.find(key);
        return it != line.end() && (((*it).*test)() || (nullable && it->is_null()));
    };
    if (!has("time", &Json::is_string, false) || !has("port", &Json::is_string, false) ||
        !has("box", &Json::is_string, true) || !has("number", &Json::is_number_integer, true) ||
        !has("image", &Json::is_string, false) || !has("product", &Json::is_string, true) ||
        !has("sha256", &Json::is_string, false) || !has("hardware", &Json::is_string, false) ||
        !has("blocks", &Json::is_number_integer, false) || !has("status", &Json::is_string, false) ||
        !has("success", &Json::is_boolean, false) || !has("seconds", &Json::is_number, true))
        return false;
    CUpdateRecord read;
    read.m_strTime = line["time"].get<std::string>();
    read.m_strPort = line["port"].get<std::string>();
    if (!line["box"].is_null())
        read.m_strBox = line["box"].get<std::string>();
    if (!line["number"].is_null())
        read.m_nNumber = line["number"].get<int64_t>();
    read.m_strImage = line["image"].get<std::string>();
    if (!line["product"].is_null())
        read.m_strProduct = line["product"].get<std::string>();
    read.m_strSha256 = line["sha256"].get<std::string>();
    read.m_strHardware = line["hardware"].get<std::string>();
    read.m_nBlocks = line["blocks"].get<int64_t>();
    read.m_strStatus = line["status"].get<std::string>();
    read.m_bSuccess = line["success"].get<bool>();
    if (!line["seconds"].is_null())
        read.m_dSeconds = line["seconds"].get<double>();
    // The newer fields: absent in older lines, of the right type where present.
    auto optional = [&](const char* key, bool (Json::*test)() const noexcept)
    {
        auto it = line.find(key);
        return it == line.end() || it->is_null() || ((*it).*test)();
    };
    for (const char* key :
         {"start", "station", "operator", "version", "place", "bay", "image_path", "settings_sha256", "prev"})
        if (!optional(key, &Json::is_string))
            return false;
    if (!optional("failed_block", &Json::is_number_integer) || !optional("stopped", &Json::is_boolean) ||
        !optional("assignments", &Json::is_array))
        return false;
    auto readText = [&](const char* key, std::optional<std::string>& field)
    {
        auto it = line.find(key);
        if (it != line.end() && it->is_string())
            field = it->get<std::string>();
    };
    readText("start", read.m_strStart);
    readText("station", read.m_strStation);
    readText("operator", read.m_strOperator);
    readText("version", read.m_strVersion);
    readText("place", read.m_strPlace);
    readText("bay", read.m_strBay);
    readText("image_path", read.m_strImagePath);
    readText("settings_sha256", read.m_strSettingsSha256);
    readText("prev", read.m_strPrev);
    if (auto it = line.find("failed_block"); it != line.end() && it->is_number_integer())
        read.m_nFailedBlock = it->get<int64_t>();
    if (auto it = line.find("stopped"); it != line.end() && it->is_boolean())
        read.m_bStopped = it->get<bool>();
    if (auto it = line.find("assignments"); it != line.end() && it->is_array())
    {
        for (const Json& item : *it)
        {
            if (!item.is_string())
                return false;
            read.m_assignments.push_back(item.get<std::string>());
        }
    }
    record = std::move(read);
    return true;
}

namespace
{

// "2026-12-09T20:01:02+01:00" as "2026-12-09 20:01:02", which spreadsheets take for a
// date and time; other texts stay as they are.
std::string SpreadsheetTime(const std::string& iso)
{
    if (iso.size() < 19 || iso[10] != 'T')
        return iso;
    return iso.substr(0, 10) + " " + iso.substr(11, 8);
}

std::string TimeZoneOf(const std::string& iso)
{
    return iso.size() > 19 ? iso.substr(19) : std::string();
}

std::string Join(const std::vector<std::string>& items, const std::string& between)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? between : "") + items[i];
    return text;
}

} // namespace

std::string RecordsAsCsv(const std::vector<CUpdateRecord>& records, const CCsvOptions& options)
{
    const char separator = options.m_cSeparator;
    const bool decimalComma = options.m_bExcel && separator == ';';
    std::vector<std::string> header = {
        "time",    "start",   "station",  "operator",     "version",     "port",
        "place",   "bay",     "box",      "number",       "image",       "image_path",
        "product", "sha256",  "hardware", "blocks",       "assignments", "settings_sha256",
        "status",  "success", "stopped",  "failed_block", "seconds"};
    if (options.m_bExcel)
        header.insert(header.begin() + 2, "time_zone");
    std::string csv = options.m_bExcel ? "\xEF\xBB\xBF" : "";
    csv += Join(header, std::string(1, separator)) + "\r\n";
    for (const CUpdateRecord& r : records)
    {
        std::string seconds = SecondsText(r.m_dSeconds);
        if (decimalComma)
            std::replace(seconds.begin(), seconds.end(), '.', ',');
        auto time = [&](const std::string& iso)
        { return options.m_bExcel ? SpreadsheetTime(iso) : CsvText(iso); };
        std::vector<std::string> fields = {time(r.m_strTime),
                                           r.m_strStart ? time(*r.m_strStart) : "",
                                           CsvText(r.m_strStation.value_or("")),
                                           CsvText(r.m_strOperator.value_or("")),
                                           CsvText(r.m_strVersion.value_or("")),
                                           CsvText(r.m_strPort),
                                           CsvText(r.m_strPlace.value_or("")),
                                           CsvText(r.m_strBay.value_or("")),
                                           CsvText(r.m_strBox.value_or("")),
                                           r.m_nNumber ? std::to_string(*r.m_nNumber) : "",
                                           CsvText(r.m_strImage),
                                           CsvText(r.m_strImagePath.value_or("")),
                                           CsvText(r.m_strProduct.value_or("")),
                                           CsvText(r.m_strSha256),
                                           CsvText(r.m_strHardware),
                                           std::to_string(r.m_nBlocks),
                                           CsvText(Join(r.m_assignments, " ")),
                                           CsvText(r.m_strSettingsSha256.value_or("")),
                                           CsvText(r.m_strStatus),
                                           r.m_bSuccess ? "true" : "false",
                                           r.m_bStopped ? "true" : "false",
                                           r.m_nFailedBlock ? std::to_string(*r.m_nFailedBlock) : "",
                                           seconds};
        if (options.m_bExcel)
            fields.insert(fields.begin() + 2, TimeZoneOf(r.m_strTime));
        for (std::size_t i = 0; i < fields.size(); ++i)
            csv += (i ? std::string(1, separator) : "") + CsvField(fields[i], separator);
        csv += "\r\n";
    }
    return csv;
}

bool AppendRecord(const std::filesystem::path& path, CUpdateRecord record, std::string& line,
                  std::error_code& error)
{
    line = RecordLine(record);
    return platform::AppendAfterLastLine(
        path,
        [&](const std::string& last)
        {
            record.m_strPrev.reset();
            if (!last.empty())
                record.m_strPrev = Sha256OfText(last);
            line = RecordLine(record);
            return line;
        },
        error);
}

std::vector<CRecordProblem> VerifyRecordLines(const std::vector<std::string>& lines)
{
    std::vector<CRecordProblem> problems;
    bool chained = false;
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const int number = int(i + 1);
        auto report = [&](const std::string& text) { problems.push_back({number, text}); };
        CUpdateRecord r;
        if (!ParseRecordLine(lines[i], r))
        {
            if (lines[i].find_first_not_of(" \t") != std::string::npos || chained)
                report(lines[i].find_first_not_of(" \t") == std::string::npos ? "blank line inside the chain"
                                                                              : "not an update record");
            continue;
        }
        const std::optional<std::string> expected =
            i == 0 || lines[i - 1].empty() ? std::nullopt : std::optional(Sha256OfText(lines[i - 1]));
        if (r.m_strPrev || chained)
        {
            if (!r.m_strPrev)
                report("no link to the line before (\"prev\" missing after chained lines)");
            else if (r.m_strPrev != expected)
                report(expected ? "chain broken: the line before is not the one this line was appended after"
                                : "chain broken: this line was appended after a line that is gone");
            chained = true;
        }
        const bool complete = r.m_strStatus == StatusText(EStatusText::UpdateComplete);
        if (r.m_bSuccess != complete)
            report(r.m_bSuccess ? "\"success\" is true but the status is \"" + r.m_strStatus + "\""
                                : "\"success\" is false but the status is \"" + r.m_strStatus + "\"");
        if (r.m_bStopped && (r.m_bSuccess || r.m_strStatus.rfind("Stopped", 0) != 0))
            report("\"stopped\" is true but the status is \"" + r.m_strStatus + "\"");
        if (r.m_nFailedBlock &&
            (r.m_bSuccess || *r.m_nFailedBlock < 1 || *r.m_nFailedBlock > r.m_nBlocks + 1))
            report("\"failed_block\" " + std::to_string(*r.m_nFailedBlock) + " does not fit the update");
        if (r.m_strBox.has_value() != r.m_nNumber.has_value())
            report("a box name without a number, or a number without a name");
        if (r.m_bSuccess && !r.m_dSeconds)
            report("a completed update without a duration");
    }
    return problems;
}

std::string RecordsAsTable(const std::vector<CUpdateRecord>& records)
{
    std::vector<std::vector<std::string>> rows = {
        {"TIME", "PORT", "BOX", "NUMBER", "PRODUCT/IMAGE", "BLOCKS", "RESULT", "SECONDS"}};
    for (const CUpdateRecord& r : records)
        rows.push_back({r.m_strTime, r.m_strPort, r.m_strBox.value_or("-"),
                        r.m_nNumber ? NumberText(r.m_nNumber) : "-", r.m_strProduct.value_or(r.m_strImage),
                        std::to_string(r.m_nBlocks), r.m_strStatus,
                        r.m_dSeconds ? SecondsText(r.m_dSeconds) : "-"});
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], Columns(row[i]));
    std::string table;
    for (const auto& row : rows)
    {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
        {
            if (i)
                line += "  ";
            line += row[i];
            if (i + 1 < row.size())
                line.append(widths[i] - Columns(row[i]), ' ');
        }
        table += line + "\n";
    }
    return table;
}

} // namespace corvalin
