#include "platform/FileIo.h"

#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>

namespace corvalin::platform
{

std::FILE* OpenFileForRead(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    // No other program may open the file while the image is read, so it cannot change
    // or be replaced half-way through.
    return _wfsopen(path.c_str(), L"rb", _SH_DENYRW);
}

std::FILE* OpenFileForWrite(const std::filesystem::path& path)
{
    return _wfsopen(path.c_str(), L"wb", _SH_DENYRW);
}

bool FlushFileToDisk(std::FILE* file)
{
    if (std::fflush(file) != 0)
        return false;
    return _commit(_fileno(file)) == 0;
}

} // namespace corvalin::platform
