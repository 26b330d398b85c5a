#include "device/UpdateRecord.h"

#include "image/Sha256.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

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

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
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
    line["port"] = record.m_strPort;
    line["box"] = OrNull(record.m_strBox);
    line["number"] = OrNull(record.m_nNumber);
    line["image"] = record.m_strImage;
    line["product"] = OrNull(record.m_strProduct);
    line["sha256"] = record.m_strSha256;
    line["hardware"] = record.m_strHardware;
    line["blocks"] = record.m_nBlocks;
    line["status"] = record.m_strStatus;
    line["success"] = record.m_bSuccess;
    // Milliseconds are enough; rounded in floating point, since a hand-edited line read
    // back may hold any number (one too large for JSON is written as null).
    line["seconds"] = record.m_dSeconds ? Json(std::round(*record.m_dSeconds * 1000) / 1000) : Json(nullptr);
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
    record = std::move(read);
    return true;
}

std::string RecordsAsCsv(const std::vector<CUpdateRecord>& records)
{
    std::string csv = "time,port,box,number,image,product,sha256,hardware,blocks,status,success,seconds\r\n";
    for (const CUpdateRecord& r : records)
    {
        const std::vector<std::string> fields = {r.m_strTime,
                                                 r.m_strPort,
                                                 r.m_strBox.value_or(""),
                                                 r.m_nNumber ? std::to_string(*r.m_nNumber) : "",
                                                 r.m_strImage,
                                                 r.m_strProduct.value_or(""),
                                                 r.m_strSha256,
                                                 r.m_strHardware,
                                                 std::to_string(r.m_nBlocks),
                                                 r.m_strStatus,
                                                 r.m_bSuccess ? "true" : "false",
                                                 SecondsText(r.m_dSeconds)};
        for (std::size_t i = 0; i < fields.size(); ++i)
            csv += (i ? "," : "") + CsvField(fields[i]);
        csv += "\r\n";
    }
    return csv;
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
