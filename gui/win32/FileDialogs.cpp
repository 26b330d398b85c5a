#include "gui/win32/FileDialogs.h"

#include "gui/win32/WideText.h"

#include <commdlg.h>

#include <sstream>
#include <vector>

namespace corvalin::win32
{

namespace
{

// Long enough for any path Windows takes with the \\?\ prefix.
constexpr DWORD kPathBufferLength = 32768;

std::wstring AskPath(HWND owner, const wchar_t* filter, DWORD flags, bool bSave,
                     const wchar_t* folder = nullptr, const wchar_t* extension = nullptr)
{
    std::vector<wchar_t> path(kPathBufferLength, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrInitialDir = folder;
    dialog.lpstrDefExt = extension;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathBufferLength;
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | flags;
    const BOOL chosen = bSave ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? std::wstring(path.data()) : std::wstring();
}

// The filter text of `dialog`: pairs of a name and patterns, each ended by a zero, the
// whole ended by another.
std::wstring FilterText(const CFileDialog& dialog)
{
    std::wstring text;
    for (const CFileFilter& filter : dialog.m_filters)
    {
        // Windows writes "every file" as *.*, and parts a filter's patterns with ';'.
        std::wstring patterns;
        std::istringstream words(filter.m_pPatterns);
        for (std::string word; words >> word;)
            patterns +=
                (patterns.empty() ? L"" : L";") + (word == "*" ? std::wstring(L"*.*") : FromUtf8(word));
        std::wstring shown = patterns;
        for (wchar_t& c : shown)
            if (c == L';')
                c = L' ';
        text += FromUtf8(filter.m_pName) + L" (" + shown + L")" + L'\0' + patterns + L'\0';
    }
    return text + L'\0';
}

std::wstring AskOpen(HWND owner, const CFileDialog& dialog, DWORD flags)
{
    const std::wstring filter = FilterText(dialog);
    const std::wstring folder = dialog.m_folder.wstring();
    return AskPath(owner, filter.c_str(), flags, false, folder.empty() ? nullptr : folder.c_str());
}

} // namespace

std::wstring AskOpenFile(HWND owner, const CFileDialog& dialog)
{
    return AskOpen(owner, dialog, OFN_HIDEREADONLY);
}

std::wstring AskSaveFile(HWND owner, const CFileDialog& dialog)
{
    const std::wstring filter = FilterText(dialog);
    const std::wstring folder = dialog.m_folder.wstring();
    const std::wstring extension = FromUtf8(dialog.m_pDefaultExtension);
    return AskPath(
        owner, filter.c_str(), OFN_HIDEREADONLY | (dialog.m_bConfirmReplace ? OFN_OVERWRITEPROMPT : 0), true,
        folder.empty() ? nullptr : folder.c_str(), extension.empty() ? nullptr : extension.c_str());
}

std::wstring AskOpenCcf(HWND owner, const CFileDialog& dialog)
{
    return AskOpen(owner, dialog, 0);
}

} // namespace corvalin::win32
