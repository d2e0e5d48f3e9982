#include "app/icon_button_win32.h"

namespace tramsel {

void DrawIconButton(const DRAWITEMSTRUCT& item, HICON icon, int iconSize, COLORREF background) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);

  // A pressed button moves its picture by one pixel.
  const int shift = (item.itemState & ODS_SELECTED) ? 1 : 0;
  wchar_t text[64];
  const int length = GetWindowTextW(item.hwndItem, text, 64);
  const int height = rect.bottom - rect.top;
  const int width = rect.right - rect.left;
  if (length == 0) {
    if (icon) {
      DrawIconEx(dc, rect.left + (width - iconSize) / 2 + shift, rect.top + (height - iconSize) / 2 + shift,
                 icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
    }
  } else {
    int textLeft = rect.left + 4;
    if (icon) {
      DrawIconEx(dc, rect.left + 4 + shift, rect.top + (height - iconSize) / 2 + shift, icon, iconSize,
                 iconSize, 0, nullptr, DI_NORMAL);
      textLeft += iconSize + 4;
    }
    RECT textRect{textLeft + shift, rect.top + shift, rect.right - 2 + shift, rect.bottom + shift};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, (item.itemState & ODS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
    DrawTextW(dc, text, length, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (item.itemState & ODS_FOCUS) {
    RECT focus = rect;
    InflateRect(&focus, -1, -1);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace tramsel
