// The server list to and from files and the clipboard: Export to text file,
// Import from text file and Copy Server Address, all on the current
// category.
#pragma once

#include <windows.h>

#include <commdlg.h>

struct MainWindow;

// What shows the system's file dialogs; tests put a function here that
// checks the request and names a file.
typedef BOOL(WINAPI* FileDialogFunction)(OPENFILENAMEA* request);

const int FileDialogPathSize = 300;

// The Save dialog's request: title "Export list", one filter "All files",
// the caller's 300-character buffer; it asks before an existing file is
// replaced, and leaves the current folder as it was.
OPENFILENAMEA ExportDialogRequest(HWND owner, char* path);
// The Open dialog's request for an import; the current folder stays too.
OPENFILENAMEA ImportDialogRequest(HWND owner, char* path);

// Every row's address, each followed by CR LF; the chosen file is replaced
// whole, or left as it was when the new one cannot be written.
void ExportServerList(MainWindow* main);
// The file's servers into the current category, counted in the status bar.
void ImportServerList(MainWindow* main);
// The selected rows' addresses, each followed by CR LF, as CF_TEXT.
void CopyServerAddresses(MainWindow* main);
