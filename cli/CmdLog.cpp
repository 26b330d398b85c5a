// corvalin-cli log LOG [--csv]

#include "cli/Commands.h"
#include "cli/Latin1.h"
#include "device/UpdateRecord.h"
#include "platform/FileIo.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace corvalin::cli
{

int RunLog(Args args)
{
    const bool csv = TakeFlag(args, "--csv");
    if (args.size() != 1)
        return UsageError("log takes one LOG");
    if (!CheckReadableFile(args[0]))
        return kExitFailure;
    std::FILE* file = platform::OpenFileForRead(platform::PathFromUtf8(args[0]));
    if (!file)
    {
        PrintError("cannot read " + args[0]);
        return kExitFailure;
    }

    // A line that is no record (cut short by a full disk, edited by hand) is named
    // and skipped, so the rest of the record can still be read.
    std::vector<CUpdateRecord> records;
    bool skipped = false;
    std::string line;
    int lineNumber = 0;
    auto take = [&]
    {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            return;
        CUpdateRecord record;
        if (ParseRecordLine(line, record))
            records.push_back(std::move(record));
        else
        {
            std::fprintf(stderr, "%s:%d: not an update record, skipped\n", args[0].c_str(), lineNumber);
            skipped = true;
        }
    };
    for (int c; (c = std::fgetc(file)) != EOF;)
    {
        if (c == '\n')
        {
            take();
            line.clear();
        }
        else
            line.push_back(char(c));
    }
    if (!line.empty())
        take();
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError)
    {
        PrintError("cannot read " + args[0]);
        return kExitFailure;
    }

    std::string text;
    if (csv)
    {
#ifdef _WIN32
        // The CSV's own CRLF line ends must not gain a second CR.
        static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
#endif
        text = RecordsAsCsv(records);
    }
    else
    {
        // Every text of the table came from a file, and its names from boxes.
        for (CUpdateRecord& record : records)
        {
            for (std::string* field :
                 {&record.m_strTime, &record.m_strPort, &record.m_strImage, &record.m_strStatus})
                *field = PrintableText(*field);
            for (std::optional<std::string>* field : {&record.m_strBox, &record.m_strProduct})
                if (*field)
                    **field = PrintableText(**field);
        }
        text = RecordsAsTable(records);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return skipped ? kExitFailure : kExitOk;
}

} // namespace corvalin::cli
