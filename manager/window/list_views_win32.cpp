#include "list_views_win32.h"

#include <string>

#include "main_window_win32.h"

static HWND ServerListOfSlot(MainWindow* main, int slot) {
    if (slot < 0 || slot >= ServerListCount) return nullptr;
    return main->serverLists[slot];
}

// Each server list carries its slot in its user data, so that a cell's
// list is found without a search.
int SlotOfServerList(MainWindow* main, HWND list) {
    LONG_PTR slot = GetWindowLongPtrA(list, GWLP_USERDATA);
    if (slot < 0 || slot >= ServerListCount || main->serverLists[slot] != list) return -1;
    return (int)slot;
}

static void SetVirtualCount(HWND list, int count) {
    ListView_SetItemCountEx(list, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void SelectEveryRow(HWND list, int selected) {
    // Wine's list view sets the state of an owner-data list row by row and
    // repaints each row as it goes, shown or not; with drawing off it
    // repaints once. Drawing is switched only while the list is shown
    // (turning it back on may also show a window): a hidden list's
    // selection is cleared by emptying the list for a moment instead, which
    // drops its selection in one step.
    int shown = (GetWindowLongA(list, GWL_STYLE) & WS_VISIBLE) != 0;
    if (!shown && !selected) {
        int count = ListView_GetItemCount(list);
        SetVirtualCount(list, 0);
        SetVirtualCount(list, count);
        if (ListView_GetSelectedCount(list) == 0) return;
    }
    if (shown) SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(list, -1, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    if (!shown) return;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void CatalogueView::ServerInserted(int slot, int row) {
    HWND list = ServerListOfSlot(main, slot);
    if (list != nullptr) SetVirtualCount(list, main->catalogue.lists[slot].Count());
}

void CatalogueView::ServerRemoved(int slot, int row) {
    HWND list = ServerListOfSlot(main, slot);
    if (list == nullptr) return;
    // Deleting the item keeps the selection of the rows below it in place.
    ListView_DeleteItem(list, row);
    if (ListView_GetItemCount(list) != main->catalogue.lists[slot].Count()) {
        SetVirtualCount(list, main->catalogue.lists[slot].Count());
    }
    InvalidateRect(list, nullptr, FALSE);
}

void CatalogueView::ServerChanged(int slot, int row) {
    HWND list = ServerListOfSlot(main, slot);
    if (list != nullptr) ListView_RedrawItems(list, row, row);
}

void CatalogueView::ServerListReset(int slot) {
    HWND list = ServerListOfSlot(main, slot);
    if (list == nullptr) return;
    // Rows moved: a selection by index would now name other servers, unless
    // it holds every row.
    if ((int)ListView_GetSelectedCount(list) != ListView_GetItemCount(list)) SelectEveryRow(list, 0);
    SetVirtualCount(list, main->catalogue.lists[slot].Count());
    InvalidateRect(list, nullptr, TRUE);
}

static void InsertCallbackItem(HWND list, int row, int image) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.iImage = image;
    SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

void CatalogueView::CategoryInserted(int index) { InsertCallbackItem(main->categoryList, index, 0); }
void CatalogueView::CategoryRemoved(int index) { ListView_DeleteItem(main->categoryList, index); }
void CatalogueView::CategoryLabelChanged(int index) { ListView_RedrawItems(main->categoryList, index, index); }

void PortListView::PortInserted(int row) { InsertCallbackItem(main->portList, row, I_IMAGECALLBACK); }
void PortListView::PortRemoved(int row) { ListView_DeleteItem(main->portList, row); }
void PortListView::PortChanged(int row) { ListView_RedrawItems(main->portList, row, row); }

// The text and image a list shows for a cell; a text formed for the cell
// is held in the record.
struct CellView {
    const char* text = "";
    int image = 0;
    std::string formed;
};

static void CellOf(MainWindow* main, HWND list, int row, int column, CellView* cell) {
    if (list == main->categoryList) {
        if (row >= 0 && row < (int)main->catalogue.categories.size() && column == 0) {
            cell->formed = CategoryLabel(main->catalogue.categories[row]);
            cell->text = cell->formed.c_str();
        }
        return;
    }
    if (list == main->portList) {
        if (row >= 0 && row < (int)main->ports.rows.size() && column >= 0 && column < PortColumnCount) {
            const MappedPort& port = main->ports.rows[row];
            cell->text = port.text[column].c_str();
            cell->image = PortStatusIcon(port.text[PortStatus].c_str());
        }
        return;
    }
    int slot = SlotOfServerList(main, list);
    if (slot < 0) return;
    const ServerList& servers = main->catalogue.lists[slot];
    if (row >= 0 && row < servers.Count() && column >= 0 && column < ServerColumnCount) {
        cell->text = servers.Row(row).text[column].c_str();
        cell->image = servers.Row(row).icon;
    }
}

void FillDisplayInfoA(MainWindow* main, NMLVDISPINFOA* info) {
    CellView cell;
    CellOf(main, info->hdr.hwndFrom, info->item.iItem, info->item.iSubItem, &cell);
    if ((info->item.mask & LVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0)
        lstrcpynA(info->item.pszText, cell.text, info->item.cchTextMax);
    if (info->item.mask & LVIF_IMAGE) info->item.iImage = cell.image;
}

void FillDisplayInfoW(MainWindow* main, NMLVDISPINFOW* info) {
    CellView cell;
    CellOf(main, info->hdr.hwndFrom, info->item.iItem, info->item.iSubItem, &cell);
    if ((info->item.mask & LVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0) {
        if (MultiByteToWideChar(CP_ACP, 0, cell.text, -1, info->item.pszText, info->item.cchTextMax) == 0)
            info->item.pszText[info->item.cchTextMax - 1] = 0;
    }
    if (info->item.mask & LVIF_IMAGE) info->item.iImage = cell.image;
}

int NextSelectedRow(HWND list, int from) {
    return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)(from - 1), MAKELPARAM(LVNI_SELECTED, 0));
}

// The selected rows of a list, ascending; a selection of every row is not
// walked row by row.
std::vector<int> SelectedRows(HWND list) {
    int count = ListView_GetItemCount(list);
    std::vector<int> rows;
    if (count > 0 && (int)ListView_GetSelectedCount(list) == count) {
        rows.resize(count);
        for (int row = 0; row < count; ++row) rows[row] = row;
        return rows;
    }
    for (int row = NextSelectedRow(list, 0); row >= 0 && row < count; row = NextSelectedRow(list, row + 1))
        rows.push_back(row);
    return rows;
}

HWND CurrentServerList(MainWindow* main) { return ServerListOfSlot(main, main->catalogue.currentSlot); }

int IsServerList(MainWindow* main, HWND control) {
    return control == main->serverTemplate || SlotOfServerList(main, control) >= 0;
}
