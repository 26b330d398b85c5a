#include "image/BundleArchive.h"

#include "platform/FileIo.h"

#include <minizip/unzip.h>
#ifdef _WIN32
#include <minizip/iowin32.h>
#endif

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

namespace corvalin
{

namespace
{

// Bit 0 of a member's general purpose flags: its data is encrypted.
constexpr uLong kFlagEncrypted = 1u;

// unzReadCurrentFile takes an unsigned count, so large members are read in pieces.
constexpr uint64_t kReadChunk = 1u << 20;

// Stored names are at most 65535 bytes long (a 16-bit length field).
constexpr std::size_t kStoredNameCapacity = 65536;

// ZIP64: a 32-bit size field of FFFFFFFF hex says the size is in the ZIP64 extra
// field (ID 0001), which holds the uncompressed then the compressed size, each only
// when its 32-bit field overflowed.
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint64_t kZip64Marker = 0xFFFFFFFFu;
constexpr std::size_t kExtraCapacity = 65535;

uint64_t ReadLe(const uint8_t* p, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

// Some minizip builds (1.1 on 64-bit Linux among them) compare the size fields with
// an unsigned long of all ones and so never read the ZIP64 sizes; this reads them.
// A build that did read them leaves no marker behind, and nothing changes here.
void ApplyZip64Sizes(unz_file_info64& info, const uint8_t* extra, std::size_t length)
{
    std::size_t at = 0;
    while (at + 4 <= length)
    {
        uint16_t id = uint16_t(ReadLe(extra + at, 2));
        std::size_t size = std::size_t(ReadLe(extra + at + 2, 2));
        const uint8_t* data = extra + at + 4;
        if (at + 4 + size > length)
            return;
        if (id == kZip64ExtraId)
        {
            std::size_t used = 0;
            if (info.uncompressed_size == kZip64Marker && used + 8 <= size)
            {
                info.uncompressed_size = ReadLe(data + used, 8);
                used += 8;
            }
            if (info.compressed_size == kZip64Marker && used + 8 <= size)
                info.compressed_size = ReadLe(data + used, 8);
            return;
        }
        at += 4 + size;
    }
}

// An archive without members is only its 22-byte end record (and a comment). Placed
// at offset 0, minizip cannot tell the record from a missing one, so such a file is
// recognised here: the record's signature first, no entries, an empty directory at
// offset 0, and the comment reaching exactly to the end of the file.
constexpr uint32_t kEndRecordSignature = 0x06054b50u;
constexpr std::size_t kEndRecordSize = 22;

bool IsEmptyArchive(const std::filesystem::path& path)
{
    struct FileCloser
    {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFileForRead(path));
    if (!file)
        return false;
    uint8_t record[kEndRecordSize];
    if (std::fread(record, 1, kEndRecordSize, file.get()) != kEndRecordSize ||
        ReadLe(record, 4) != kEndRecordSignature)
        return false;
    // Disk numbers, entry counts, directory size and offset: all zero.
    for (std::size_t i = 4; i < 20; ++i)
        if (record[i] != 0)
            return false;
    std::size_t commentLength = std::size_t(ReadLe(record + 20, 2));
    std::vector<uint8_t> comment(commentLength + 1);
    return std::fread(comment.data(), 1, comment.size(), file.get()) == commentLength;
}

// Opens the archive by its path as the system spells it: on Windows through minizip's
// wide file functions, since its plain ones take the path in the ANSI code page.
unzFile OpenZip(const std::filesystem::path& path)
{
#ifdef _WIN32
    zlib_filefunc64_def functions;
    fill_win32_filefunc64W(&functions);
    return unzOpen2_64(path.c_str(), &functions);
#else
    return unzOpen64(path.c_str());
#endif
}

unzFile Handle(void* h)
{
    return static_cast<unzFile>(h);
}

// Folds ASCII capitals to small letters; every other byte stays as it is.
unsigned char FoldCase(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

} // namespace

bool EntryNamesEqual(const std::string& a, const std::string& b, bool ignoreCase)
{
    if (!ignoreCase)
        return a == b;
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool EntryNameBefore(const std::string& a, const std::string& b)
{
    auto folded = [](char x, char y) { return FoldCase(x) < FoldCase(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded))
        return false;
    return a < b;
}

std::string CleanEntryName(const std::string& stored)
{
    static const char* const kParentParts[] = {"\\..\\", "\\../", "/../", "/..\\"};
    std::string name = stored;
    for (;;)
    {
        if (name.size() >= 2 && name[1] == ':')
        {
            name.erase(0, 2);
            continue;
        }
        if (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        {
            name.erase(0, 1);
            continue;
        }
        bool removed = false;
        for (const char* part : kParentParts)
        {
            std::size_t at = name.find(part);
            if (at != std::string::npos)
            {
                name.erase(0, at + 4);
                removed = true;
                break;
            }
        }
        if (!removed)
            return name;
    }
}

BundleArchive::~BundleArchive()
{
    Close();
}

EArchiveResult BundleArchive::Open(const std::filesystem::path& path)
{
    Close();
    unzFile handle = OpenZip(path);
    if (!handle)
    {
        m_bEmpty = IsEmptyArchive(path);
        return m_bEmpty ? EArchiveResult::Ok : EArchiveResult::CannotOpen;
    }
    m_hZip = handle;
    EArchiveResult result = ReadDirectory();
    if (result != EArchiveResult::Ok)
        Close();
    return result;
}

// Reads every central directory record once, so that entries are reached by index
// later without walking the directory again.
EArchiveResult BundleArchive::ReadDirectory()
{
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(Handle(m_hZip), &global) != UNZ_OK)
        return EArchiveResult::CannotOpen;
    if (global.number_entry == 0)
        return EArchiveResult::Ok;

    std::vector<char> name(kStoredNameCapacity + 1);
    std::vector<uint8_t> extra(kExtraCapacity);
    int status = unzGoToFirstFile(Handle(m_hZip));
    while (status == UNZ_OK)
    {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(Handle(m_hZip), &info, name.data(), uLong(name.size()), extra.data(),
                                    uLong(extra.size()), nullptr, 0) != UNZ_OK)
            return EArchiveResult::CannotOpen;
        ApplyZip64Sizes(info, extra.data(), std::min<std::size_t>(info.size_file_extra, extra.size()));
        unz64_file_pos pos{};
        if (unzGetFilePos64(Handle(m_hZip), &pos) != UNZ_OK)
            return EArchiveResult::CannotOpen;
        if (m_entries.size() >= std::size_t(INT_MAX))
            return EArchiveResult::CannotOpen;

        CStoredEntry entry;
        entry.m_strStoredName.assign(name.data(),
                                     std::min<std::size_t>(info.size_filename, kStoredNameCapacity));
        entry.m_nSize = info.uncompressed_size;
        entry.m_nCrc = uint32_t(info.crc);
        entry.m_nDirectoryPos = pos.pos_in_zip_directory;
        entry.m_nFileNumber = pos.num_of_file;
        entry.m_bEncrypted = (info.flag & kFlagEncrypted) != 0;
        m_entries.push_back(std::move(entry));
        status = unzGoToNextFile(Handle(m_hZip));
    }
    return status == UNZ_END_OF_LIST_OF_FILE ? EArchiveResult::Ok : EArchiveResult::CannotOpen;
}

int BundleArchive::EntryCount() const
{
    return IsOpen() ? int(m_entries.size()) : 0;
}

EArchiveResult BundleArchive::GetEntry(int index, CArchiveEntry& entry) const
{
    if (!IsOpen())
        return EArchiveResult::NotOpen;
    if (index < 0 || std::size_t(index) >= m_entries.size())
        return EArchiveResult::BadIndex;
    const CStoredEntry& stored = m_entries[std::size_t(index)];
    entry.m_strName = CleanEntryName(stored.m_strStoredName);
    if (entry.m_strName.size() > kMaxEntryNameLength)
        entry.m_strName.resize(kMaxEntryNameLength);
    entry.m_strStoredName = stored.m_strStoredName;
    entry.m_nSize = stored.m_nSize;
    return EArchiveResult::Ok;
}

EArchiveResult BundleArchive::FindEntry(const std::string& name, bool ignoreCase, int& index,
                                        CArchiveEntry& entry) const
{
    if (!IsOpen())
        return EArchiveResult::NotOpen;
    for (std::size_t i = 0; i < m_entries.size(); ++i)
    {
        if (EntryNamesEqual(m_entries[i].m_strStoredName, name, ignoreCase))
        {
            index = int(i);
            entry.m_strName = m_entries[i].m_strStoredName;
            entry.m_strStoredName = m_entries[i].m_strStoredName;
            entry.m_nSize = m_entries[i].m_nSize;
            return EArchiveResult::Ok;
        }
    }
    return EArchiveResult::NotFound;
}

EArchiveResult BundleArchive::ExtractToMemory(int index, uint8_t* buffer, uint64_t size)
{
    if (!IsOpen())
        return EArchiveResult::NotOpen;
    if (index < 0 || std::size_t(index) >= m_entries.size())
        return EArchiveResult::BadIndex;
    const CStoredEntry& stored = m_entries[std::size_t(index)];
    if (size != stored.m_nSize || (size > 0 && !buffer))
        return EArchiveResult::SizeMismatch;
    if (stored.m_bEncrypted)
        return EArchiveResult::Encrypted;

    unz64_file_pos pos{stored.m_nDirectoryPos, stored.m_nFileNumber};
    if (unzGoToFilePos64(Handle(m_hZip), &pos) != UNZ_OK || unzOpenCurrentFile(Handle(m_hZip)) != UNZ_OK)
        return EArchiveResult::ReadError;

    EArchiveResult result = EArchiveResult::Ok;
    uLong crc = crc32(0, nullptr, 0);
    uint64_t done = 0;
    while (done < size)
    {
        unsigned chunk = unsigned(std::min<uint64_t>(size - done, kReadChunk));
        int got = unzReadCurrentFile(Handle(m_hZip), buffer + done, chunk);
        if (got <= 0)
        {
            // 0 is an end of data before the declared size; below 0 a read or inflate error.
            result = EArchiveResult::ReadError;
            break;
        }
        crc = crc32(crc, buffer + done, unsigned(got));
        done += unsigned(got);
    }

    // The CRC is only compared when the member is closed, so its result must be kept.
    int closed = unzCloseCurrentFile(Handle(m_hZip));
    if (result != EArchiveResult::Ok)
        return result;
    if (closed == UNZ_CRCERROR)
        return EArchiveResult::CrcError;
    if (closed != UNZ_OK)
        return EArchiveResult::ReadError;
    // minizip skips its own CRC test when it misread a ZIP64 size, so test here too.
    if (uint32_t(crc) != stored.m_nCrc)
        return EArchiveResult::CrcError;
    return EArchiveResult::Ok;
}

EArchiveResult BundleArchive::Close()
{
    m_entries.clear();
    m_bEmpty = false;
    if (!m_hZip)
        return EArchiveResult::Ok;
    int closed = unzClose(Handle(m_hZip));
    m_hZip = nullptr;
    return closed == UNZ_OK ? EArchiveResult::Ok : EArchiveResult::ReadError;
}

} // namespace corvalin
