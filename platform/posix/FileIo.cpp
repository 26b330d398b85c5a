#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace corvalin::platform
{

namespace
{

constexpr int kCreateAttempts = 100;

// Opens an existing target for writing, without creating or truncating it, to learn
// whether the user may write it and what it is. False when it exists but cannot be
// written or is no regular file; `exists` tells whether there is a target at all.
bool ProbeTarget(const std::filesystem::path& target, struct stat& info, bool& exists)
{
    exists = false;
    int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    exists = true;
    bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    return regular;
}

// Creates a file of a fresh name in `folder`; the umask and the folder's default
// permissions apply to it as to any new file. -1 on failure.
int CreateExclusive(const std::filesystem::path& folder, std::filesystem::path& created)
{
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt)
    {
        std::filesystem::path candidate = folder / NameBesideTarget();
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            created = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

} // namespace

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(text);
}

std::FILE* OpenFileForRead(const std::filesystem::path& path)
{
    // Opened without blocking and checked before any read: a directory would fail
    // later with a less clear outcome, and a FIFO or device would block or never end.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, 0) != 0)
    {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

std::FILE* CreateFileBeside(const std::filesystem::path& target, std::filesystem::path& created)
{
    struct stat info
    {
    };
    bool exists = false;
    if (!ProbeTarget(target, info, exists))
        return nullptr;
    std::filesystem::path folder = target.parent_path();
    std::filesystem::path name;
    int fd = CreateExclusive(folder.empty() ? std::filesystem::path(".") : folder, name);
    if (fd < 0)
        return nullptr;

    bool ready = true;
    if (exists)
    {
        // The owner first, as a change of owner clears the set-id bits. Only root may
        // give a file away and a user may only choose a group of their own; where
        // neither is allowed, the file stays the user's, in the user's group.
        bool owned = fchown(fd, info.st_uid, info.st_gid) == 0 || fchown(fd, uid_t(-1), info.st_gid) == 0;
        (void)owned;
        ready = fchmod(fd, info.st_mode & 07777) == 0;
    }
    std::FILE* file = ready ? fdopen(fd, "wb") : nullptr;
    if (!file)
    {
        close(fd);
        unlink(name.c_str());
        return nullptr;
    }
    created = name;
    return file;
}

bool FlushFileToDisk(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
    return fsync(fileno(file)) == 0;
}

bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (rename(source.c_str(), target.c_str()) != 0)
        return false;
    // The rename itself reaches the disk with the folder's entry; a failure here
    // loses no data that is not already safe, so it is not reported.
    std::filesystem::path folder = target.parent_path();
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
    {
        fsync(fd);
        close(fd);
    }
    return true;
}

} // namespace corvalin::platform

namespace corvalin::platform
{

namespace
{

// Opens a regular file for appending; a FIFO or device is refused, without blocking
// on it. -1 on failure.
int OpenForAppend(const std::filesystem::path& path)
{
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, O_APPEND) != 0)
    {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool AppendLine(const std::filesystem::path& path, const std::string& line)
{
    int fd = OpenForAppend(path);
    if (fd < 0)
        return false;
    ssize_t written = -1;
    do
        written = write(fd, line.data(), line.size());
    while (written < 0 && errno == EINTR);
    bool closed = close(fd) == 0;
    return written == ssize_t(line.size()) && closed;
}

bool CanAppendTo(const std::filesystem::path& path)
{
    int fd = OpenForAppend(path);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

namespace
{

// Reads `size` bytes at `offset`; false on a read error or a short read.
bool ReadAt(int fd, std::string& buffer, off_t offset, std::size_t size)
{
    buffer.resize(size);
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t got = pread(fd, buffer.data() + done, size - done, offset + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += std::size_t(got);
    }
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size())
    {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += std::size_t(written);
    }
    return true;
}

// The last line of the open file (without its line end) and whether the file ends
// with a line end.
bool ReadLastLine(int fd, std::string& line, bool& ended)
{
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0)
        return false;
    return FindLastLine(
        int64_t(info.st_size),
        [fd](int64_t offset, std::size_t size, std::string& buffer)
        { return ReadAt(fd, buffer, off_t(offset), size); },
        line, ended);
}

} // namespace

bool AppendAfterLastLine(const std::filesystem::path& path,
                         const std::function<std::string(const std::string& lastLine)>& makeLine,
                         std::error_code& error)
{
    auto fail = [&error](int fd)
    {
        error = std::error_code(errno ? errno : EIO, std::generic_category());
        if (fd >= 0)
            close(fd);
        return false;
    };
    errno = 0;
    const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(fd);
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0)
        return fail(fd);
    if (!S_ISREG(info.st_mode))
    {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return fail(fd);
    }
    int locked = -1;
    while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR)
    {
    }
    std::string last;
    bool ended = true;
    if (locked != 0 || !ReadLastLine(fd, last, ended))
        return fail(fd);
    const std::string line = (ended ? "" : "\n") + makeLine(last);
    if (!WriteAll(fd, line))
        return fail(fd);
    // Closing lets the lock go.
    if (close(fd) != 0)
        return fail(-1);
    error.clear();
    return true;
}

std::optional<CFileIdentity> IdentifyFile(const std::filesystem::path& path)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return CFileIdentity{uint64_t(info.st_dev), uint64_t(info.st_ino)};
}

std::filesystem::path ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

} // namespace corvalin::platform
