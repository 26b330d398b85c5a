#pragma once
// A dialog made from a template of the program's resources, run modally (DoModal) or
// shown modeless (Create) with the same handlers. It opens centred over its owner, in
// a smaller font where the template would not fit the screen. Keys are offered to the dialog
// before the dialog manager sees them (PreTranslateMessage), in a modal run through a
// message filter and in a modeless one through PumpMessage.

#include "gui/win32/DialogFit.h"

#include <windows.h>

#include <string>

namespace corvalin::win32
{

class CDialogWindow
{
  public:
    explicit CDialogWindow(int templateId);
    CDialogWindow(const CDialogWindow&) = delete;
    CDialogWindow& operator=(const CDialogWindow&) = delete;
    virtual ~CDialogWindow();

    // Runs the dialog and returns the result it ended with (-1 when it could not be made).
    INT_PTR DoModal(HWND owner);
    // Shows the dialog modeless; its end hides it and keeps the result. The window is
    // destroyed with the object.
    HWND Create(HWND owner);

    HWND Handle() const { return m_hWnd; }
    // Pixel sizes laid out for the template's own font follow the font the dialog is
    // drawn in: the same at `dpi`, smaller where the template was fitted to the screen.
    int FittedDpi(int dpi) const
    {
        return MulDiv(dpi, m_fitted.m_nFittedCharWidth, m_fitted.m_nDesignCharWidth);
    }
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    std::wstring ItemText(int id) const;
    bool IsEnded() const { return m_bEnded; }
    INT_PTR Result() const { return m_nResult; }

    // Handles a message of a modeless dialog's thread: the dialog's own keys first, then
    // the dialog manager, else the window the message is for.
    static void PumpMessage(MSG& msg);

  protected:
    // After the default set-up; returns whether the dialog manager sets the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // A command (button click, control notification, IDOK, IDCANCEL); true when handled.
    virtual bool OnCommand(int id, int code, HWND control);
    // Any other message; true when handled, with the result in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // A message for the dialog or one of its controls before the dialog manager sees it;
    // true when the dialog took it.
    virtual bool PreTranslateMessage(MSG& msg);

    void EndDialog(INT_PTR result);
    // Appends a separator and the About entry (string IDS_ABOUTBOX, command
    // IDM_ABOUTBOX) to the system menu; the command then shows the About box.
    void AddAboutToSystemMenu();
    // The About box, modal to this dialog.
    void ShowAbout();
    // F1, WM_HELP and the system menu's About entry end here; a dialog may route them
    // through rules of its own.
    virtual void OnAboutRequest() { ShowAbout(); }
    // The About entry's text ("&About Corvalin...") from the string table.
    static std::wstring AboutEntryText();
    // The application icon as the window's large and small icon.
    void SetApplicationIcon();

  private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageFilter(int code, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Register();
    void Unregister();
    const DLGTEMPLATE* FitTemplate(HWND owner);

    int m_nTemplateId;
    HWND m_hWnd = nullptr;
    bool m_bModal = false;
    bool m_bEnded = false;
    // The system menu holds About, so F1 (WM_HELP) shows it too.
    bool m_bAboutInMenu = false;
    INT_PTR m_nResult = 0;
    // The template fitted to the screen; it must live while the dialog is made.
    CFittedTemplate m_fitted;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
};

// The program's module, whose resources hold the templates.
HINSTANCE ResourceModule();

} // namespace corvalin::win32
