// The main window's commands: one table from command id to handler, and
// the context menus with their enabling rules.
#pragma once

#include "main_window_win32.h"

// Runs the command; 0 when the id is not in the table.
int RunCommand(MainWindow* main, int id);

// The context menu of a list (control id), with its items enabled or greyed
// as they would be shown now; null for a list without one.
HMENU PrepareContextMenu(MainWindow* main, int controlId);
void ShowContextMenu(MainWindow* main, int controlId);
// The "Move to Category" submenu: one entry per category, with its label.
void RebuildMoveMenu(MainWindow* main);

void SortCurrentList(MainWindow* main, int column);
