#include "cli/CliSupport.h"

#include "image/BundleLoader.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace corvalin::cli
{

void CStderrStatus::SetText(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strLast = text;
    if (!text.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
}

std::string CStderrStatus::LastText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLast;
}

void PrintError(const std::string& message)
{
    std::fprintf(stderr, "corvalin-cli: %s\n", message.c_str());
}

namespace
{

// "params FILE [--product NAME]", or just the name for a command without arguments.
void PrintSynopsis(std::FILE* out, const CCommandUsage& usage)
{
    std::fprintf(out, "%.*s", static_cast<int>(usage.m_strName.size()), usage.m_strName.data());
    if (!usage.m_strArguments.empty())
        std::fprintf(out, " %.*s", static_cast<int>(usage.m_strArguments.size()),
                     usage.m_strArguments.data());
    std::fprintf(out, "\n%.*s", static_cast<int>(usage.m_strDescription.size()),
                 usage.m_strDescription.data());
}

} // namespace

void PrintUsage(std::FILE* out)
{
    std::fputs("usage: corvalin-cli COMMAND [ARGS]\n"
               "       corvalin-cli help [COMMAND]\n"
               "       corvalin-cli --version\n"
               "\n"
               "commands:\n",
               out);
    for (const CCommandUsage& usage : kCommandUsages)
    {
        std::fputs("  ", out);
        PrintSynopsis(out, usage);
    }
    std::fputs("\n"
               "Status texts go to stderr, data to stdout. Exit status: 0 success,\n"
               "1 failure, 2 usage error.\n",
               out);
}

void PrintCommandUsage(std::FILE* out, const CCommandUsage& usage)
{
    std::fputs("usage: corvalin-cli ", out);
    PrintSynopsis(out, usage);
}

int UsageError(const std::string& message)
{
    PrintError(message);
    PrintUsage(stderr);
    return kExitUsage;
}

std::optional<std::string> TakeOption(Args& args, const std::string& name, bool& missing)
{
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end())
        return std::nullopt;
    if (it + 1 == args.end())
    {
        missing = true;
        args.erase(it);
        return std::nullopt;
    }
    std::string value = *(it + 1);
    args.erase(it, it + 2);
    return value;
}

bool TakeOutputOptions(Args& args, const std::string& command, COutputOptions& options, int& exitCode)
{
    bool missing = false;
    std::optional<std::string> out = TakeOption(args, "-o", missing);
    options.m_product = TakeOption(args, "--product", missing);
    if (missing)
        exitCode = UsageError("-o and --product need a value");
    else if (!out)
        exitCode = UsageError(command + " needs -o OUT");
    else
    {
        options.m_strOut = *out;
        return true;
    }
    return false;
}

bool TakeFlag(Args& args, const std::string& name)
{
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

bool CheckReadableFile(const std::string& file)
{
    const std::filesystem::path path = platform::PathFromUtf8(file);
    std::error_code error;
    const std::filesystem::file_status found = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(found))
    {
        PrintError(file + ": is a directory");
        return false;
    }
    // Opened as the loaders open it: a FIFO or a device is refused rather than waited on.
    errno = 0;
    if (std::FILE* probe = platform::OpenFileForRead(path))
    {
        std::fclose(probe);
        return true;
    }
    if (error)
        PrintError(file + ": " + error.message());
    else if (std::filesystem::exists(found) && !std::filesystem::is_regular_file(found))
        PrintError(file + ": not a regular file");
    else
        PrintError(file + ": " + std::strerror(errno != 0 ? errno : EACCES));
    return false;
}

bool LoadSourceImage(IImageHolder& holder, const std::string& file, const std::optional<std::string>& product)
{
    if (!CheckReadableFile(file))
        return false;
    const std::filesystem::path path = platform::PathFromUtf8(file);
    if (!product)
        return holder.LoadImageFile(path) == 1;

    // The member stored under exactly that name, else the listed product of that name
    // with letter case ignored, loaded the way choosing it in the window's list does.
    CProductSelectOutcome outcome = SelectBundleProductByName(holder, path, *product, 0);
    switch (outcome.m_nResult)
    {
    case EProductLoad::Loaded:
        return true;
    case EProductLoad::Refused:
        return false;
    case EProductLoad::NotFound:
        PrintError(file + ": no member named '" + *product + "'");
        return false;
    case EProductLoad::Ambiguous:
        PrintError(file + ": '" + *product + "' names more than one product; give the name as stored");
        return false;
    case EProductLoad::Unreadable:
        PrintError(file + ": member '" + *product + "' is damaged or too large");
        return false;
    case EProductLoad::CannotOpenBundle:
        PrintError(file + ": not a ZIP archive");
        return false;
    }
    return false;
}

void PrintDisplayList(const ImageHeader& header)
{
    CParameterTable table;
    BuildParameterTable(table);
    for (const std::string& line : BuildDisplayList(table, header).m_lines)
        std::printf("%s\n", line.c_str());
}

} // namespace corvalin::cli
