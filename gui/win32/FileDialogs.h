#pragma once
// The file-open and file-save dialogs the program asks for paths with. Each returns
// the chosen full path, or an empty text when the user cancelled.

#include "gui/model/MainDialogView.h"

#include <windows.h>

#include <string>

namespace corvalin::win32
{

// A file of the main window, as `dialog` describes: its types, its folder and, for a
// save dialog, whether it asks before an existing file is replaced. The read-only
// check box is hidden.
std::wstring AskOpenFile(HWND owner, const CFileDialog& dialog);
std::wstring AskSaveFile(HWND owner, const CFileDialog& dialog);
// A CCF file to read, as `dialog` describes, with the read-only check box shown.
std::wstring AskOpenCcf(HWND owner, const CFileDialog& dialog);

} // namespace corvalin::win32
