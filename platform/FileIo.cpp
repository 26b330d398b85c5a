#include "platform/FileIo.h"

#include <chrono>
#include <exception>
#include <random>

namespace corvalin::platform
{

namespace
{

// The system's random source, or the clock where it fails: the names need not be
// secret, since the file is created exclusively and another name is tried when taken.
unsigned Seed()
{
    try
    {
        return std::random_device{}();
    }
    catch (const std::exception&)
    {
        return unsigned(std::chrono::steady_clock::now().time_since_epoch().count());
    }
}

} // namespace

std::string NameBesideTarget()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 generator{Seed()};
    std::uniform_int_distribution<int> pick(0, int(sizeof kChars) - 2);
    std::string name = ".corvalin-";
    for (int i = 0; i < 6; ++i)
        name += kChars[pick(generator)];
    return name;
}

bool StoreFileSafely(const std::filesystem::path& path, const void* data, std::size_t size)
{
    std::error_code error;
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(target, error))
        target = std::filesystem::weakly_canonical(target, error);

    std::filesystem::path temporary;
    std::FILE* file = CreateFileBeside(target, temporary);
    if (!file)
        return false;
    bool stored = std::fwrite(data, 1, size, file) == size && FlushFileToDisk(file);
    stored = (std::fclose(file) == 0) && stored;
    stored = stored && ReplaceFileWith(temporary, target);
    if (!stored)
        std::filesystem::remove(temporary, error);
    return stored;
}

bool FindLastLine(int64_t size, const std::function<bool(int64_t, std::size_t, std::string&)>& readAt,
                  std::string& line, bool& ended)
{
    line.clear();
    ended = true;
    int64_t end = size;
    if (end == 0)
        return true;
    std::string piece;
    if (!readAt(end - 1, 1, piece))
        return false;
    ended = piece[0] == '\n';
    if (ended)
        --end;
    constexpr int64_t kPiece = 4096;
    while (end > 0)
    {
        const int64_t start = end > kPiece ? end - kPiece : 0;
        if (!readAt(start, std::size_t(end - start), piece))
            return false;
        const std::size_t newline = piece.rfind('\n');
        line.insert(0, newline == std::string::npos ? piece : piece.substr(newline + 1));
        if (newline != std::string::npos)
            break;
        end = start;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace corvalin::platform
