#include "platform/FileIo.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cstdint>

namespace corvalin::platform
{

namespace
{

constexpr int kCreateAttempts = 100;

// Opens an existing target for writing, without creating or changing it, to learn
// whether the user may write it (a read-only file or a folder is refused). False when
// it exists but cannot be written or is no disk file; `exists` tells whether there is
// a target at all.
bool ProbeTarget(const std::filesystem::path& target, bool& exists)
{
    exists = false;
    HANDLE handle =
        CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    exists = true;
    bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    return disk;
}

} // namespace

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(Widen(text));
}

std::FILE* OpenFileForRead(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    // No other program may open the file while the image is read, so it cannot change
    // or be replaced half-way through.
    return _wfsopen(path.c_str(), L"rb", _SH_DENYRW);
}

std::FILE* CreateFileBeside(const std::filesystem::path& target, std::filesystem::path& created)
{
    bool exists = false;
    if (!ProbeTarget(target, exists))
        return nullptr;
    std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt)
    {
        std::filesystem::path candidate =
            (folder.empty() ? std::filesystem::path(".") : folder) / NameBesideTarget();
        // CREATE_NEW fails on any existing name, a link included; no other program
        // may open the file while it is written.
        HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
        {
            DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            return nullptr;
        }
        int fd = _open_osfhandle(intptr_t(handle), _O_BINARY | _O_WRONLY);
        if (fd < 0)
        {
            CloseHandle(handle);
            DeleteFileW(candidate.c_str());
            return nullptr;
        }
        std::FILE* file = _fdopen(fd, "wb");
        if (!file)
        {
            _close(fd);
            DeleteFileW(candidate.c_str());
            return nullptr;
        }
        created = candidate;
        return file;
    }
    return nullptr;
}

bool FlushFileToDisk(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
    return _commit(_fileno(file)) == 0;
}

bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    // ReplaceFile keeps the target's attributes, access rights and creation time. It
    // gets a backup name: without one, a failure to move the new file in may leave the
    // old file deleted; with one, the old file is at worst left under the backup name,
    // from where it is put back.
    const std::filesystem::path backup = target.parent_path() / NameBesideTarget();
    if (ReplaceFileW(target.c_str(), source.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
    {
        DeleteFileW(backup.c_str());
        return true;
    }
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES)
        MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    return false;
}

namespace
{

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file
// in one piece. Only disk files are taken.
HANDLE OpenForAppend(const std::filesystem::path& path)
{
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return handle;
    if (GetFileType(handle) != FILE_TYPE_DISK)
    {
        CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

} // namespace

bool AppendLine(const std::filesystem::path& path, const std::string& line)
{
    if (line.size() > 0xFFFFFFFFu)
        return false;
    HANDLE handle = OpenForAppend(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(handle, line.data(), DWORD(line.size()), &written, nullptr);
    BOOL closed = CloseHandle(handle);
    return ok && closed && written == DWORD(line.size());
}

bool CanAppendTo(const std::filesystem::path& path)
{
    HANDLE handle = OpenForAppend(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

namespace
{

// The byte locked to order appends: far past any data a record reaches, so the lock
// never keeps a reader from the file's bytes.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

bool ReadAt(HANDLE handle, std::string& buffer, int64_t offset, DWORD size)
{
    buffer.resize(size);
    OVERLAPPED at{};
    at.Offset = DWORD(uint64_t(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(uint64_t(offset) >> 32);
    DWORD got = 0;
    return ReadFile(handle, buffer.data(), size, &got, &at) && got == size;
}

// The last line of the open file (without its line end) and whether the file ends
// with a line end.
bool ReadLastLine(HANDLE handle, std::string& line, bool& ended)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size))
        return false;
    return FindLastLine(
        size.QuadPart,
        [handle](int64_t offset, std::size_t count, std::string& buffer)
        { return ReadAt(handle, buffer, offset, DWORD(count)); },
        line, ended);
}

} // namespace

bool AppendAfterLastLine(const std::filesystem::path& path,
                         const std::function<std::string(const std::string& lastLine)>& makeLine,
                         std::error_code& error)
{
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    auto fail = [&error, &handle]
    {
        error = std::error_code(int(GetLastError()), std::system_category());
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        return false;
    };
    if (handle == INVALID_HANDLE_VALUE)
        return fail();
    if (GetFileType(handle) != FILE_TYPE_DISK)
    {
        SetLastError(ERROR_INVALID_FUNCTION);
        return fail();
    }
    OVERLAPPED lockAt{};
    lockAt.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt))
        return fail();
    std::string last;
    bool ended = true;
    bool ok = ReadLastLine(handle, last, ended);
    std::string line;
    if (ok)
        line = (ended ? "" : "\n") + makeLine(last);
    DWORD written = 0;
    LARGE_INTEGER zero{};
    ok = ok && line.size() <= 0xFFFFFFFFu && SetFilePointerEx(handle, zero, nullptr, FILE_END) &&
         WriteFile(handle, line.data(), DWORD(line.size()), &written, nullptr) &&
         written == DWORD(line.size());
    const DWORD lastError = GetLastError();
    UnlockFileEx(handle, 0, 1, 0, &lockAt);
    if (!ok)
    {
        SetLastError(lastError ? lastError : ERROR_WRITE_FAULT);
        return fail();
    }
    if (!CloseHandle(handle))
    {
        handle = INVALID_HANDLE_VALUE;
        return fail();
    }
    error.clear();
    return true;
}

std::optional<CFileIdentity> IdentifyFile(const std::filesystem::path& path)
{
    HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(handle, &info);
    CloseHandle(handle);
    if (!ok)
        return std::nullopt;
    return CFileIdentity{info.dwVolumeSerialNumber,
                         (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::filesystem::path ProgramFolder()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    path.resize(length);
    return std::filesystem::path(path).parent_path();
}

} // namespace corvalin::platform
