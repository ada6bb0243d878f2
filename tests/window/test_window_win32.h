// The manager's main window in the test's own thread: modeless, with the
// test's own port table, no files, no relays and no port monitor.
#pragma once

#include <windows.h>

#include "manager/window/main_window_win32.h"

inline HWND CreateTestMainWindow(SharedPortTable* table, const char* commandLine = "") {
    MainWindowOptions options = {};
    options.instance = GetModuleHandleA(nullptr);
    options.table = table;
    options.commandLine = commandLine;
    return CreateMainWindow(&options);
}
