#pragma once
// Small tests on key messages and controls shared by the dialogs' keyboard handling.

#include <windows.h>

namespace corvalin::win32
{

// A press of Enter (either key) with neither Shift, Ctrl nor Alt held.
bool IsPlainEnter(const MSG& msg);

// Whether the window is a plain or default push button (not owner-drawn, no check box).
bool IsPushButton(HWND window);

} // namespace corvalin::win32
