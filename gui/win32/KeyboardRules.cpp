#include "gui/win32/KeyboardRules.h"

#include <cwchar>

namespace corvalin::win32
{

bool IsPlainEnter(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN)
        return false;
    return (GetKeyState(VK_SHIFT) & 0x8000) == 0 && (GetKeyState(VK_CONTROL) & 0x8000) == 0 &&
           (GetKeyState(VK_MENU) & 0x8000) == 0;
}

bool IsPushButton(HWND window)
{
    wchar_t className[16] = {};
    if (!window || !GetClassNameW(window, className, 16) || _wcsicmp(className, L"Button") != 0)
        return false;
    const LONG_PTR type = GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

} // namespace corvalin::win32
