#include "params/SettingsDocument.h"

#include "params/DisplayList.h"
#include "params/ParameterEdit.h"
#include "platform/FileIo.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <map>
#include <utility>

namespace corvalin
{

namespace
{

using Json = nlohmann::ordered_json;

std::string HexId(uint32_t id)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(id));
    return text;
}

// Reads exactly 8 hex digits; the document's identifiers are written that way.
bool ReadHexId(const std::string& text, uint32_t& id)
{
    if (text.size() != 8)
        return false;
    uint32_t result = 0;
    for (char c : text)
    {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return false;
        result = result << 4 | uint32_t(digit);
    }
    id = result;
    return true;
}

// For each entry of `from`, the index of its partner in `to` (the same identifier, the
// same occurrence), or -1.
std::vector<int> MatchByIdentifier(const std::vector<uint32_t>& from, const std::vector<uint32_t>& to)
{
    std::map<std::pair<uint32_t, int>, int> positions;
    std::map<uint32_t, int> seen;
    for (std::size_t i = 0; i < to.size(); ++i)
        positions[{to[i], seen[to[i]]++}] = int(i);
    seen.clear();
    std::vector<int> partners;
    for (uint32_t id : from)
    {
        auto found = positions.find({id, seen[id]++});
        partners.push_back(found == positions.end() ? -1 : found->second);
    }
    return partners;
}

std::vector<uint32_t> Ids(const std::vector<CParameterEntry>& entries)
{
    std::vector<uint32_t> ids;
    for (const CParameterEntry& entry : entries)
        ids.push_back(entry.m_nId);
    return ids;
}

std::string LabelOf(const CParameterTable& table, uint32_t id)
{
    for (std::size_t row = 0; row < table.m_ids.size(); ++row)
    {
        if (table.m_ids[row] == id)
            return TrimLabel(table.m_labels[row]);
    }
    return "";
}

} // namespace

std::vector<CParameterEntry> CollectParameters(const CParameterTable& table, const ImageHeader& header)
{
    std::vector<CParameterEntry> entries;
    const int walked = CountWalkedSlots(header);
    for (int slot = 0; slot < walked; ++slot)
    {
        const uint32_t id = GetParamId(header, slot);
        for (std::size_t row = 0; row < table.m_ids.size(); ++row)
        {
            if (table.m_ids[row] == id)
                entries.push_back({slot, id, GetParamValue(header, slot), TrimLabel(table.m_labels[row])});
        }
    }
    return entries;
}

std::string BuildSettingsDocument(const CParameterTable& table, const ImageHeader& header)
{
    Json parameters = Json::array();
    for (const CParameterEntry& entry : CollectParameters(table, header))
    {
        Json item;
        item["slot"] = entry.m_nSlot;
        item["identifier"] = HexId(entry.m_nId);
        item["label"] = entry.m_strLabel;
        item["type"] = ParameterType(entry.m_nId);
        item["value"] = entry.m_nValue;
        item["text"] = FormatParameterValue(entry.m_nId, entry.m_nValue);
        if (IsIrButtonParameter(entry.m_nId))
            item["line"] = nullptr;
        else
            item["line"] = FormatParameterLine(PadLabel(entry.m_strLabel), entry.m_nId, entry.m_nValue);
        parameters.push_back(std::move(item));
    }
    Json document;
    document["parameters"] = std::move(parameters);
    return document.dump(2) + "\n";
}

std::string ParameterName(uint32_t id, const std::string& label)
{
    return label.empty() ? HexId(id) : HexId(id) + " " + label;
}

