#pragma once
// Templates that fit the screen. A dialog's size follows its font and the screen's
// density, so on a small screen at 144 or 192 dots per inch a template can run off
// the work area; such a template is drawn in a smaller font until it fits. Every
// dialog then opens centred over its owner, inside the work area.

#include "gui/model/WindowFit.h"

#include <windows.h>

#include <vector>

namespace corvalin::win32
{

struct CFittedTemplate
{
    // The template with its font size lowered; empty when it fits as it is (or is of a
    // form this does not read), so the resource itself is shown.
    std::vector<BYTE> m_bytes;
    // The average character width of the font as the template gives it and as it is
    // drawn, at the monitor's density: what a pixel size laid out for the first is
    // multiplied by (m_nFittedCharWidth / m_nDesignCharWidth) to match the second.
    int m_nDesignCharWidth = 1;
    int m_nFittedCharWidth = 1;
};

// The template `templateId` of the program's resources for a dialog owned by `owner`
// (null for none), fitted to the work area of the owner's monitor.
CFittedTemplate FitDialogTemplate(int templateId, HWND owner);

// Moves `dialog` centred over its owner, or over the work area when it has none or
// the owner is hidden, and inside the work area of the owner's monitor.
void PlaceDialog(HWND dialog);

// The work area of the monitor `window` is on (the primary one for null).
CPixelRect WorkAreaOf(HWND window);

} // namespace corvalin::win32
