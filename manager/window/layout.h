// The main window's geometry, as arithmetic on rectangles: where the lists
// and captions go on a size change, the corrections that keep the window
// usable, and the limits of a splitter drag. All values are pixels.
#pragma once

#include "../catalogue/settings.h"

struct Box {
    int left;
    int top;
    int right;
    int bottom;
};

inline int Width(const Box& box) { return box.right - box.left; }
inline int Height(const Box& box) { return box.bottom - box.top; }

const int MinimumWindowSize = 400;
const int OffScreenLimit = -300;
const int PaneGap = 3;                  // between the vertical bar and the right-hand pane
const int PortListGapAboveCaption = 5;
const int SplitterThickness = 7;        // as placed at start-up
const int DraggedVerticalBarWidth = 5;
const int SplitterFullLength = 65535;
const int DragMarginNear = 180;         // from the window's top or left
const int DragMarginFar = 150;          // from its bottom or right

// The window's screen rectangle after the corrections, applied in order:
// left edge below -300 to x 0, top edge below -300 to y 0, then at least
// 400 wide and 400 high.
Box CorrectWindow(Box window);

struct LayoutInput {
    Box client;           // the window's client rectangle
    int statusBarHeight;
    Box verticalBar;      // client coordinates
    Box horizontalBar;
    Box proxyCaption;     // as they are now
    Box portCaption;
    Box categoryList;
    Box portList;
};

struct LayoutResult {
    Box proxyCaption;
    Box serverList;
    Box portCaption;
    Box categoryList;
    Box portList;
};

LayoutResult LayOut(const LayoutInput& in);

// Where the cursor is confined while a bar is dragged (screen coordinates).
Box HorizontalDragArea(Box window);
Box VerticalDragArea(Box window);

// A bar's client position (the horizontal bar's top, the vertical bar's
// left edge) held where a drag could have put it, so that the lists on both
// sides stay in sight whatever was stored or the window's size became.
// window: the window's screen rectangle; clientTop, clientLeft: where its
// client area begins on the screen.
int HeldSplitterTop(int top, Box window, int clientTop);
int HeldSplitterLeft(int left, Box window, int clientLeft);

// A stored window rectangle (any values) as a box on the screen: each size
// at least the minimum, the far edges held within int.
Box StoredWindowBox(const WindowRect& stored);

// A stored window rectangle fitted to the work area of the monitor nearest
// to it: each size at least the minimum and at most the work area's; moved
// into the work area along a side where it had to shrink, and wholly when it
// lay on no monitor at all (one since unplugged). A rectangle that fits
// stays as it is.
WindowRect FitWindowRect(const WindowRect& stored, Box workArea, int onAMonitor);

// GetWindowPlacement's rectangles are in workspace coordinates, offset from
// the screen's by the space the taskbar takes on the window's monitor.
Box WorkspaceToScreen(Box rect, Box monitor, Box workArea);

// A drag starts only with the left button alone (no other button, Shift or Ctrl).
const unsigned LeftButtonState = 0x0001;
inline int StartsDrag(unsigned keyState) { return keyState == LeftButtonState; }

inline int Contains(const Box& box, int x, int y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}