bool PlanSettings(const CParameterTable& table, const ImageHeader& header, const std::string& text,
                  CSettingsPlan& plan, std::string& error)
{
    // The library reports by exception; they end here and become an error text.
    Json document;
    try
    {
        document = Json::parse(text);
    }
    catch (const Json::exception& e)
    {
        error = "not valid JSON: " + std::string(e.what());
        // "[json.exception.parse_error.101] parse error at line 2, ..." without its tag.
        std::size_t tagEnd = error.find("] ");
        if (tagEnd != std::string::npos)
            error = "not valid JSON: " + error.substr(tagEnd + 2);
        return false;
    }
    if (!document.is_object() || !document.contains("parameters") || !document["parameters"].is_array())
    {
        error = "not a settings document: no \"parameters\" list";
        return false;
    }

    const Json& items = document["parameters"];
    std::vector<uint32_t> ids;
    std::vector<uint32_t> values;
    for (std::size_t i = 0; i < items.size(); ++i)
    {
        const Json& item = items[i];
        std::string where = "parameters[" + std::to_string(i) + "]";
        uint32_t id = 0;
        if (!item.is_object() || !item.contains("identifier") || !item["identifier"].is_string() ||
            !ReadHexId(item["identifier"].get<std::string>(), id))
        {
            error = where + ": \"identifier\" must be 8 hex digits";
            return false;
        }
        where += " (" + ParameterName(id, LabelOf(table, id)) + ")";
        const Json* value = item.contains("value") ? &item["value"] : nullptr;
        bool inRange = false;
        uint32_t word = 0;
        if (value != nullptr && value->is_number_unsigned())
        {
            const uint64_t number = value->get<uint64_t>();
            inRange = number <= 0xFFFFFFFFu;
            word = uint32_t(number);
        }
        else if (value != nullptr && value->is_number_integer())
        {
            const int64_t number = value->get<int64_t>();
            inRange = number >= INT32_MIN && number <= int64_t(0xFFFFFFFFu);
            word = uint32_t(number);
        }
        if (!inRange)
        {
            error = where + ": \"value\" must be a whole number from -2147483648 to 4294967295";
            return false;
        }
        ids.push_back(id);
        values.push_back(word);
    }

    const std::vector<CParameterEntry> parameters = CollectParameters(table, header);
    const std::vector<int> partners = MatchByIdentifier(ids, Ids(parameters));
    CSettingsPlan result;
    for (std::size_t i = 0; i < ids.size(); ++i)
    {
        if (partners[i] < 0)
        {
            result.m_notInImage.push_back("parameters[" + std::to_string(i) + "] " +
                                          ParameterName(ids[i], LabelOf(table, ids[i])));
            continue;
        }
        const CParameterEntry& target = parameters[std::size_t(partners[i])];
        std::string rule;
        if (values[i] != target.m_nValue && !IsEditableValue(target.m_nId, values[i], rule))
        {
            error = "parameters[" + std::to_string(i) + "] (" +
                    ParameterName(target.m_nId, target.m_strLabel) + "): " + rule;
            return false;
        }
        result.m_changes.push_back({target.m_nSlot, values[i]});
    }
    const std::vector<int> mentioned = MatchByIdentifier(Ids(parameters), ids);
    for (std::size_t i = 0; i < parameters.size(); ++i)
    {
        if (mentioned[i] < 0)
            result.m_notInDocument.push_back("slot " + std::to_string(parameters[i].m_nSlot) + " " +
                                             ParameterName(parameters[i].m_nId, parameters[i].m_strLabel));
    }
    plan = std::move(result);
    return true;
}

std::vector<CParameterDifference> DiffParameters(const CParameterTable& table, const ImageHeader& a,
                                                 const ImageHeader& b)
{
    const std::vector<CParameterEntry> listA = CollectParameters(table, a);
    const std::vector<CParameterEntry> listB = CollectParameters(table, b);
    const std::vector<int> partnersOfA = MatchByIdentifier(Ids(listA), Ids(listB));
    const std::vector<int> partnersOfB = MatchByIdentifier(Ids(listB), Ids(listA));
    std::vector<CParameterDifference> differences;
    for (std::size_t i = 0; i < listA.size(); ++i)
    {
        CParameterDifference difference{listA[i].m_nId, listA[i].m_strLabel, true,
                                        false,          listA[i].m_nValue,   0};
        if (partnersOfA[i] >= 0)
        {
            difference.m_bInB = true;
            difference.m_nValueB = listB[std::size_t(partnersOfA[i])].m_nValue;
            if (difference.m_nValueA == difference.m_nValueB)
                continue;
        }
        differences.push_back(difference);
    }
    for (std::size_t i = 0; i < listB.size(); ++i)
    {
        if (partnersOfB[i] < 0)
            differences.push_back({listB[i].m_nId, listB[i].m_strLabel, false, true, 0, listB[i].m_nValue});
    }
    return differences;
}

ESettingsFileRead ReadSettingsFile(const std::filesystem::path& path, std::string& text)
{
    text.clear();
    std::FILE* in = platform::OpenFileForRead(path);
    if (in == nullptr)
        return ESettingsFileRead::CannotRead;
    char buffer[4096];
    std::size_t count = 0;
    while (text.size() <= kMaxSettingsBytes && (count = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        text.append(buffer, count);
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed)
        return ESettingsFileRead::CannotRead;
    return text.size() > kMaxSettingsBytes ? ESettingsFileRead::TooLarge : ESettingsFileRead::Ok;
}

bool StoreSettingsFile(const std::filesystem::path& path, const CParameterTable& table,
                       const ImageHeader& header)
{
    const std::string document = BuildSettingsDocument(table, header);
    return platform::StoreFileSafely(path, document.data(), document.size());
}

} // namespace corvalin
