// The manager's icon in the notification area: added during the window's
// initialisation, added again whenever the notification area is re-created
// (Explorer restarted), removed at Exit. A left press shows the manager, a
// right press opens the tray menu.
#pragma once

#include <windows.h>

#include <shellapi.h>

struct MainWindow;

// The first user message number 1024 plus 10000.
const UINT TrayCallbackMessage = WM_USER + 10000;

// What adds and deletes the icon; tests put a recorder here.
typedef BOOL(WINAPI* NotifyIconFunction)(DWORD message, NOTIFYICONDATAA* data);

// on: adds the icon (the record filled on the first call); off: deletes it.
void SetTrayIcon(MainWindow* main, int on);
// The message the shell broadcasts when the notification area is new.
UINT TaskbarCreatedMessage();
// The callback message's mouse message (its second parameter).
void OnTrayCallback(MainWindow* main, LPARAM mouseMessage);
