#pragma once
// The code selection dialog: a CCF file's keys as owner-drawn source keys, the box's 14
// function keys, and the buttons that pick, erase, clear and accept. What a click does
// is the core's CCodeSelection; this class shows it and forwards the clicks.
//
// Keys: Escape and the close box cancel (2). Enter on a focused push button presses it;
// in the source file box it finishes the path (a text not tried yet is tried now);
// anywhere else it is "OK" (1, with the 14 codes).

#include "gui/win32/DialogWindow.h"
#include "gui/win32/KeyButtons.h"
#include "ir/CodeSelection.h"

#include <functional>
#include <string>
#include <vector>

namespace corvalin::win32
{

constexpr int kCodeSelectionOk = 1;
constexpr int kCodeSelectionCancel = 2;

class CCodeSelectionDlg : public CDialogWindow, private ICodeSelectionView
{
  public:
    CCodeSelectionDlg();
    ~CCodeSelectionDlg() override;

    // After "OK" (or Enter): 14 codes in function-index order; empty before.
    const std::vector<uint32_t>& Codes() const { return m_logic.Codes(); }
    uint32_t GetIrType() const { return m_logic.GetIrType(); }
    const CCodeSelection& Logic() const { return m_logic; }
    // The source key window with this id, null when there is none.
    HWND SourceKey(int id) const;
    std::size_t SourceKeyCount() const { return m_sourceKeys.size(); }

    // Messages ("CAN NOT OPEN", "No IR code!") go to `hook` instead of a message box.
    void SetMessageHook(std::function<void(const std::wstring&)> hook) { m_messageHook = std::move(hook); }

  protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    bool PreTranslateMessage(MSG& msg) override;

  private:
    struct CSourceKeyWindow
    {
        HWND m_hWnd = nullptr;
        int m_nId = 0;
        CSourceKeyLook m_look;
        // Its place in the dialog's client area on a 96 dots-per-inch screen.
        RECT m_place{};
    };

    void OnBrowse();
    void OnSourceTextChanged();
    void FinishSourcePath();
    void OnDefault();
    void OnOkButton();
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    // Puts the controls in tab order (their z-order) as the layout reads, the source
    // keys as one group between "..." and ERASE.
    void ArrangeTabOrder();
    // A source key's Tab, Shift+Tab, arrow and Enter; true when taken.
    bool OnSourceKeyKey(HWND key, WPARAM vk);
    void OnDropFiles(HDROP drop);
    // Sizes and places the key for m_nKeyDpi.
    void PlaceSourceKey(CSourceKeyWindow& key);

    // ICodeSelectionView
    void ShowMessage(const std::string& text, EMessageKind kind) override;
    void SetCodeText(const std::string& text) override;
    void SetFunctionText(const std::string& text) override;
    void RemoveSourceKeys() override;
    void AddSourceKey(const CSourceKeyState& key, const CIrKeyRecord& record) override;
    void FunctionKeyChanged(int k) override;
    void FocusCodeText() override;

    CCodeSelection m_logic;
    std::vector<CSourceKeyWindow> m_sourceKeys;
    // The density the source keys are drawn for: the monitor's, and lower where the
    // dialog's font was made smaller to fit the screen, so they stay inside "Source".
    int m_nKeyDpi = kStandardDpi;
    std::function<void(const std::wstring&)> m_messageHook;
};

} // namespace corvalin::win32
