#include "gui/win32/FileDialogs.h"

#include <commdlg.h>

#include <vector>

namespace corvalin::win32
{

namespace
{

// Long enough for any path Windows takes with the \\?\ prefix.
constexpr DWORD kPathBufferLength = 32768;

std::wstring AskPath(HWND owner, const wchar_t* filter, DWORD flags, bool bSave)
{
    std::vector<wchar_t> path(kPathBufferLength, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathBufferLength;
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | flags;
    const BOOL chosen = bSave ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    return chosen ? std::wstring(path.data()) : std::wstring();
}

} // namespace

std::wstring AskOpenBundleOrImage(HWND owner)
{
    return AskPath(owner, nullptr, OFN_HIDEREADONLY, false);
}

std::wstring AskStoreImage(HWND owner)
{
    return AskPath(owner, nullptr, OFN_HIDEREADONLY, true);
}

std::wstring AskOpenCcf(HWND owner)
{
    // Pairs of a name and a pattern, ended by an empty name.
    static const wchar_t kFilter[] = L"CCF Files (*.ccf)\0*.ccf\0";
    return AskPath(owner, kFilter, 0, false);
}

} // namespace corvalin::win32
