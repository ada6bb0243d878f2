#include "layout.h"

#include <climits>

static Box MovedTo(Box box, int left, int top) {
    Box moved = {left, top, left + Width(box), top + Height(box)};
    return moved;
}

Box CorrectWindow(Box window) {
    if (window.left < OffScreenLimit) window = MovedTo(window, 0, window.top);
    if (window.top < OffScreenLimit) window = MovedTo(window, window.left, 0);
    if (Width(window) < MinimumWindowSize) window.right = window.left + MinimumWindowSize;
    if (Height(window) < MinimumWindowSize) window.bottom = window.top + MinimumWindowSize;
    return window;
}

LayoutResult LayOut(const LayoutInput& in) {
    LayoutResult out;
    int usableBottom = in.client.bottom - in.statusBarHeight;
    int paneLeft = in.verticalBar.right + PaneGap;
    int paneWidth = in.client.right - in.verticalBar.right - 2 * PaneGap;

    out.proxyCaption = MovedTo(in.proxyCaption, paneLeft, in.horizontalBar.bottom);
    out.serverList = Box{paneLeft, out.proxyCaption.bottom, paneLeft + paneWidth, usableBottom};
    out.portCaption = MovedTo(in.portCaption, paneLeft, in.portCaption.top);
    out.categoryList = Box{in.categoryList.left, in.categoryList.top, in.verticalBar.left, usableBottom};
    out.portList = Box{paneLeft, in.portList.top, paneLeft + paneWidth, out.proxyCaption.top - PortListGapAboveCaption};
    return out;
}

Box HorizontalDragArea(Box window) {
    window.top += DragMarginNear;
    window.bottom -= DragMarginFar;
    return window;
}

Box VerticalDragArea(Box window) {
    window.left += DragMarginNear;
    window.right -= DragMarginFar;
    return window;
}

static long long Held(long long value, long long low, long long high) {
    if (value > high) value = high;
    if (value < low) value = low;
    return value;
}

int HeldSplitterTop(int top, Box window, int clientTop) {
    Box area = HorizontalDragArea(window);
    return (int)Held(top, (long long)area.top - clientTop, (long long)area.bottom - 1 - clientTop);
}

int HeldSplitterLeft(int left, Box window, int clientLeft) {
    Box area = VerticalDragArea(window);
    return (int)Held(left, (long long)area.left - clientLeft, (long long)area.right - 1 - clientLeft);
}

static int AtLeastMinimum(int size) { return size < MinimumWindowSize ? MinimumWindowSize : size; }

Box StoredWindowBox(const WindowRect& stored) {
    long long right = (long long)stored.left + AtLeastMinimum(stored.width);
    long long bottom = (long long)stored.top + AtLeastMinimum(stored.height);
    return Box{stored.left, stored.top, (int)Held(right, INT_MIN, INT_MAX), (int)Held(bottom, INT_MIN, INT_MAX)};
}

// One side: the size no larger than the room, the position moved into the
// room when asked or when the size had to shrink.
static void FitSide(int* position, int* size, int roomStart, int roomSize, int moveIn) {
    int wanted = AtLeastMinimum(*size);
    *size = wanted > roomSize ? roomSize : wanted;
    if (moveIn || *size < wanted) *position = (int)Held(*position, roomStart, (long long)roomStart + roomSize - *size);
}

WindowRect FitWindowRect(const WindowRect& stored, Box workArea, int onAMonitor) {
    WindowRect fitted = stored;
    FitSide(&fitted.left, &fitted.width, workArea.left, Width(workArea), !onAMonitor);
    FitSide(&fitted.top, &fitted.height, workArea.top, Height(workArea), !onAMonitor);
    return fitted;
}

Box WorkspaceToScreen(Box rect, Box monitor, Box workArea) {
    int dx = workArea.left - monitor.left;
    int dy = workArea.top - monitor.top;
    return Box{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}
