#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvalin::platform
{

std::FILE* OpenFileForRead(const std::filesystem::path& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;
    // fopen succeeds on a directory; reading it would fail later with a less clear outcome.
    struct stat info{};
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode))
    {
        std::fclose(file);
        return nullptr;
    }
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
