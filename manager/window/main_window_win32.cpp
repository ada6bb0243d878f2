#include "main_window_win32.h"


#include <cstring>
#include <string>

#include "../catalogue/catalogue_texts.h"
#include "../catalogue/windows_profile.h"
#include "../resources/resource_ids.h"
#include "commands_win32.h"
#include "layout.h"
#include "status_counts.h"
#include "stored_ports.h"
#include "window_texts.h"
#include "window_texts_win32.h"
#include "window_thread_win32.h"

const int StatusBarSplit = 250;
const int CaptionFontHeight = 15;
const int CaptionFontWeight = 700;
const int ImageSize = 16;
const int StatusImageCount = 3;
const char HiddenStartFlag = 'h';

// ---- views of the models ----

static HWND ServerListOfSlot(MainWindow* main, int slot) {
    if (slot < 0 || slot >= ServerListCount) return nullptr;
    return main->serverLists[slot];
}

// Each server list carries its slot in its user data, so that a cell's
// list is found without a search; -1 for any other window.
static int SlotOfServerList(MainWindow* main, HWND list) {
    LONG_PTR slot = GetWindowLongPtrA(list, GWLP_USERDATA);
    if (slot < 0 || slot >= ServerListCount || main->serverLists[slot] != list) return -1;
    return (int)slot;
}

