// The main window's layout on the screen: the lists and captions placed
// after every size change, the window kept usable, and the splitter drags.
// The arithmetic is in layout.h.
#pragma once

#include <windows.h>

#include "layout.h"

struct MainWindow;

enum SplitterDragState { SplitterIdle = 0, DraggingHorizontal = 2, DraggingVertical = 3 };

Box ToBox(const RECT& rect);
RECT ToRect(const Box& box);
// A child window's rectangle in the main window's client coordinates.
Box ChildBox(MainWindow* main, HWND child);
void MoveChild(HWND child, const Box& box);
// The bars' client positions held where a drag could put them in the
// window as it is now.
void HoldSplitters(MainWindow* main, int* top, int* left);

void LayOutWindow(MainWindow* main);
// A splitter drag: started by the mouse on a bar, followed and ended on the
// window's timer while the left button is down.
void StartSplitterDrag(MainWindow* main, unsigned keyState, int x, int y);
void FollowSplitterDrag(MainWindow* main);
