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
//   {"hardware": "00010000", "product": "main_enc.bin", "corvalinVersion": "1.0",
//    "parameters": [{"slot": 0, "identifier": "10030001", "label": "Rear view camera",
//                    "type": 1, "value": 1, "text": "ON", "line": "Rear view camera ... :   ON"},
//                   ...]}
// "hardware" is the source image's hardware code as 8 hex digits, "product" the
// bundle member it came from (null for a bare image file) and "corvalinVersion" the
// version of the program that wrote it; documents written before these three existed
// lack them and still read. "identifier" is 8 hex digits, "value" the stored 32-bit
// word as an unsigned number, "text" the value text of the list line and "line" the
// whole list line (null for IR button parameters, which the list does not show).
// Reading takes "hardware", "product" and "corvalinVersion" to say where the
// settings came from, and of each entry "identifier", "value" and "slot" (to tell a
// repeated entry from a second occurrence); the other fields are there for the reader.

#include "image/ImageHeader.h"
#include "params/ParameterTable.h"

#include <cstdint>
#include <filesystem>
#include <optional>
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

// Where the parameters of a document came from, besides the header's hardware code.
struct CSettingsSource
{
    std::string m_strProduct; // the bundle member's name; empty for a bare image file
    std::string m_strVersion; // the version of the program that writes the document
};

// The document of the header's parameters, indented by two blanks, ended by a newline.
std::string BuildSettingsDocument(const CParameterTable& table, const ImageHeader& header,
                                  const CSettingsSource& source);

// "00010000": how documents and reports write an identifier or a hardware code.
std::string HexWord(uint32_t word);

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

    // Where the document says it came from; empty where it does not say.
    std::optional<uint32_t> m_hardwareCode;
    std::string m_strProduct;
    std::string m_strVersion;
    // Set when the document's hardware code is not the image's.
    bool m_bOtherHardware = false;
};

// "hardware code 00020000 (product main_enc.bin, Corvalin 1.0)": where a document that
// names its hardware says it came from, as reports about other hardware put it.
std::string SettingsSourceText(const CSettingsPlan& plan);

// Reads `text` as a settings document and matches it against the header. Every entry is
// checked before anything is planned: broken JSON, a key given twice in one object, a
// "hardware" that is not 8 hex digits, a missing or malformed identifier, a "slot"
// that is not 0 to 49, two entries for the same parameter (the same identifier and the
// same slot, or no slot to tell them apart), a value that is not a whole number from
// -2147483648 to 4294967295 (a negative one is taken as its 32-bit two's complement), or
// a value the editing rules cannot give the matched parameter (IsEditableValue; an
// unchanged value is always accepted) make it return false with an error text that
// names the places. The header is not changed.
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
                       const ImageHeader& header, const CSettingsSource& source);

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
