#include "device/PortList.h"

#include <cstdio>

namespace corvalin
{

std::string PortEntryText(const CPortEntry& entry)
{
    if (!entry.m_record.m_bRecord)
        return entry.m_record.m_strPort;
    char number[32];
    std::snprintf(number, sizeof number, "%8.8d", int(entry.m_record.m_nNumber));
    return entry.m_record.m_strPort + " | " + entry.m_record.m_strName + " | " + number;
}

void CPortList::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}

void CPortList::Assign(std::vector<CPortEntry> entries)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries = std::move(entries);
}

void CPortList::Add(CPortEntry entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(std::move(entry));
}

int CPortList::Size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_entries.size());
}

std::optional<CPortEntry> CPortList::At(int index) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || std::size_t(index) >= m_entries.size())
        return std::nullopt;
    return m_entries[std::size_t(index)];
}

} // namespace corvalin
