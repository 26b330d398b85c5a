// corvalin-cli log LOG [--csv [--excel] [--separator C]] [--verify]

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
    bool missing = false;
    const std::optional<std::string> separator = TakeOption(args, "--separator", missing);
    if (missing)
        return UsageError("--separator needs a character");
    CCsvOptions csvOptions;
    csvOptions.m_bExcel = TakeFlag(args, "--excel");
    const bool csv = TakeFlag(args, "--csv");
    const bool verify = TakeFlag(args, "--verify");
    if (const int usage = RefuseUnknownOption(args))
        return usage;
    if (args.size() != 1)
        return UsageError("log takes one LOG");
    if ((csvOptions.m_bExcel || separator) && !csv)
        return UsageError("--excel and --separator go with --csv");
    if (separator)
    {
        // A quote, a line end or a letter cannot part fields a spreadsheet reads back.
        const std::string allowed = ",;\t|";
        std::string choice = *separator == "\\t" || *separator == "tab" ? "\t" : *separator;
        if (choice.size() != 1 || allowed.find(choice[0]) == std::string::npos)
            return UsageError("--separator takes one of , ; | or tab");
        csvOptions.m_cSeparator = choice[0];
    }
    if (verify && csv)
        return UsageError("--verify prints no records; give it without --csv");
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
    std::vector<std::string> lines;
    bool skipped = false;
    std::string line;
    int lineNumber = 0;
    auto take = [&]
    {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (verify || line.find_first_not_of(" \t") == std::string::npos)
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

    if (verify)
    {
        // Texts from the file are shown as printable text: a line may hold anything.
        const std::vector<CRecordProblem> problems = VerifyRecordLines(lines);
        for (const CRecordProblem& problem : problems)
            std::fprintf(stderr, "%s:%d: %s\n", args[0].c_str(), problem.m_nLine,
                         PrintableText(problem.m_strText).c_str());
        std::printf("%s: %s lines, %s problems\n", args[0].c_str(), std::to_string(lines.size()).c_str(),
                    std::to_string(problems.size()).c_str());
        return problems.empty() ? kExitOk : kExitFailure;
    }

    std::string text;
    if (csv)
    {
#ifdef _WIN32
        // The CSV's own CRLF line ends must not gain a second CR.
        static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
#endif
        text = RecordsAsCsv(records, csvOptions);
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