void SelectEveryRow(HWND list, int selected) {
    // Wine's list view sets the state of an owner-data list row by row and
    // repaints each row as it goes; with drawing off it repaints once.
    // (Drawing is switched only while the list is shown: turning it back on
    // may also show a window.)
    int shown = (GetWindowLongA(list, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown) SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_SetItemState(list, -1, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    if (!shown) return;
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

static void SetVirtualCount(HWND list, int count) {
    ListView_SetItemCountEx(list, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void MainWindow::ServerInserted(int slot, int row) {
    HWND list = ServerListOfSlot(this, slot);
    if (list != nullptr) SetVirtualCount(list, catalogue.lists[slot].Count());
}

void MainWindow::ServerRemoved(int slot, int row) {
    HWND list = ServerListOfSlot(this, slot);
    if (list == nullptr) return;
    // Deleting the item keeps the selection of the rows below it in place.
    ListView_DeleteItem(list, row);
    if (ListView_GetItemCount(list) != catalogue.lists[slot].Count()) {
        SetVirtualCount(list, catalogue.lists[slot].Count());
    }
    InvalidateRect(list, nullptr, FALSE);
}

void MainWindow::ServerChanged(int slot, int row) {
    HWND list = ServerListOfSlot(this, slot);
    if (list != nullptr) ListView_RedrawItems(list, row, row);
}

void MainWindow::ServerListReset(int slot) {
    HWND list = ServerListOfSlot(this, slot);
    if (list == nullptr) return;
    // Rows moved: a selection by index would now name other servers, unless
    // it holds every row.
    if ((int)ListView_GetSelectedCount(list) != ListView_GetItemCount(list)) SelectEveryRow(list, 0);
    SetVirtualCount(list, catalogue.lists[slot].Count());
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

void MainWindow::CategoryInserted(int index) { InsertCallbackItem(categoryList, index, 0); }
void MainWindow::CategoryRemoved(int index) { ListView_DeleteItem(categoryList, index); }
void MainWindow::CategoryLabelChanged(int index) { ListView_RedrawItems(categoryList, index, index); }

void MainWindow::PortInserted(int row) { InsertCallbackItem(portList, row, I_IMAGECALLBACK); }
void MainWindow::PortRemoved(int row) { ListView_DeleteItem(portList, row); }
void MainWindow::PortChanged(int row) { ListView_RedrawItems(portList, row, row); }

// The text and image a list shows for a cell.
struct CellView {
    const char* text;
    int image;
};

static CellView CellOf(MainWindow* main, HWND list, int row, int column) {
    CellView cell = {"", 0};
    if (list == main->categoryList) {
        if (row < (int)main->catalogue.categories.size() && column == 0)
            cell.text = main->catalogue.categories[row].label.c_str();
        return cell;
    }
    if (list == main->portList) {
        if (row < (int)main->ports.rows.size() && column < PortColumnCount) {
            const MappedPort& port = main->ports.rows[row];
            cell.text = port.text[column].c_str();
            cell.image = PortStatusIcon(port.text[PortStatus].c_str());
        }
        return cell;
    }
    int slot = SlotOfServerList(main, list);
    if (slot < 0) return cell;
    const ServerList& servers = main->catalogue.lists[slot];
    if (row >= 0 && row < servers.Count() && column >= 0 && column < ServerColumnCount) {
        cell.text = servers.Row(row).text[column].c_str();
        cell.image = servers.Row(row).icon;
    }
    return cell;
}

static void FillDisplayInfoA(MainWindow* main, NMLVDISPINFOA* info) {
    CellView cell = CellOf(main, info->hdr.hwndFrom, info->item.iItem, info->item.iSubItem);
    if ((info->item.mask & LVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0)
        lstrcpynA(info->item.pszText, cell.text, info->item.cchTextMax);
    if (info->item.mask & LVIF_IMAGE) info->item.iImage = cell.image;
}

static void FillDisplayInfoW(MainWindow* main, NMLVDISPINFOW* info) {
    CellView cell = CellOf(main, info->hdr.hwndFrom, info->item.iItem, info->item.iSubItem);
    if ((info->item.mask & LVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0) {
        if (MultiByteToWideChar(CP_ACP, 0, cell.text, -1, info->item.pszText, info->item.cchTextMax) == 0)
            info->item.pszText[info->item.cchTextMax - 1] = 0;
    }
    if (info->item.mask & LVIF_IMAGE) info->item.iImage = cell.image;
}

// ---- selection, status bar, move menu ----

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

void SetStatusText(MainWindow* main, int part, const char* text) {
    if (text == nullptr) {
        part = 0;
        text = DefaultStatusText;
    }
    SendMessageA(main->statusBar, SB_SETTEXTA, (WPARAM)part, (LPARAM)text);
}

void UpdateServerCounts(MainWindow* main) {
    std::string counts = ServerCountsText(main->catalogue.lists[main->catalogue.currentSlot]);
    SendMessageA(main->statusBar, SB_SETTEXTA, 1, (LPARAM)counts.c_str());
}

const int MoveMenuRemovedLast = IDM_MOVE_FIRST + 23;

void RebuildMoveMenu(MainWindow* main) {
    HMENU moveMenu = GetSubMenu(main->serverMenu, MOVE_MENU_POSITION);
    if (moveMenu == nullptr) return;
    for (int id = IDM_MOVE_FIRST; id <= MoveMenuRemovedLast; ++id) DeleteMenu(moveMenu, id, MF_BYCOMMAND);
    for (int i = 0; i < (int)main->catalogue.categories.size() && IDM_MOVE_FIRST + i <= IDM_MOVE_LAST; ++i)
        AppendMenuA(moveMenu, MF_STRING, IDM_MOVE_FIRST + i, main->catalogue.categories[i].label.c_str());
}

void ShowManager(MainWindow* main) {
    main->startHidden = 0;
    ShowWindow(main->window, SW_SHOWNORMAL);
    SetForegroundWindow(main->window);
}

void HideManager(MainWindow* main) { ShowWindow(main->window, SW_HIDE); }

// ---- layout ----

static Box ToBox(const RECT& rect) { return Box{rect.left, rect.top, rect.right, rect.bottom}; }
static RECT ToRect(const Box& box) { return RECT{box.left, box.top, box.right, box.bottom}; }

static Box ChildBox(MainWindow* main, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, main->window, (POINT*)&rect, 2);
    return ToBox(rect);
}

static void MoveChild(HWND child, const Box& box) {
    MoveWindow(child, box.left, box.top, Width(box), Height(box), TRUE);
}

static void CorrectWindowRect(MainWindow* main) {
    RECT rect;
    GetWindowRect(main->window, &rect);
    Box now = ToBox(rect);
    Box corrected = CorrectWindow(now);
    if (std::memcmp(&now, &corrected, sizeof now) != 0) MoveChild(main->window, corrected);
}

// The bars' client positions held where a drag could put them in the
// window as it is now.
static void HoldSplitters(MainWindow* main, int* top, int* left) {
    RECT window;
    GetWindowRect(main->window, &window);
    POINT client = {0, 0};
    ClientToScreen(main->window, &client);
    *top = HeldSplitterTop(*top, ToBox(window), client.y);
    *left = HeldSplitterLeft(*left, ToBox(window), client.x);
}

static void MoveBar(HWND bar, int x, int y) {
    SetWindowPos(bar, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

// A bar left beyond the window by a stored value or by a window made
// smaller moves back in, keeping its size.
static void KeepSplittersInWindow(MainWindow* main) {
    HWND horizontal = GetDlgItem(main->window, IDC_SPLITTER_TOP);
    HWND vertical = GetDlgItem(main->window, IDC_SPLITTER_LEFT);
    Box h = ChildBox(main, horizontal);
    Box v = ChildBox(main, vertical);
    int top = h.top, left = v.left;
    HoldSplitters(main, &top, &left);
    if (top != h.top) MoveBar(horizontal, h.left, top);
    if (left != v.left) MoveBar(vertical, left, v.top);
}

void LayOutWindow(MainWindow* main) {
    CorrectWindowRect(main);
    KeepSplittersInWindow(main);
    RECT client;
    GetClientRect(main->window, &client);
    RECT status;
    GetWindowRect(main->statusBar, &status);
    // WM_SETREDRAW TRUE also makes a window visible: suspend drawing only
    // while the window is shown.
    int suspend = IsWindowVisible(main->window);
    if (suspend) SendMessageA(main->window, WM_SETREDRAW, FALSE, 0);
    LayoutInput in;
    in.client = ToBox(client);
    in.statusBarHeight = status.bottom - status.top;
    in.verticalBar = ChildBox(main, GetDlgItem(main->window, IDC_SPLITTER_LEFT));
    in.horizontalBar = ChildBox(main, GetDlgItem(main->window, IDC_SPLITTER_TOP));
    in.proxyCaption = ChildBox(main, GetDlgItem(main->window, IDC_PROXY_CAPTION));
    in.portCaption = ChildBox(main, GetDlgItem(main->window, IDC_PORT_CAPTION));
    in.categoryList = ChildBox(main, main->categoryList);
    in.portList = ChildBox(main, main->portList);
    LayoutResult out = LayOut(in);
    MoveChild(GetDlgItem(main->window, IDC_PROXY_CAPTION), out.proxyCaption);
    MoveChild(CurrentServerList(main), out.serverList);
    MoveChild(GetDlgItem(main->window, IDC_PORT_CAPTION), out.portCaption);
    MoveChild(main->categoryList, out.categoryList);
    RECT categoryClient;
    GetClientRect(main->categoryList, &categoryClient);
    ListView_SetColumnWidth(main->categoryList, 0, categoryClient.right);
    MoveChild(main->portList, out.portList);
    SendMessageA(main->statusBar, WM_SIZE, 0, 0);
    if (!suspend) return;
    SendMessageA(main->window, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(main->window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// ---- splitters ----

// The drag is followed on a 1 ms timer that runs only while a bar is being
// dragged: left running all the time it keeps an idle manager busy.
const UINT_PTR SplitterTimerId = 0;
const UINT SplitterTimerPeriodMs = 1;

static int TryStartDrag(MainWindow* main, int barId, Box (*area)(Box), int state, unsigned keyState, int x, int y) {
    HWND bar = GetDlgItem(main->window, barId);
    if (!Contains(ChildBox(main, bar), x, y)) return 0;
    if (main->splitterDrag == SplitterIdle && StartsDrag(keyState)) {
        RECT window;
        GetWindowRect(main->window, &window);
        RECT confine = ToRect(area(ToBox(window)));
        ClipCursor(&confine);
        main->splitterDrag = state;
        ShowWindow(bar, SW_SHOW);
        SetTimer(main->window, SplitterTimerId, SplitterTimerPeriodMs, nullptr);
    }
    return 1;
}

void StartSplitterDrag(MainWindow* main, unsigned keyState, int x, int y) {
    if (TryStartDrag(main, IDC_SPLITTER_TOP, HorizontalDragArea, DraggingHorizontal, keyState, x, y))
        SetCursor(main->northSouthCursor);
    if (TryStartDrag(main, IDC_SPLITTER_LEFT, VerticalDragArea, DraggingVertical, keyState, x, y))
        SetCursor(main->westEastCursor);
}

static void EndDragWhenReleased(MainWindow* main, int state, HWND bar) {
    if (GetAsyncKeyState(VK_LBUTTON) != 0 || main->splitterDrag != state) return;
    ClipCursor(nullptr);
    KillTimer(main->window, SplitterTimerId);
    main->splitterDrag = SplitterIdle;
    ShowWindow(bar, SW_HIDE);
    LayOutWindow(main);
}

void FollowSplitterDrag(MainWindow* main) {
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(main->window, &cursor);
    HWND horizontal = GetDlgItem(main->window, IDC_SPLITTER_TOP);
    HWND vertical = GetDlgItem(main->window, IDC_SPLITTER_LEFT);
    if (main->splitterDrag == DraggingHorizontal)
        SetWindowPos(horizontal, HWND_TOP, 0, cursor.y, SplitterFullLength, SplitterThickness, 0);
    EndDragWhenReleased(main, DraggingHorizontal, horizontal);
    if (main->splitterDrag == DraggingVertical)
        SetWindowPos(vertical, HWND_TOP, cursor.x, 0, DraggedVerticalBarWidth, SplitterFullLength, 0);
    EndDragWhenReleased(main, DraggingVertical, vertical);
}

// ---- ManagerStateAccess ----

int MainWindow::IsMaximized() { return IsZoomed(window) != 0; }

static MONITORINFO MonitorInfo(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoA(monitor, &info);
    return info;
}

// The restored rectangle, also while the window is minimised (its screen
// rectangle is then the icon's, far off the screen).
WindowRect MainWindow::OuterRect() {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    MONITORINFO monitor = MonitorInfo(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    Box rect = WorkspaceToScreen(ToBox(placement.rcNormalPosition), ToBox(monitor.rcMonitor), ToBox(monitor.rcWork));
    return WindowRect{rect.left, rect.top, Width(rect), Height(rect)};
}

// Fitted to the work area of the nearest monitor: a stored rectangle may be
// larger than the screen, or lie where a monitor no longer is.
void MainWindow::PlaceWindow(const WindowRect& rect) {
    RECT stored = ToRect(StoredWindowBox(rect));
    int onAMonitor = MonitorFromRect(&stored, MONITOR_DEFAULTTONULL) != nullptr;
    MONITORINFO monitor = MonitorInfo(MonitorFromRect(&stored, MONITOR_DEFAULTTONEAREST));
    WindowRect fitted = FitWindowRect(rect, ToBox(monitor.rcWork), onAMonitor);
    MoveWindow(window, fitted.left, fitted.top, fitted.width, fitted.height, TRUE);
}

void MainWindow::SizeWindow(int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int MainWindow::SplitterTop() { return ChildBox(this, GetDlgItem(window, IDC_SPLITTER_TOP)).top; }
int MainWindow::SplitterLeft() { return ChildBox(this, GetDlgItem(window, IDC_SPLITTER_LEFT)).left; }

void MainWindow::PlaceSplitters(int top, int left) {
    HoldSplitters(this, &top, &left);
    MoveWindow(GetDlgItem(window, IDC_SPLITTER_TOP), 0, top, SplitterFullLength, SplitterThickness, FALSE);
    MoveWindow(GetDlgItem(window, IDC_SPLITTER_LEFT), left, 0, SplitterThickness, SplitterFullLength, FALSE);
}

int MainWindow::MappedPortCount() { return (int)ports.rows.size(); }
StoredPort MainWindow::MappedPortRow(int row) { return StoredFromPort(ports.rows[row]); }
void MainWindow::AppendMappedPort(const StoredPort& port) { AppendPortRow(&ports, PortFromStored(port)); }
void MainWindow::SetLocalOnly(uint8_t value) { options.table->localOnly = value; }

void MainWindow::SetAutorun(int flag) {
    if (options.loadState) ::SetAutorun(flag);
}

// ---- construction ----

static HIMAGELIST IconImageList(HINSTANCE instance, const int* icons, int count) {
    HIMAGELIST images = ImageList_Create(ImageSize, ImageSize, ILC_COLOR32 | ILC_MASK, count, 0);
    for (int i = 0; i < count; ++i) {
        HICON icon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(icons[i]), IMAGE_ICON, ImageSize, ImageSize, 0);
        ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
    }
    return images;
}

static void CreateImageLists(MainWindow* main) {
    static const int statusIcons[StatusImageCount] = {IDI_STATUS_GREEN, IDI_STATUS_RED, IDI_STATUS_GREY};
    static const int folderIcon[1] = {IDI_FOLDER};
    main->statusImages = IconImageList(main->options.instance, statusIcons, StatusImageCount);
    main->categoryImages = IconImageList(main->options.instance, folderIcon, 1);
}

static int StartsHidden(const char* commandLine) {
    if (commandLine == nullptr) return 0;
    size_t length = std::strlen(commandLine);
    return length > 0 && commandLine[length - 1] == HiddenStartFlag;
}

static void SetCaptionFonts(MainWindow* main) {
    main->captionFont = CreateFontA(CaptionFontHeight, 0, 0, 0, CaptionFontWeight, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                    ANTIALIASED_QUALITY, 0, CaptionFontFace);
    static const int captions[] = {IDC_PROXY_CAPTION, IDC_PORT_CAPTION, IDC_CATEGORY_CAPTION};
    for (int id : captions) SendDlgItemMessageA(main->window, id, WM_SETFONT, (WPARAM)main->captionFont, TRUE);
}

static void InsertColumn(HWND list, int index, const char* header, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = (LPSTR)header;
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

static void PrepareTemplateLists(MainWindow* main) {
    main->categoryList = GetDlgItem(main->window, IDC_CATEGORY_LIST);
    main->portList = GetDlgItem(main->window, IDC_PORT_LIST);
    main->serverTemplate = GetDlgItem(main->window, IDC_SERVER_TEMPLATE);
    // The window owns the image lists; the lists only share them.
    for (HWND list : {main->portList, main->categoryList, main->serverTemplate})
        SetWindowLongA(list, GWL_STYLE, GetWindowLongA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ListView_SetImageList(main->portList, main->statusImages, LVSIL_SMALL);
    ListView_SetImageList(main->categoryList, main->categoryImages, LVSIL_SMALL);
    ListView_SetExtendedListViewStyle(main->portList, LVS_EX_FULLROWSELECT);
    ListView_SetExtendedListViewStyle(main->categoryList, LVS_EX_FULLROWSELECT);
    ListView_SetExtendedListViewStyle(main->serverTemplate, LVS_EX_FULLROWSELECT);
    ShowWindow(main->serverTemplate, SW_HIDE);
}

static void CreateServerLists(MainWindow* main) {
    DWORD style = (DWORD)GetWindowLongA(main->serverTemplate, GWL_STYLE);
    DWORD exStyle = (DWORD)GetWindowLongA(main->serverTemplate, GWL_EXSTYLE);
    style = (style & ~WS_VISIBLE) | LVS_OWNERDATA | LVS_SHAREIMAGELISTS;
    Box box = ChildBox(main, main->serverTemplate);
    for (int slot = 0; slot < ServerListCount; ++slot) {
        HWND list = CreateWindowExA(exStyle, WC_LISTVIEWA, "", style, box.left, box.top, Width(box), Height(box),
                                    main->window, (HMENU)(INT_PTR)IDC_SERVER_LIST, main->options.instance, nullptr);
        main->serverLists[slot] = list;
        SetWindowLongPtrA(list, GWLP_USERDATA, (LONG_PTR)slot);
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
        ListView_SetImageList(list, main->statusImages, LVSIL_SMALL);
        for (int column = 0; column < ServerColumnCount; ++column)
            InsertColumn(list, column, ServerColumnHeaders[column], ServerColumnWidths[column]);
    }
    ShowWindow(CurrentServerList(main), SW_SHOW);
}

static void FillPortAndCategoryLists(MainWindow* main) {
    for (int column = 0; column < PortColumnCount; ++column)
        InsertColumn(main->portList, column, PortColumnHeaders[column], PortColumnWidths[column]);
    InsertColumn(main->categoryList, 0, CategoryColumnHeader, 0);
    for (int i = 0; i < (int)main->catalogue.categories.size(); ++i) main->CategoryInserted(i);
    main->catalogue.observer = main;
    main->ports.observer = main;
}

static HMENU LoadContextMenu(HINSTANCE instance, int id) { return GetSubMenu(LoadMenuA(instance, MAKEINTRESOURCEA(id)), 0); }

static void LoadContextMenus(MainWindow* main) {
    main->serverMenu = LoadContextMenu(main->options.instance, IDM_SERVER_MENU);
    main->portMenu = LoadContextMenu(main->options.instance, IDM_PORT_MENU);
    main->trayMenu = LoadContextMenu(main->options.instance, IDM_TRAY_MENU);
    main->categoryMenu = LoadContextMenu(main->options.instance, IDM_CATEGORY_MENU);
}

static void CreateStatusBar(MainWindow* main) {
    main->statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", main->window, IDC_STATUS_BAR);
    int parts[2] = {StatusBarSplit, -1};
    SendMessageA(main->statusBar, SB_SETPARTS, 2, (LPARAM)parts);
}

static void LoadStoredState(MainWindow* main) {
    if (!main->options.loadState) {
        main->SizeWindow(DefaultWindowWidth, DefaultWindowHeight);
        main->PlaceSplitters(DefaultSplitterTop, DefaultSplitterLeft);
        return;
    }
    WindowsProfile settings(main->paths.settings);
    FileCatalogueStorage storage(main->paths.catalogue);
    LoadState(&main->catalogue, &settings, &storage, main, &main->flags);
    // The servers of user categories are saved only under the names that
    // config.ini holds: when it could not be read, the catalogue file is
    // kept at the save as well.
    if (main->paths.settingsUnread) main->catalogue.fileUnread = 1;
}

static void SetWindowIcons(MainWindow* main) {
    HICON big = LoadIconA(main->options.instance, MAKEINTRESOURCEA(IDI_APP));
    HICON small = (HICON)LoadImageA(main->options.instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, ImageSize,
                                    ImageSize, 0);
    SendMessageA(main->window, WM_SETICON, ICON_BIG, (LPARAM)big);
    SendMessageA(main->window, WM_SETICON, ICON_SMALL, (LPARAM)small);
}

// Everything the window does before it first takes messages, in order.
static void InitMainWindow(MainWindow* main, HWND window) {
    main->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)main);
    OpenWindowCalls(window);
    main->portListThread.window = window;
    main->startHidden = 0;
    CreateImageLists(main);
    main->startHidden = StartsHidden(main->options.commandLine);
    SetCaptionFonts(main);
    SetWindowTextA(window, ManagerTitle);
    main->northSouthCursor = LoadCursorA(nullptr, (LPCSTR)IDC_SIZENS);
    main->westEastCursor = LoadCursorA(nullptr, (LPCSTR)IDC_SIZEWE);
    main->splitterDrag = SplitterIdle;
    PrepareTemplateLists(main);
    CreateServerLists(main);
    FillPortAndCategoryLists(main);
    LoadContextMenus(main);
    if (main->options.loadState) PrepareDataFolder(&main->paths);
    CreateStatusBar(main);
    LoadStoredState(main);
    LayOutWindow(main);
    SetWindowIcons(main);
    if (main->options.startMonitor) StartPortMonitor(&main->monitor, &main->portListThread, &main->ports, &main->host);
    if (main->options.startPorts) StartEnabledPorts(&main->ports, main->options.table, &main->host);
    SetStatusText(main, 0, nullptr);
    UpdateServerCounts(main);
    RefreshCategoryLabels(&main->catalogue);
    RebuildMoveMenu(main);
}

MainWindow* MainWindowOf(HWND window) { return (MainWindow*)GetWindowLongPtrA(window, GWLP_USERDATA); }

// ---- messages ----

static void SwitchCategory(MainWindow* main) {
    int index = NextSelectedRow(main->categoryList, 0);
    if (index < 0 || index >= (int)main->catalogue.categories.size()) return;
    HWND shown = CurrentServerList(main);
    Box box = ChildBox(main, shown);
    ShowWindow(shown, SW_HIDE);
    main->catalogue.currentSlot = main->catalogue.categories[index].slot;
    HWND current = CurrentServerList(main);
    MoveChild(current, box);
    ShowWindow(current, SW_SHOW);
    UpdateServerCounts(main);
}

static int IsServerList(MainWindow* main, HWND control) {
    return control == main->serverTemplate || SlotOfServerList(main, control) >= 0;
}

const WORD SelectAllKey = 'A';

static int ControlKeyDown() { return GetKeyState(VK_CONTROL) < 0; }

static void OnListKey(MainWindow* main, const NMLVKEYDOWN* key) {
    HWND list = key->hdr.hwndFrom;
    int serverList = IsServerList(main, list);
    if (key->wVKey == VK_DELETE) {
        if (serverList) RunCommand(main, IDM_REMOVE_SERVER);
        else if (list == main->portList) RunCommand(main, IDM_REMOVE_PORT);
    } else if (key->wVKey == SelectAllKey && ControlKeyDown() && (serverList || list == main->portList)) {
        // Ctrl+A, as in every multiple-selection list.
        SelectEveryRow(list, 1);
    }
}

static void OnNotify(MainWindow* main, NMHDR* header) {
    int serverList = IsServerList(main, header->hwndFrom);
    switch (header->code) {
    case LVN_GETDISPINFOA: FillDisplayInfoA(main, (NMLVDISPINFOA*)header); break;
    case LVN_GETDISPINFOW: FillDisplayInfoW(main, (NMLVDISPINFOW*)header); break;
    case NM_RCLICK: ShowContextMenu(main, serverList ? IDC_SERVER_LIST : (int)header->idFrom); break;
    case NM_DBLCLK:
        if (serverList) RunCommand(main, IDM_SWITCH_SERVER);
        break;
    case LVN_KEYDOWN: OnListKey(main, (NMLVKEYDOWN*)header); break;
    case LVN_ITEMCHANGED:
        if (header->hwndFrom == main->categoryList) SwitchCategory(main);
        break;
    case LVN_COLUMNCLICK:
        if (serverList) SortCurrentList(main, ((NMLISTVIEW*)header)->iSubItem);
        break;
    default: break;
    }
}

static INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        InitMainWindow((MainWindow*)lParam, window);
        return TRUE;
    }
    MainWindow* main = MainWindowOf(window);
    if (main == nullptr) return FALSE;
    switch (message) {
    case WindowCallsMessage: RunWindowCalls(window); return TRUE;
    case WM_DESTROY: CloseWindowCalls(window); return FALSE;
    case WM_COMMAND: RunCommand(main, LOWORD(wParam)); return TRUE;
    case WM_NOTIFY: OnNotify(main, (NMHDR*)lParam); return TRUE;
    case WM_CLOSE: HideManager(main); return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) LayOutWindow(main);
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        StartSplitterDrag(main, (unsigned)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return TRUE;
    case WM_TIMER: FollowSplitterDrag(main); return TRUE;
    case WM_WINDOWPOSCHANGING:
        if (main->startHidden) ((WINDOWPOS*)lParam)->flags &= ~SWP_SHOWWINDOW;
        return FALSE;
    default: return FALSE;
    }
}

static MainWindow* NewMainWindow(const MainWindowOptions* options) {
    static int controlsReady = 0;
    if (!controlsReady) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        controlsReady = 1;
    }
    MainWindow* main = new MainWindow();
    main->options = *options;
    InitCatalogue(&main->catalogue, nullptr);
    InitPortList(&main->ports, nullptr);
    InitSortState(&main->sort);
    return main;
}

INT_PTR RunMainWindow(const MainWindowOptions* options) {
    MainWindow* main = NewMainWindow(options);
    return DialogBoxParamA(options->instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, (LPARAM)main);
}

HWND CreateMainWindow(const MainWindowOptions* options) {
    MainWindow* main = NewMainWindow(options);
    HWND window = CreateDialogParamA(options->instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                                     (LPARAM)main);
    if (window == nullptr) delete main;
    return window;
}

void DestroyMainWindow(HWND window) {
    MainWindow* main = MainWindowOf(window);
    if (main == nullptr) return;
    StopPortMonitor(&main->monitor);
    DestroyWindow(window);
    DeleteObject(main->captionFont);
    ImageList_Destroy(main->statusImages);
    ImageList_Destroy(main->categoryImages);
    delete main;
}
