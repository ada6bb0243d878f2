#include "window_layout_win32.h"

#include <cstring>

#include "../resources/resource_ids.h"
#include "list_views_win32.h"
#include "main_window_win32.h"

Box ToBox(const RECT& rect) { return Box{rect.left, rect.top, rect.right, rect.bottom}; }
RECT ToRect(const Box& box) { return RECT{box.left, box.top, box.right, box.bottom}; }

Box ChildBox(MainWindow* main, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, main->window, (POINT*)&rect, 2);
    return ToBox(rect);
}

void MoveChild(HWND child, const Box& box) {
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
void HoldSplitters(MainWindow* main, int* top, int* left) {
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
