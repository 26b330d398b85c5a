#include "cli/CliSupport.h"

#include "image/BundleLoader.h"
#include "image/DisplayText.h"
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

// The usage a usage error prints; set once by main() before the command runs.
const CCommandUsage* g_pRunningCommand = nullptr;

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

void SetRunningCommand(std::string_view name)
{
    g_pRunningCommand = FindCommandUsage(name);
}

int UsageError(const std::string& message)
{
    PrintError(message);
    if (g_pRunningCommand == nullptr)
    {
        PrintUsage(stderr);
        return kExitUsage;
    }
    PrintCommandUsage(stderr, *g_pRunningCommand);
    std::fputs("'corvalin-cli help' lists every command.\n", stderr);
    return kExitUsage;
}

int RefuseUnknownOption(const Args& args)
{
    for (const std::string& arg : args)
    {
        if (arg.size() > 1 && arg[0] == '-')
            return UsageError("unknown option '" + arg + "'");
    }
    return kExitOk;
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

namespace
{

std::string SystemText(int error)
{
    return std::strerror(error);
}

// Why the folder that would hold `path` is not there to hold it: the nearest folder
// above it that exists is a file, or a folder on the way is missing. Empty when the
// folder is there.
std::string FolderProblem(const std::filesystem::path& path)
{
    std::filesystem::path folder = path.parent_path();
    if (folder.empty() || folder == path)
        return "";
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::status(folder, error)))
        return "";
    // The first folder up the path that exists says whether one is missing or a file
    // stands where a folder should.
    for (std::filesystem::path above = folder; !above.empty(); above = above.parent_path())
    {
        const std::filesystem::file_status found = std::filesystem::status(above, error);
        if (std::filesystem::exists(found))
        {
            if (!std::filesystem::is_directory(found))
                return SystemText(ENOTDIR) + " (" + PathText(above) + " is not a folder)";
            break;
        }
        if (above == above.parent_path())
            break;
    }
    return SystemText(ENOENT) + " (the folder " + PathText(folder) + " does not exist)";
}

// Makes the attempt the use would make and undoes what it created; true when it worked.
bool TryUse(const std::filesystem::path& path, EFileUse use, bool existed)
{
    std::error_code error;
    switch (use)
    {
    case EFileUse::Read:
        if (std::FILE* probe = platform::OpenFileForRead(path))
        {
            std::fclose(probe);
            return true;
        }
        return false;
    case EFileUse::Store:
    {
        std::filesystem::path created;
        std::FILE* probe = platform::CreateFileBeside(path, created);
        if (probe == nullptr)
            return false;
        std::fclose(probe);
        std::filesystem::remove(created, error);
        return true;
    }
    case EFileUse::Append:
        if (!platform::CanAppendTo(path))
            return false;
        if (!existed)
            std::filesystem::remove(path, error);
        return true;
    }
    return false;
}

} // namespace

std::string DescribeFileProblem(const std::string& file, EFileUse use)
{
    const std::filesystem::path path = platform::PathFromUtf8(file);
    std::error_code error;
    const std::filesystem::file_status found = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(found))
        return "is a directory";
    // A folder on the way that may not be searched, a loop of links...: the system says.
    if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
        return error.message();
    const bool exists = std::filesystem::exists(found);
    if (exists && !std::filesystem::is_regular_file(found))
        return "not a regular file";
    if (!exists)
    {
        std::string problem = FolderProblem(path);
        if (!problem.empty())
            return problem;
        if (use == EFileUse::Read)
            return SystemText(ENOENT);
    }
    // What remains shows only in an attempt: permissions, a read-only file system...
    // Win32 calls leave errno alone, and refused access is then the likely cause.
    errno = 0;
    if (TryUse(path, use, exists))
        return "";
    return SystemText(errno != 0 ? errno : EACCES);
}

bool CheckReadableFile(const std::string& file)
{
    const std::string problem = DescribeFileProblem(file, EFileUse::Read);
    if (problem.empty())
        return true;
    PrintError(file + ": " + problem);
    return false;
}

bool StoreOutputImage(const CImageHolder& holder, const std::string& out)
{
    if (holder.StoreImageFile(platform::PathFromUtf8(out)))
        return true;
    const std::string problem = DescribeFileProblem(out, EFileUse::Store);
    if (!problem.empty())
        PrintError(out + ": " + problem);
    return false;
}

bool LoadSourceImage(IImageHolder& holder, const std::string& file, const std::optional<std::string>& product,
                     std::string* productName)
{
    if (!CheckReadableFile(file))
        return false;
    const std::filesystem::path path = platform::PathFromUtf8(file);
    if (productName != nullptr)
        productName->clear();
    if (!product)
        return holder.LoadImageFile(path) == 1;

    // The member stored under exactly that name, else the listed product of that name
    // with letter case ignored, loaded the way choosing it in the window's list does.
    CProductSelectOutcome outcome = SelectBundleProductByName(holder, path, *product, 0);
    switch (outcome.m_nResult)
    {
    case EProductLoad::Loaded:
        if (productName != nullptr)
            *productName = outcome.m_strProductName;
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
