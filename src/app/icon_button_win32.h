// Owner-drawn buttons that show an icon (and their text) straight on the
// window's background, as the main window's buttons do.
#pragma once

#include <windows.h>

namespace tramsel {

// Draws the button of a WM_DRAWITEM: background, icon, text. The icon is
// drawn at iconSize pixels; a button without text centres its icon.
void DrawIconButton(const DRAWITEMSTRUCT& item, HICON icon, int iconSize, COLORREF background);

}  // namespace tramsel
