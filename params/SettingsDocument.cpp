#include "params/SettingsDocument.h"

#include "params/DisplayList.h"
#include "params/ParameterEdit.h"
#include "platform/FileIo.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

namespace corvalin
{

namespace
{

using Json = nlohmann::ordered_json;

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

// "[json.exception.parse_error.101] parse error at line 2, ..." without its tag.
std::string WithoutTag(const std::string& message)
{
    const std::size_t tagEnd = message.find("] ");
    return tagEnd == std::string::npos ? message : message.substr(tagEnd + 2);
}

// Walks the text once for what the parsed value would hide or the parser would throw:
// a syntax error with its place, and a key given twice in one object, of which the
// parsed value keeps only one. It stops at the first of either.
class CDocumentChecker : public nlohmann::json_sax<Json>
{
  public:
    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Open(false); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& name) override
    {
        CFrame& frame = m_frames.back();
        if (!frame.m_keys.insert(name).second)
        {
            const std::string where = Path(m_frames.size());
            m_strError = "the key \"" + name + "\" is given twice " +
                         (where.empty() ? std::string("at the top of the document") : "in " + where);
            return false;
        }
        frame.m_strKey = name;
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override
    {
        m_strError = "not valid JSON: " + WithoutTag(error.what());
        return false;
    }

    const std::string& Error() const { return m_strError; }

  private:
    struct CFrame
    {
        bool m_bArray = false;
        std::size_t m_nCount = 0; // the elements of an array begun so far
        std::string m_strKey;     // the member of an object being read
        std::set<std::string> m_keys;
    };

    bool Value()
    {
        if (!m_frames.empty())
            ++m_frames.back().m_nCount;
        return true;
    }
    bool Open(bool array)
    {
        Value();
        m_frames.push_back({array, 0, {}, {}});
        return true;
    }
    bool Close()
    {
        m_frames.pop_back();
        return true;
    }

    // "parameters[3]": where the value opened by the first `depth` frames lies.
    std::string Path(std::size_t depth) const
    {
        std::string path;
        for (std::size_t i = 1; i < depth; ++i)
        {
            const CFrame& outer = m_frames[i - 1];
            if (outer.m_bArray)
                path += "[" + std::to_string(outer.m_nCount - 1) + "]";
            else
                path += (path.empty() ? "" : ".") + outer.m_strKey;
        }
        return path;
    }

    std::vector<CFrame> m_frames;
    std::string m_strError;
};

// Reads an optional whole number field of an entry within [minimum, maximum]; false
// when it is there but is no such number.
bool ReadWholeNumber(const Json& item, const char* name, int64_t minimum, int64_t maximum,
                     std::optional<int64_t>& number)
{
    number.reset();
    if (!item.contains(name))
        return true;
    const Json& field = item[name];
    if (field.is_number_unsigned())
    {
        const uint64_t value = field.get<uint64_t>();
        if (value > uint64_t(maximum))
            return false;
        number = int64_t(value);
    }
    else if (field.is_number_integer())
        number = field.get<int64_t>();
    if (!number || *number < minimum || *number > maximum)
    {
        number.reset();
        return false;
    }
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

std::string HexWord(uint32_t word)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(word));
    return text;
}

std::string SettingsSourceText(const CSettingsPlan& plan)
{
    std::string text = "hardware code " + (plan.m_hardwareCode ? HexWord(*plan.m_hardwareCode) : "unknown");
    std::string source;
    if (!plan.m_strProduct.empty())
        source = "product " + plan.m_strProduct;
    if (!plan.m_strVersion.empty())
        source += (source.empty() ? "" : ", ") + std::string("Corvalin ") + plan.m_strVersion;
    return source.empty() ? text : text + " (" + source + ")";
}

std::string BuildSettingsDocument(const CParameterTable& table, const ImageHeader& header,
                                  const CSettingsSource& source)
{
    Json parameters = Json::array();
    for (const CParameterEntry& entry : CollectParameters(table, header))
    {
        Json item;
        item["slot"] = entry.m_nSlot;
        item["identifier"] = HexWord(entry.m_nId);
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
    document["hardware"] = HexWord(GetHardwareCode(header));
    if (source.m_strProduct.empty())
        document["product"] = nullptr;
    else
        document["product"] = source.m_strProduct;
    document["corvalinVersion"] = source.m_strVersion;
    document["parameters"] = std::move(parameters);
    // A member name that is not UTF-8 would make the library throw; its bytes are replaced.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string ParameterName(uint32_t id, const std::string& label)
{
    return label.empty() ? HexWord(id) : HexWord(id) + " " + label;
}

bool PlanSettings(const CParameterTable& table, const ImageHeader& header, const std::string& text,
                  CSettingsPlan& plan, std::string& error)
{
    CDocumentChecker checker;
    if (!Json::sax_parse(text, &checker))
    {
        error = checker.Error();
        return false;
    }
    // The text is known to be valid JSON by now; the non-throwing form is used all the same.
    Json document = Json::parse(text, nullptr, false);
    if (!document.is_object() || !document.contains("parameters") || !document["parameters"].is_array())
    {
        error = "not a settings document: no \"parameters\" list";
        return false;
    }

    CSettingsPlan result;
    if (document.contains("hardware") && !document["hardware"].is_null())
    {
        uint32_t code = 0;
        if (!document["hardware"].is_string() || !ReadHexId(document["hardware"].get<std::string>(), code))
        {
            error = "\"hardware\" must be 8 hex digits";
            return false;
        }
        result.m_hardwareCode = code;
        result.m_bOtherHardware = code != GetHardwareCode(header);
    }
    // Only for telling the user where the settings came from; anything else is ignored.
    if (document.contains("product") && document["product"].is_string())
        result.m_strProduct = document["product"].get<std::string>();
    if (document.contains("corvalinVersion") && document["corvalinVersion"].is_string())
        result.m_strVersion = document["corvalinVersion"].get<std::string>();

    const Json& items = document["parameters"];
    std::vector<uint32_t> ids;
    std::vector<uint32_t> values;
    std::vector<std::optional<int64_t>> slots;
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
        std::optional<int64_t> value;
        if (!ReadWholeNumber(item, "value", INT32_MIN, int64_t(0xFFFFFFFFu), value) || !value)
        {
            error = where + ": \"value\" must be a whole number from -2147483648 to 4294967295";
            return false;
        }
        std::optional<int64_t> slot;
        if (!ReadWholeNumber(item, "slot", 0, kParamSlots - 1, slot))
        {
            error = where + ": \"slot\" must be a whole number from 0 to 49";
            return false;
        }
        ids.push_back(id);
        values.push_back(uint32_t(*value));
        slots.push_back(slot);
    }

    // The same parameter twice: the identifier with the same slot, or without a slot
    // that would tell a second occurrence from a copy.
    std::map<uint32_t, std::vector<std::size_t>> entriesOf;
    for (std::size_t i = 0; i < ids.size(); ++i)
    {
        for (std::size_t earlier : entriesOf[ids[i]])
        {
            if (slots[earlier] && slots[i] && *slots[earlier] != *slots[i])
                continue;
            error = "parameters[" + std::to_string(earlier) + "] and parameters[" + std::to_string(i) +
                    "]: both set " + ParameterName(ids[i], LabelOf(table, ids[i]));
            if (!slots[earlier] || !slots[i])
                error += " (an image that carries it more than once needs a \"slot\" in each)";
            return false;
        }
        entriesOf[ids[i]].push_back(i);
    }

    const std::vector<CParameterEntry> parameters = CollectParameters(table, header);
    const std::vector<int> partners = MatchByIdentifier(ids, Ids(parameters));
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
                       const ImageHeader& header, const CSettingsSource& source)
{
    const std::string document = BuildSettingsDocument(table, header, source);
    return platform::StoreFileSafely(path, document.data(), document.size());
}

} // namespace corvalin
