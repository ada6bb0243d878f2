#include "tray_icon_win32.h"

#include <cstring>

#include "../resources/resource_ids.h"
#include "main_window_win32.h"
#include "window_texts.h"

const UINT TrayIconId = 0;
const char* const TaskbarCreatedName = "TaskbarCreated";

// The shell's first-version record: owner, id, callback message, icon and
// tip (88 bytes in a 32-bit program, 104 in a 64-bit one).
static void FillTrayRecord(MainWindow* main) {
    NOTIFYICONDATAA& record = main->trayRecord;
    std::memset(&record, 0, sizeof record);
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = main->window;
    record.uID = TrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = TrayCallbackMessage;
    record.hIcon = (HICON)LoadImageA(main->options.instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    std::strncpy(record.szTip, TrayTip, sizeof record.szTip - 1);
}

void SetTrayIcon(MainWindow* main, int on) {
    if (on && main->trayRecord.cbSize == 0) FillTrayRecord(main);
    if (main->trayRecord.cbSize == 0) return;  // never added
    main->notifyIcon(on ? NIM_ADD : NIM_DELETE, &main->trayRecord);
}

UINT TaskbarCreatedMessage() {
    static UINT message = RegisterWindowMessageA(TaskbarCreatedName);
    return message;
}

static void ShowTrayMenu(MainWindow* main) {
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the window in the foreground the menu would stay open when
    // the user clicks elsewhere.
    SetForegroundWindow(main->window);
    TrackPopupMenu(main->trayMenu, TPM_LEFTALIGN | TPM_TOPALIGN, cursor.x, cursor.y, 0, main->window, nullptr);
    PostMessageA(main->window, WM_NULL, 0, 0);
}

void OnTrayCallback(MainWindow* main, LPARAM mouseMessage) {
    switch (mouseMessage) {
    case WM_LBUTTONDOWN: SendMessageA(main->window, WM_COMMAND, MAKEWPARAM(IDM_SHOW_MANAGER, 0), 0); break;
    case WM_RBUTTONDOWN: ShowTrayMenu(main); break;
    default: break;  // releases and double-clicks do nothing
    }
}
