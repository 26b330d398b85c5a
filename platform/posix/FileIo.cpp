#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvalin::platform
{

std::FILE* OpenFileForRead(const std::filesystem::path& path)
{
    // Opened without blocking and checked before any read: a directory would fail
    // later with a less clear outcome, and a FIFO or device would block or never end.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info{};
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

std::FILE* OpenFileForWrite(const std::filesystem::path& path)
{
    return std::fopen(path.c_str(), "wb");
}

bool FlushFileToDisk(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
    return fsync(fileno(file)) == 0;
}

} // namespace corvalin::platform
