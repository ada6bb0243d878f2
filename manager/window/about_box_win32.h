// The About box (resource 111): the version and three links in blue, each
// opened by a click. The hand cursor follows the mouse over a link; the box
// watches the mouse's moves instead of polling it, so it costs nothing
// while the mouse rests.
#pragma once

#include <windows.h>

struct MainWindow;

struct AboutBox {
    void (*shellOpen)(const char* target);  // opens a link
    HCURSOR hand;
    HBRUSH face;   // the links' background: the button face
    int hovered;   // NoLink, or the link under the cursor
    int tracking;  // a leave notice is asked for
};

// Modal over the owner, until Close or the close box.
void RunAboutBox(HWND owner, void (*shellOpen)(const char* target));
