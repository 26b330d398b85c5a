#pragma once
// BundleArchive: a read-only view of one ZIP archive (an update bundle), over zlib's
// minizip. Stored and deflated members, data descriptors and ZIP64 archives open.
// Entries are numbered from 0 in the order of the central directory.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace corvalin
{

// Results of the archive operations: 0 for success, anything else is a failure.
enum class EArchiveResult : int
{
    Ok = 0,
    NotOpen,      // no archive is open
    CannotOpen,   // the file cannot be opened or is not a ZIP archive
    BadIndex,     // no entry with that index
    NotFound,     // no entry with that name
    SizeMismatch, // the buffer is not exactly the entry's uncompressed size
    Encrypted,    // the member needs a password
    ReadError,    // the member's data cannot be read or inflated, or ends early
    CrcError,     // the member's data does not match its CRC
};

// The longest entry name GetEntry hands out.
constexpr std::size_t kMaxEntryNameLength = 259;

struct CArchiveEntry
{
    std::string m_strName;       // cleaned up for display (GetEntry) or as stored (FindEntry)
    std::string m_strStoredName; // as stored, byte for byte and whole
    uint64_t m_nSize = 0;        // uncompressed size as the archive declares it
};

// Removes, repeatedly until none applies, a drive prefix ("C:"), a leading "\" or
// "/", and everything up to and including a "\..\", "\../", "/../" or "/..\", so
// that a name never points outside where it would be unpacked.
std::string CleanEntryName(const std::string& stored);

// Compares names byte for byte, or with ASCII letter case ignored when asked.
bool EntryNamesEqual(const std::string& a, const std::string& b, bool ignoreCase);

// The order of a sorted drop-down list: ASCII letter case ignored, so "alpha" comes
// before "Zeta"; names that differ only in case keep a fixed order by their bytes.
bool EntryNameBefore(const std::string& a, const std::string& b);

class BundleArchive
{
  public:
    BundleArchive() = default;
    ~BundleArchive();
    BundleArchive(const BundleArchive&) = delete;
    BundleArchive& operator=(const BundleArchive&) = delete;

    // Opens the archive at `path` (no password) and reads its central directory. An
    // archive without members opens too, with no entries.
    EArchiveResult Open(const std::filesystem::path& path);
    bool IsOpen() const { return m_hZip != nullptr || m_bEmpty; }

    // Number of entries; 0 when no archive is open.
    int EntryCount() const;

    // The cleaned-up name (at most kMaxEntryNameLength characters) and the
    // uncompressed size of entry `index`.
    EArchiveResult GetEntry(int index, CArchiveEntry& entry) const;

    // Finds the first entry whose stored name (without clean-up) equals `name`,
    // letter case ignored (ASCII) when asked. `entry` gets the stored name.
    EArchiveResult FindEntry(const std::string& name, bool ignoreCase, int& index,
                             CArchiveEntry& entry) const;

    // Inflates entry `index` completely into `buffer`, which must hold exactly the
    // entry's uncompressed size. The member's CRC is checked; on any failure the
    // buffer's content is undefined.
    EArchiveResult ExtractToMemory(int index, uint8_t* buffer, uint64_t size);

    // Releases the archive; closing a closed archive is harmless.
    EArchiveResult Close();

  private:
    // One central directory entry as read at Open: where it is, and what it says.
    struct CStoredEntry
    {
        std::string m_strStoredName;
        uint64_t m_nSize = 0;
        uint32_t m_nCrc = 0;
        uint64_t m_nDirectoryPos = 0; // position of its central directory record
        uint64_t m_nFileNumber = 0;   // its number in the central directory
        bool m_bEncrypted = false;
    };

    EArchiveResult ReadDirectory();

    void* m_hZip = nullptr; // minizip's unzFile
    bool m_bEmpty = false;  // an archive without members, open without minizip
    std::vector<CStoredEntry> m_entries;
};

} // namespace corvalin
