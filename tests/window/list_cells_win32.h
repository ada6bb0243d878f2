// Reading a list view's cells by message: from the window's thread, or from
// any other thread of the process while the window thread serves messages.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "shared/row_text.h"

inline std::string CellText(HWND list, int row, int column) {
    char text[RowTextSize] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    return text;
}

// Every row's text of one column, in display order.
inline std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> texts;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) texts.push_back(CellText(list, row, column));
    return texts;
}
