#pragma once
// Settings that travel from one image to another: the parameters of an image as a
// JSON document, applying such a document to another image, and the differences
// between the parameters of two images.
//
// A parameter here is a slot that the list walk visits and whose identifier is in the
// parameter table, IR button parameters included. Parameters are matched by
// identifier, never by slot: the k-th slot of an identifier in one list goes with the
// k-th slot of the same identifier in the other (an identifier normally appears once).
//
// The document:
//   {"parameters": [{"slot": 0, "identifier": "10030001", "label": "Rear view camera",
//                    "type": 1, "value": 1, "text": "ON", "line": "Rear view camera ... :   ON"},
//                   ...]}
// "identifier" is 8 hex digits, "value" the stored 32-bit word as an unsigned number,
// "text" the value text of the list line and "line" the whole list line (null for IR
// button parameters, which the list does not show). Reading takes only "identifier"
// and "value"; the other fields are there for the reader.

#include "image/ImageHeader.h"
#include "params/ParameterTable.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace corvalin
{

struct CParameterEntry
{
    int m_nSlot = 0;
    uint32_t m_nId = 0;
    uint32_t m_nValue = 0;
    std::string m_strLabel; // without the blanks that pad it
};

// The parameters of the list in slot order.
std::vector<CParameterEntry> CollectParameters(const CParameterTable& table, const ImageHeader& header);

// The document of the header's parameters, indented by two blanks, ended by a newline.
std::string BuildSettingsDocument(const CParameterTable& table, const ImageHeader& header);

// "10030001 Rear view camera": how reports name a parameter.
std::string ParameterName(uint32_t id, const std::string& label);

// What applying a document to an image would do.
struct CSettingsPlan
{
    struct CChange
    {
        int m_nSlot = 0;
        uint32_t m_nValue = 0;
    };
    std::vector<CChange> m_changes; // one per matched parameter, changed or not
    // "parameters[5] 30170001 TV System 0-NTSC 1-PAL": document entries the image does not carry.
    std::vector<std::string> m_notInImage;
    // "slot 3 10030004 Front view camera": image parameters the document does not mention.
    std::vector<std::string> m_notInDocument;
};

// Reads `text` as a settings document and matches it against the header. Every entry is
// checked before anything is planned: broken JSON, a missing or malformed identifier, a
// value that is not a whole number from -2147483648 to 4294967295 (a negative one is
// taken as its 32-bit two's complement), or a value the editing rules cannot give the
// matched parameter (IsEditableValue; an unchanged value is always accepted) make it
// return false with an error text that names the entry. The header is not changed.
bool PlanSettings(const CParameterTable& table, const ImageHeader& header, const std::string& text,
                  CSettingsPlan& plan, std::string& error);

// A settings document is small; a larger file is no such document.
constexpr std::size_t kMaxSettingsBytes = 1 << 20;

enum class ESettingsFileRead
{
    Ok,
    CannotRead, // missing, a folder, or a read error
    TooLarge,   // more than kMaxSettingsBytes
};

// Reads the settings document file `path` into `text`.
ESettingsFileRead ReadSettingsFile(const std::filesystem::path& path, std::string& text);

// Stores the document of the header's parameters as the file `path`, replacing an old
// file only once the new one is whole; false when that failed.
bool StoreSettingsFile(const std::filesystem::path& path, const CParameterTable& table,
                       const ImageHeader& header);

// One parameter whose value differs between two images, or that only one carries.
struct CParameterDifference
{
    uint32_t m_nId = 0;
    std::string m_strLabel;
    bool m_bInA = false;
    bool m_bInB = false;
    uint32_t m_nValueA = 0;
    uint32_t m_nValueB = 0;
};

// The differences in the order of A's list, then the parameters only B carries in B's order.
std::vector<CParameterDifference> DiffParameters(const CParameterTable& table, const ImageHeader& a,
                                                 const ImageHeader& b);

} // namespace corvalin
