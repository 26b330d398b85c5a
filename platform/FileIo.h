#pragma once
// Opening files by a std::filesystem path with the platform's own calls, so that
// non-ASCII paths work on Windows as well, and pushing written data to the disk.

#include <cstdio>
#include <filesystem>

namespace corvalin::platform
{

// Opens an existing regular file for reading in binary mode; null when that fails
// or when the path names a directory.
std::FILE* OpenFileForRead(const std::filesystem::path& path);

// Creates or truncates a file for writing in binary mode; null on failure.
std::FILE* OpenFileForWrite(const std::filesystem::path& path);

// Flushes the stream and asks the system to put its data on the disk.
bool FlushFileToDisk(std::FILE* file);

} // namespace corvalin::platform
