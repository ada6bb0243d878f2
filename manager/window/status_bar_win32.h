// The main window's status bar: activity text in part 0, the shown list's
// server counts in part 1.
#pragma once

#include <windows.h>

#include <commctrl.h>

struct MainWindow;

void CreateStatusBar(MainWindow* main);
// Without a text, part 0 shows the default text, whatever part was asked for.
void SetStatusText(MainWindow* main, int part, const char* text);
void UpdateServerCounts(MainWindow* main);
