#include "layout.h"

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
