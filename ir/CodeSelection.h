#pragma once
// What the code selection dialog does, without any widget: the 14 function keys and
// their codes, the source keys of the CCF file shown, the pending selection and the
// two texts. The dialog draws, forwards its events to the On... operations here, and
// carries out what this logic asks of it through ICodeSelectionView.
//
// Control ids: function key k is control 1002 + k; the n-th source key of a file is
// control 2000 + n. Only 2000 to 2100 react to clicks, so no more than 101 source keys
// are made, each at most kMaxKeySide pixels wide and tall.

#include "ir/CcfReader.h"
#include "ir/IrProtocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace corvalin
{

constexpr int kFunctionKeyCount = 14;
constexpr int kFirstFunctionKeyId = 1002;
constexpr int kFirstSourceKeyId = 2000;
constexpr int kLastPickableSourceKeyId = 2100;
// Only the keys that can be picked are made; the rest of a file's keys are not offered.
constexpr std::size_t kMaxSourceKeys = kLastPickableSourceKeyId - kFirstSourceKeyId + 1;
// A source key lies this many pixels right of and below its CCF position.
constexpr int kSourceKeyOffsetX = 80;
constexpr int kSourceKeyOffsetY = 150;
constexpr int kDialogOk = 1;

// Function names (the key captions), by function index.
extern const std::array<const char*, kFunctionKeyCount> kFunctionNames;
// The CCF label that assigns a key when a file is read, compared byte for byte;
// nullptr for keys no label selects. "\xAA" and "\xBA" are one-byte labels.
extern const std::array<const char*, kFunctionKeyCount> kFunctionDefaultNames;
// Whether the dialog shows the key; the hidden keys 1, 3, 5, 6, 7, 8 are never clicked.
extern const std::array<bool, kFunctionKeyCount> kFunctionKeyShown;

// The function index of a function name ("Vol -", "Mute", ...); -1 when unknown.
int FunctionIndexOf(const std::string& name);

// The dialog's tab stops by control id in the order of its layout: the source file box
// and "...", then the "Source" part, then "Destination" row by row, then the buttons
// along the bottom. kFirstSourceKeyId stands for the source keys, which Tab reaches
// as one group.
extern const std::array<int, 16> kCodeSelectionTabOrder;

// What a screen reader calls a source key: its label, or "IR key" and its number when
// the label is blank. Bytes as in the label (one character of the remote's font each).
std::string SourceKeyName(const CIrKeyRecord& record, int id);

// Whether `paths` (UTF-8) is a drop the dialog takes as its source file: one file
// named *.ccf, in any letter case.
bool IsCcfDrop(const std::vector<std::string>& paths);

struct CFunctionKeyState
{
    EIrProtocol m_eProtocol = EIrProtocol::Empty; // nothing assigned
    uint32_t m_nCode = 0;
};

struct CSourceKeyState
{
    int m_nId = 0;
    // Rectangle in pixels of the dialog's client area.
    int m_nLeft = 0;
    int m_nTop = 0;
    int m_nRight = 0;
    int m_nBottom = 0;
    const CIrKeyRecord* m_pRecord = nullptr; // in the reader's key list
    EIrProtocol m_eProtocol = EIrProtocol::Empty;
    uint32_t m_nCode = 0;
    bool m_bToggled = false;
};

// What the logic needs from the window. Every call comes on the window's thread.
class ICodeSelectionView
{
  public:
    virtual ~ICodeSelectionView() = default;
    // How grave a message is, for the icon of its box.
    enum class EMessageKind
    {
        Error,   // "CAN NOT OPEN": the file could not be read
        Warning, // "No IR code!": it was read but offers nothing to pick
    };
    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text, EMessageKind kind) = 0;
    // The IR code text (control 1019) and the function text (control 1021).
    virtual void SetCodeText(const std::string& text) = 0;
    virtual void SetFunctionText(const std::string& text) = 0;
    // Destroy every source key window, last first. Called before the reader their
    // bitmaps point into is released.
    virtual void RemoveSourceKeys() = 0;
    // Create and show a source key window for `key` (id and rectangle) drawing `record`.
    virtual void AddSourceKey(const CSourceKeyState& key, const CIrKeyRecord& record) = 0;
    // Function key k got a new protocol and code: draw it anew.
    virtual void FunctionKeyChanged(int k) = 0;
    // Move the keyboard focus to the IR code text control.
    virtual void FocusCodeText() = 0;
};

class CCodeSelection
{
  public:
    // `view` may be null (then nothing is shown); the CCF readers write their trace to
    // `trace`, nowhere when null.
    explicit CCodeSelection(ICodeSelectionView* view = nullptr, std::ostream* trace = nullptr);
    CCodeSelection(const CCodeSelection&) = delete;
    CCodeSelection& operator=(const CCodeSelection&) = delete;
    ~CCodeSelection();

    // The source file box's text changed (typed or browsed): remember it and load it.
    void OnSourceTextChanged(const std::string& text);
    // Reads the file named in the source file box and makes its source keys.
    void LoadSourceFile();

    void OnSourceKey(int id);
    void OnFunctionKey(int id);
    void OnErase();
    void OnClearAll();
    void OnDefault();
    // Collects the 14 codes; the dialog then ends with the returned kDialogOk.
    int OnOkButton();
    // A source key was drawn without the keyboard focus, which withdraws its toggle.
    void ClearToggled(int id);

    uint32_t GetIrType() const { return 0; }

    // After OnOkButton: 14 codes in function-index order; empty before.
    const std::vector<uint32_t>& Codes() const { return m_codes; }
    const std::string& CodeText() const { return m_strCodeText; }
    const std::string& FunctionText() const { return m_strFunctionText; }
    const std::string& SourceText() const { return m_strSourceText; }
    bool HasPendingSelection() const { return !m_strCodeText.empty(); }
    EIrProtocol SelProtocol() const { return m_eSelProtocol; }
    uint32_t SelCode() const { return m_nSelCode; }
    const CFunctionKeyState& FunctionKey(int k) const { return m_functionKeys[std::size_t(k)]; }
    const std::vector<CSourceKeyState>& SourceKeys() const { return m_sourceKeys; }
    const CSourceKeyState* FindSourceKey(int id) const;
    // The source keys' ids in reading order: by top edge, then by left edge. Tab enters
    // the group at the first.
    std::vector<int> SourceKeysInReadingOrder() const;
    // The key an arrow key moves to from source key `id`: the next one in reading order,
    // or the previous one, round at the ends; 0 when `id` is no source key.
    int NeighbourSourceKey(int id, bool bForward) const;
    const CcfReader* Reader() const { return m_pReader.get(); }

  private:
    void SetCodeText(const std::string& text);
    void SetFunctionText(const std::string& text);
    void AssignCode(int k, EIrProtocol protocol, uint32_t code);
    void RemoveSourceKeys();
    // Makes the next source key, placed and sized as the record says.
    void AddSourceKey(const CIrKeyRecord& record);

    std::vector<uint32_t> m_codes;
    std::unique_ptr<CcfReader> m_pReader;
    uint32_t m_nSelCode = 0;
    EIrProtocol m_eSelProtocol = EIrProtocol::Empty;
    std::array<CFunctionKeyState, kFunctionKeyCount> m_functionKeys{};
    std::string m_strFunctionText;
    std::string m_strCodeText;
    std::string m_strSourceText;
    std::vector<CSourceKeyState> m_sourceKeys;
    ICodeSelectionView* m_pView;
    std::ostream* m_pTrace;
};

} // namespace corvalin
