// The update record: SHA-256, the ISO time, the record line, and `corvalin-cli log`.

#include "device/UpdateRecord.h"
#include "image/Sha256.h"

#include "tools/fixtures/ImageBuilder.h"
#include "tools/fixtures/ProcessRunner.h"
#include "tools/fixtures/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <thread>

using namespace corvalin;
using namespace corvalin::fixtures;

namespace
{

std::string Sha(const std::string& text)
{
    return Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

CUpdateRecord SampleRecord()
{
    CUpdateRecord r;
    r.m_strTime = "2026-12-09T20:01:02+01:00";
    r.m_strPort = "ttyUSB3";
    r.m_strBox = "BOX";
    r.m_nNumber = 1234;
    r.m_strImage = "fw, \"new\".img";
    r.m_strSha256 = std::string(64, 'a');
    r.m_strHardware = "00010000";
    r.m_nBlocks = 5;
    r.m_strStatus = "Update complete";
    r.m_bSuccess = true;
    r.m_dSeconds = 12.34;
    return r;
}

} // namespace

TEST(Sha256, StandardVectors)
{
    EXPECT_EQ(Sha(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 448 bits: the padding's length no longer fits the message's last block.
    EXPECT_EQ(Sha("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(Sha(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Pieces that straddle the 64-byte blocks give the same digest.
    CSha256 pieces;
    for (std::size_t done = 0; done < million.size(); done += 997)
        pieces.Update(reinterpret_cast<const uint8_t*>(million.data()) + done,
                      std::min<std::size_t>(997, million.size() - done));
    std::array<uint8_t, 32> digest = pieces.Finish();
    EXPECT_EQ(digest[0], 0xcd);
    EXPECT_EQ(digest[31], 0xd0);
}

TEST(UpdateRecord, IsoTimeWithItsOffset)
{
    const int64_t t = 1796842862; // 2026-12-09 19:01:02 UTC
    EXPECT_EQ(FormatIsoTime(t, 3600), "2026-12-09T20:01:02+01:00");
    EXPECT_EQ(FormatIsoTime(t, 0), "2026-12-09T19:01:02+00:00");
    EXPECT_EQ(FormatIsoTime(t, 5 * 3600 + 1800), "2026-12-10T00:31:02+05:30");
    const int64_t newYear = 1798770600; // 2027-01-01 02:30:00 UTC
    EXPECT_EQ(FormatIsoTime(newYear, -5 * 3600), "2026-12-31T21:30:00-05:00");
    EXPECT_EQ(FormatIsoTime(newYear, -(3 * 3600 + 1800)), "2026-12-31T23:00:00-03:30");
    EXPECT_EQ(FormatIsoTime(1709251199, 0), "2024-02-29T23:59:59+00:00");
    EXPECT_EQ(FormatIsoTime(0, 0), "1970-01-01T00:00:00+00:00");
}

#ifndef _WIN32 // POSIX TZ rules; restored at the end
TEST(UpdateRecord, LocalOffsetAcrossTheYearEnd)
{
    const char* saved = std::getenv("TZ");
    const std::string kept = saved ? saved : "";
    auto offsetIn = [](const char* zone, std::time_t when)
    {
        setenv("TZ", zone, 1);
        tzset();
        return LocalOffsetSeconds(when);
    };
    // 2026-12-31 23:00 UTC is already the new year at +05:45, and 02:30 UTC on
    // 2027-01-01 is still the old one at -03:30.
    EXPECT_EQ(offsetIn("<+0545>-5:45", 1798758000), 5 * 3600 + 45 * 60);
    EXPECT_EQ(offsetIn("<-0330>3:30", 1798770600), -(3 * 3600 + 30 * 60));
    EXPECT_EQ(offsetIn("UTC0", 1798770600), 0);
    if (saved)
        setenv("TZ", kept.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif

TEST(UpdateRecord, LineReadsBackAndOddLinesAreRefused)
{
    CUpdateRecord read;
    CUpdateRecord r = SampleRecord();
    std::string line = RecordLine(r);
    ASSERT_TRUE(line.ends_with("}\n"));
    ASSERT_TRUE(ParseRecordLine(line, read)) << line;
    EXPECT_EQ(read.m_strBox, r.m_strBox);
    EXPECT_EQ(read.m_nNumber, r.m_nNumber);
    EXPECT_EQ(read.m_strImage, r.m_strImage);
    EXPECT_FALSE(read.m_strProduct);
    EXPECT_EQ(read.m_dSeconds, 12.34);

    // A box that never answered: no name, number or duration; the box's bytes are Latin-1.
    CPortRecord port{"ttyUSB1", true, "Caf\xe9", 7};
    CUpdateRecord made = MakeUpdateRecord(r, port, "XFER Failed: 5", false, std::nullopt, 0);
    EXPECT_FALSE(made.m_bSuccess);
    ASSERT_TRUE(ParseRecordLine(RecordLine(made), read));
    EXPECT_EQ(read.m_strBox, "Caf\xc3\xa9");
    EXPECT_FALSE(read.m_dSeconds);
    made = MakeUpdateRecord(r, CPortRecord{"ttyUSB1", false, {}, 0}, "Cannot communicate", false,
                            std::nullopt, 0);
    ASSERT_TRUE(ParseRecordLine(RecordLine(made), read));
    EXPECT_FALSE(read.m_strBox);
    EXPECT_FALSE(read.m_nNumber);
    // A hand-edited duration of any size is written back without overflow.
    made.m_dSeconds = 7e41;
    ASSERT_TRUE(ParseRecordLine(RecordLine(made), read));
    EXPECT_DOUBLE_EQ(*read.m_dSeconds, 7e41);

    line.pop_back();
    EXPECT_FALSE(ParseRecordLine(line.substr(0, line.size() / 2), read));
    EXPECT_FALSE(ParseRecordLine("[]", read));
    std::string wrongType = line;
    wrongType.replace(wrongType.find("\"success\":true"), 14, "\"success\":\"yes\"");
    EXPECT_FALSE(ParseRecordLine(wrongType, read));
}

TEST(UpdateRecord, LogCommandPrintsTableAndCsvAndNamesBrokenLines)
{
    CTempDir dir;
    const std::filesystem::path log = dir / "record.jsonl";
    CUpdateRecord ok = SampleRecord();
    CUpdateRecord failed = SampleRecord();
    failed.m_strPort = "ttyUSB10";
    failed.m_strBox.reset();
    failed.m_nNumber.reset();
    // A control character (from a box or a hand edit) is no escape sequence in the table.
    failed.m_strProduct = "Product\x1b"
                          "A";
    failed.m_strStatus = "Cannot communicate, try to replug the USB";
    failed.m_bSuccess = false;
    failed.m_dSeconds.reset();
    {
        std::ofstream out(log, std::ios::binary);
        out << RecordLine(ok) << "{\"time\":\"2026-12-09T20:0\n" << RecordLine(failed);
    }

    CProcessResult table = RunProcess(CORVALIN_CLI_PATH, {"log", log.string()});
    EXPECT_EQ(table.exitCode, 1);
    EXPECT_EQ(table.err, log.string() + ":2: not an update record, skipped\n");
    EXPECT_EQ(table.out, "TIME                       PORT      BOX  NUMBER    PRODUCT/IMAGE  BLOCKS  "
                         "RESULT                                     SECONDS\n"
                         "2026-12-09T20:01:02+01:00  ttyUSB3   BOX  00001234  fw, \"new\".img  5       "
                         "Update complete                            12.3\n"
                         "2026-12-09T20:01:02+01:00  ttyUSB10  -    -         Product?A      5       "
                         "Cannot communicate, try to replug the USB  -\n");

    // Every field; a text that a spreadsheet would take for a formula stays text.
    CProcessResult csv = RunProcess(CORVALIN_CLI_PATH, {"log", log.string(), "--csv"});
    EXPECT_EQ(csv.exitCode, 1);
    const std::string sha(64, 'a');
#ifdef _WIN32
    // The test's process runner folds CRLF to LF there; a doubled CR would still show.
    const std::string crlf = "\n";
#else
    const std::string crlf = "\r\n";
#endif
    const std::string header =
        "time,start,station,operator,version,port,place,bay,box,number,image,image_path,"
        "product,sha256,hardware,blocks,assignments,settings_sha256,status,success,"
        "stopped,failed_block,seconds";
    EXPECT_EQ(csv.out,
              header + crlf + "2026-12-09T20:01:02+01:00,,,,,ttyUSB3,,,BOX,1234,\"fw, \"\"new\"\".img\",,," +
                  sha + ",00010000,5,,,Update complete,true,false,,12.3" + crlf +
                  "2026-12-09T20:01:02+01:00,,,,,ttyUSB10,,,,,\"fw, \"\"new\"\".img\",,Product\x1b"
                  "A," +
                  sha + ",00010000,5,,,\"Cannot communicate, try to replug the USB\",false,false,," + crlf);
    std::filesystem::remove(log);
    {
        std::ofstream out(log, std::ios::binary);
        out << RecordLine(ok);
    }
    EXPECT_EQ(RunProcess(CORVALIN_CLI_PATH, {"log", log.string()}).exitCode, 0);
    EXPECT_EQ(RunProcess(CORVALIN_CLI_PATH, {"log", (dir / "missing").string()}).exitCode, 1);
    EXPECT_EQ(RunProcess(CORVALIN_CLI_PATH, {"log"}).exitCode, 2);
}

TEST(UpdateRecord, SpreadsheetOutputRunsNoFormulasAndSuitsDecimalCommaLocales)
{
    CUpdateRecord r = SampleRecord();
    r.m_strBox = "+SUM(1,2)";
    r.m_strImage = "=HYPERLINK(\"http://x\")";
    r.m_strOperator = "@ann";
    r.m_strPlace = "-1";
    r.m_strBay = "\tBay";
    r.m_assignments = {"CH0.Volume=25", "Cam=ON"};
    const std::string plain = RecordsAsCsv({r});
    const std::string row = plain.substr(plain.find("\r\n") + 2);
    EXPECT_NE(row.find(",\"'+SUM(1,2)\","), std::string::npos) << row;
    EXPECT_NE(row.find(",\"'=HYPERLINK(\"\"http://x\"\")\","), std::string::npos) << row;
    EXPECT_NE(row.find(",'@ann,"), std::string::npos) << row;
    EXPECT_NE(row.find(",'-1,'\tBay,"), std::string::npos) << row;
    EXPECT_NE(row.find(",CH0.Volume=25 Cam=ON,"), std::string::npos) << row;

    CCsvOptions excel;
    excel.m_bExcel = true;
    excel.m_cSeparator = ';';
    const std::string sheet = RecordsAsCsv({r}, excel);
    ASSERT_TRUE(sheet.starts_with("\xEF\xBB\xBFtime;start;time_zone;station;")) << sheet;
    // A date a spreadsheet reads, its offset apart, a decimal comma, and a comma inside a
    // field that no longer needs quotes.
    EXPECT_NE(sheet.find("\r\n2026-12-09 20:01:02;;+01:00;"), std::string::npos) << sheet;
    EXPECT_TRUE(sheet.ends_with(";12,3\r\n")) << sheet;
    EXPECT_NE(sheet.find(";'+SUM(1,2);"), std::string::npos) << sheet;

    CTempDir dir;
    const std::filesystem::path log = dir / "record.jsonl";
    std::ofstream(log, std::ios::binary) << RecordLine(r);
    CProcessResult cli =
        RunProcess(CORVALIN_CLI_PATH, {"log", log.string(), "--csv", "--excel", "--separator", ";"});
    EXPECT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_TRUE(cli.out.starts_with("\xEF\xBB\xBFtime;")) << cli.out;
    EXPECT_EQ(RunProcess(CORVALIN_CLI_PATH, {"log", log.string(), "--csv", "--separator", "\""}).exitCode, 2);
    EXPECT_EQ(RunProcess(CORVALIN_CLI_PATH, {"log", log.string(), "--excel"}).exitCode, 2);
}

namespace
{

std::vector<std::string> FileLines(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines)
        out << line << "\n";
}

std::vector<int> ProblemLines(const std::vector<std::string>& lines)
{
    std::vector<int> numbers;
    for (const CRecordProblem& problem : VerifyRecordLines(lines))
        numbers.push_back(problem.m_nLine);
    return numbers;
}

} // namespace

TEST(UpdateRecord, TheChainShowsChangedRemovedAndContradictoryLines)
{
    CTempDir dir;
    const std::filesystem::path log = dir / "record.jsonl";
    // Two lines from before the chain existed, then chained ones after them; a line cut
    // short by a crash gets its line end before the next line.
    CUpdateRecord old = SampleRecord();
    WriteLines(log, {RecordLine(old).substr(0, RecordLine(old).size() - 1), RecordLine(old).substr(0, 40)});
    std::filesystem::resize_file(log, std::filesystem::file_size(log) - 1);
    for (int i = 0; i < 4; ++i)
    {
        CUpdateRecord r = SampleRecord();
        r.m_nNumber = 100 + i;
        std::string line;
        std::error_code error;
        ASSERT_TRUE(AppendRecord(log, r, line, error)) << error.message();
    }
    std::vector<std::string> lines = FileLines(log);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(ProblemLines(lines), std::vector<int>({2})); // the cut line, and nothing else

    lines.erase(lines.begin() + 1);
    ASSERT_EQ(ProblemLines(lines), std::vector<int>({2}));
    const std::vector<std::string> whole = lines;

    // A changed result, a changed box number, a success that contradicts its status.
    lines[2].replace(lines[2].find("\"success\":true"), 14, "\"success\":false");
    lines[2].replace(lines[2].find("\"status\":\"Update complete\""), 26, "\"status\":\"XFER Failed: 5\"");
    EXPECT_EQ(ProblemLines(lines), std::vector<int>({2, 4}));
    lines = whole;
    lines[3].replace(lines[3].find("\"number\":102"), 12, "\"number\":103");
    EXPECT_EQ(ProblemLines(lines), std::vector<int>({2, 5}));
    lines = whole;
    lines[4].replace(lines[4].find("\"status\":\"Update complete\""), 26, "\"status\":\"XFER Failed: 5\"");
    EXPECT_EQ(ProblemLines(lines), std::vector<int>({2, 5}));
    // A removed line, and a first line removed.
    lines = whole;
    lines.erase(lines.begin() + 3);
    EXPECT_EQ(ProblemLines(lines), std::vector<int>({2, 4}));
    lines = whole;
    lines.erase(lines.begin(), lines.begin() + 2);
    EXPECT_EQ(ProblemLines(lines), std::vector<int>({1}));

    WriteLines(log, whole);
    CProcessResult verify = RunProcess(CORVALIN_CLI_PATH, {"log", "--verify", log.string()});
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_EQ(verify.err,
              log.string() +
                  ":2: chain broken: the line before is not the one this line was appended after\n");
}

TEST(UpdateRecord, AppendsFromManyWritersAtOnceFormOneChain)
{
    CTempDir dir;
    const std::filesystem::path log = dir / "record.jsonl";
    constexpr int kWriters = 4;
    constexpr int kLines = 50;
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back(
            [&, w]
            {
                for (int i = 0; i < kLines; ++i)
                {
                    CUpdateRecord r = SampleRecord();
                    r.m_nNumber = w * 1000 + i;
                    std::string line;
                    std::error_code error;
                    failures += !AppendRecord(log, r, line, error);
                }
            });
    for (std::thread& writer : writers)
        writer.join();
    EXPECT_EQ(failures.load(), 0);
    const std::vector<std::string> lines = FileLines(log);
    EXPECT_EQ(lines.size(), std::size_t(kWriters * kLines));
    EXPECT_TRUE(VerifyRecordLines(lines).empty());
}
