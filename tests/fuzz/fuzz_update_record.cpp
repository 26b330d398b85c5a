// Any text as a line of the update record: refused, or read into a record whose own
// line reads back the same, and which the table and the CSV can show.

#include "device/UpdateRecord.h"

#include <cstdlib>
#include <string>

using namespace corvalin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CUpdateRecord record;
    if (!ParseRecordLine(std::string(reinterpret_cast<const char*>(data), size), record))
        return 0;
    const std::string line = RecordLine(record);
    CUpdateRecord again;
    if (!ParseRecordLine(line, again) || RecordLine(again) != line)
        std::abort();
    if (RecordsAsTable({record}).empty() || RecordsAsCsv({record}).empty())
        std::abort();
    return 0;
}
