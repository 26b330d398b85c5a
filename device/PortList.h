#pragma once
// The list of ports a box was found on: one entry per port, each with the port's name
// and path, the bridge it belongs to, and the box's record once it has answered.
// Discovery fills it on one thread while others read it, hence the lock.

#include "device/BootLoaderProtocol.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvalin
{

// What the list knows of one entry's port and box: the port's name ("ttyUSB3", "COM7",
// or the path given to UsePortPath) and, when the box answered QUERY, its record's name
// as the list shows it ("Empty" for a box never configured) and its number.
struct CPortRecord
{
    std::string m_strPort;
    bool m_bRecord = false;
    std::string m_strName;
    int32_t m_nNumber = 0;
};

struct CPortEntry
{
    std::string m_strDevice; // the bridge's driver device, "\Device\Silabser3"; empty for a named path
    std::string m_strPath;   // what opening the port opens: "/dev/ttyUSB3", "\\.\COM7"
    CPortRecord m_record;
};

// "COM7 | BOX | 00001234": the port, the box's name and its number in eight digits; a
// port named by path alone shows as that path.
std::string PortEntryText(const CPortEntry& entry);

class CPortList
{
  public:
    void Clear();
    void Assign(std::vector<CPortEntry> entries);
    void Add(CPortEntry entry);
    int Size() const;
    std::optional<CPortEntry> At(int index) const;

  private:
    mutable std::mutex m_mutex;
    std::vector<CPortEntry> m_entries;
};

} // namespace corvalin
