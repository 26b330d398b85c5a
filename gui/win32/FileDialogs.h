#pragma once
// The file-open and file-save dialogs the program asks for paths with. Each returns
// the chosen full path, or an empty text when the user cancelled.

#include <windows.h>

#include <string>

namespace corvalin::win32
{

// A bundle or image to open: no filter, the read-only check box hidden.
std::wstring AskOpenBundleOrImage(HWND owner);
// Where to store the image: no filter, the read-only check box hidden, an existing file
// replaced without a question.
std::wstring AskStoreImage(HWND owner);
// A CCF file to read: "CCF Files (*.ccf)", the read-only check box shown.
std::wstring AskOpenCcf(HWND owner);

} // namespace corvalin::win32
