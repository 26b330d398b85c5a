#include "cli/RecordWriter.h"

#include "cli/CliSupport.h"

#include <cstdio>
#include <filesystem>

namespace corvalin::cli
{

CRecordWriter::CRecordWriter(std::string file) : m_strFile(std::move(file)) {}

namespace
{

// Why the record cannot be written: the cause found by trying again, else the
// system's reason for the failure at hand.
std::string FailureCause(const std::string& file, const std::error_code& error)
{
    const std::string cause = DescribeFileProblem(file, EFileUse::Append);
    return cause.empty() ? error.message() : cause;
}

} // namespace

bool CRecordWriter::Check()
{
    const std::filesystem::path path = platform::PathFromUtf8(m_strFile);
    std::error_code error;
    if (std::filesystem::is_directory(path, error) || !platform::CanAppendTo(path))
    {
        PrintError("cannot write the update record " + m_strFile + ": " + FailureCause(m_strFile, error));
        return false;
    }
    m_identity = platform::IdentifyFile(path);
    return true;
}

bool CRecordWriter::AppendNow(const CUpdateRecord& record)
{
    std::string line;
    std::error_code error;
    if (AppendRecord(platform::PathFromUtf8(m_strFile), record, line, error))
        return true;
    PrintError("could not add to the update record " + m_strFile + ": " + FailureCause(m_strFile, error) +
               "; the line is kept and tried again:");
    std::fputs(line.c_str(), stderr);
    return false;
}

bool CRecordWriter::Retry()
{
    std::vector<CUpdateRecord> waiting;
    waiting.swap(m_waiting);
    for (std::size_t i = 0; i < waiting.size(); ++i)
    {
        if (!AppendNow(waiting[i]))
        {
            m_waiting.assign(waiting.begin() + std::ptrdiff_t(i), waiting.end());
            return false;
        }
    }
    m_identity = platform::IdentifyFile(platform::PathFromUtf8(m_strFile));
    return true;
}

bool CRecordWriter::Append(const CUpdateRecord& record)
{
    m_waiting.push_back(record);
    return Retry();
}

void CRecordWriter::Watch()
{
    const std::optional<platform::CFileIdentity> now =
        platform::IdentifyFile(platform::PathFromUtf8(m_strFile));
    if (now == m_identity)
        return;
    if (!now)
        PrintError("the update record " + m_strFile + " has gone; the next line starts a new file");
    else if (m_identity)
        PrintError("the update record " + m_strFile +
                   " was replaced by another file; lines go on in that one");
    m_identity = now;
}

} // namespace corvalin::cli
