#pragma once
// Opening files by a std::filesystem path with the platform's own calls, so that
// non-ASCII paths work on Windows as well, pushing written data to the disk, and
// replacing a file in one step.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace corvalin::platform
{

// The path spelled by UTF-8 text (a command-line argument, a text box). On Windows a
// path made straight from narrow text would read it in the ANSI code page, which
// cannot spell most names; on POSIX the bytes are the path as they are.
std::filesystem::path PathFromUtf8(const std::string& text);

// The folder the running program's file lies in; empty when the system does not say.
std::filesystem::path ProgramFolder();

// Opens an existing regular file for reading in binary mode; null when that fails
// or when the path names a directory.
std::FILE* OpenFileForRead(const std::filesystem::path& path);

// Creates a new, empty file for writing in binary mode in the folder of `target`,
// under a short name of its own (set in `created`), to be put in the target's place
// by ReplaceFileWith once it is complete. It is created exclusively and without
// following a link, so nothing planted in the folder is written through. An existing
// target must be a regular file the user may write, as storing into it directly
// would need. The stored file keeps an existing target's permissions: on POSIX the
// new file takes its mode, and its owner and group where the system allows; on
// Windows the replacement keeps its attributes and access rights. Null on failure,
// with nothing created.
std::FILE* CreateFileBeside(const std::filesystem::path& target, std::filesystem::path& created);

// A fresh short name for such a file: ".corvalin-" and six random letters or digits,
// short so that a target whose name is near the system's limit has room beside it.
std::string NameBesideTarget();

// Flushes the stream and asks the system to put its data on the disk.
bool FlushFileToDisk(std::FILE* file);

// Puts the file `source` in the place of `target` in one step: a reader sees either
// the old file or the new one, never a part. `source` must lie in the target's folder.
bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target);

// Stores `size` bytes as the file `path` that way: written to a new file beside it,
// put on the disk, and put in its place only when every byte is there, so a failure
// leaves an old file whole and no new file behind. A link named as the target is
// followed to the file it names, which is the one replaced.
bool StoreFileSafely(const std::filesystem::path& path, const void* data, std::size_t size);

// Appends `line` to the regular file at `path` (created if missing) with one write at
// its end: O_APPEND on POSIX, FILE_APPEND_DATA on Windows. Programs appending to the
// same file at once never interleave their lines, and a crash leaves no part of one.
// False when the file cannot be opened or the write is not whole.
bool AppendLine(const std::filesystem::path& path, const std::string& line);

// Whether AppendLine can write to `path`: opens it the same way (creating an empty
// file if it is missing) without writing.
bool CanAppendTo(const std::filesystem::path& path);

// Appends a line that depends on the file's last line, such as one that carries a hash
// of it. Under an exclusive advisory lock (flock on POSIX; on Windows LockFileEx on a
// byte far past any data, so readers are never blocked) the last line is read (without
// its line end; "" for an empty file), `makeLine` makes the new line from it and that
// is written at the end in one write; programs appending this way at once form one
// sequence. A file whose last line was cut short first gets the line end it lacks, so
// the new line starts a line of its own. The regular file at `path` is created if
// missing. On failure `error` says why (the system's error code).
bool AppendAfterLastLine(const std::filesystem::path& path,
                         const std::function<std::string(const std::string& lastLine)>& makeLine,
                         std::error_code& error);

// The last line of a file of `size` bytes (without its line end) and whether the file
// ends with a line end, read back from the end a piece at a time through `readAt`
// (offset, byte count, buffer), which fails on a read error or a short read.
bool FindLastLine(int64_t size, const std::function<bool(int64_t, std::size_t, std::string&)>& readAt,
                  std::string& line, bool& ended);

// A file's identity on its disk: another file put in its place has another one.
struct CFileIdentity
{
    uint64_t m_nVolume = 0;
    uint64_t m_nFile = 0;
    bool operator==(const CFileIdentity& other) const = default;
};
// The identity of the file at `path`, or nothing when there is none.
std::optional<CFileIdentity> IdentifyFile(const std::filesystem::path& path);

} // namespace corvalin::platform
