#include "download_dialog_win32.h"

#include <commctrl.h>

#include <cstdio>

#include "../resources/resource_ids.h"
#include "../webservice/service_settings.h"
#include "../webservice/webservice_texts.h"
#include "main_window_win32.h"

const UINT_PTR ForcedCloseTimerId = 1;
// How long Close waits for a download thread held up in the network.
const UINT ForcedCloseMilliseconds = 500;
const int InitialProgressRange = 100;

static void ShowFound(HWND dialog, int found) {
    char text[64];
    std::snprintf(text, sizeof text, NewProxiesFormat, found);
    SetDlgItemTextA(dialog, IDC_DOWNLOAD_FOUND, text);
}

// ---- the window as a download sees it ----

int WindowListDownload::RunCall(void (*function)(void* argument), void* argument) {
    return RunOnWindowThread(main->window, function, argument);
}

// The dialog that shows this download, or nullptr once it has ended.
static HWND DialogShowing(MainWindow* main, ListDownload* download) {
    return main->download == download ? main->downloadDialog : nullptr;
}

void WindowListDownload::Begin(ListDownload* download) {
    SetStatusText(main, 0, DownloadStatusText);
    HWND dialog = DialogShowing(main, download);
    if (dialog != nullptr) SetDlgItemTextA(dialog, IDC_DOWNLOAD_STATE, DownloadingText);
}

void WindowListDownload::Progress(ListDownload* download, int range, int position) {
    HWND dialog = DialogShowing(main, download);
    if (dialog == nullptr) return;
    SendDlgItemMessageA(dialog, IDC_DOWNLOAD_BAR, PBM_SETRANGE32, 0, (LPARAM)range);
    SendDlgItemMessageA(dialog, IDC_DOWNLOAD_BAR, PBM_SETPOS, (WPARAM)position, 0);
}

int WindowListDownload::AddToNew(ListDownload*, const std::vector<NewServer>& servers) {
    return AddServerRows(&main->catalogue, NewSlot, servers);
}

void WindowListDownload::Finish(ListDownload* download, int failed, int found) {
    HWND dialog = DialogShowing(main, download);
    if (dialog != nullptr) {
        SetDlgItemTextA(dialog, IDC_DOWNLOAD_STATE, failed ? DownloadErrorText : DownloadCompleteText);
        ShowFound(dialog, found);
    }
    UpdateServerCounts(main);
    RefreshCategoryLabels(&main->catalogue);
    SetStatusText(main, 0, nullptr);
}

void WindowListDownload::Cancelled(ListDownload* download) {
    if (main->download != download) return;  // its dialog has gone, and the status text with it
    SetStatusText(main, 0, nullptr);
    if (main->downloadDialog != nullptr) EndDialog(main->downloadDialog, 0);
}

// ---- the dialog ----

static void OpenDownload(HWND dialog, MainWindow* main) {
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)main);
    main->downloadDialog = dialog;
    SendDlgItemMessageA(dialog, IDC_DOWNLOAD_BAR, PBM_SETRANGE32, 0, InitialProgressRange);
    SendDlgItemMessageA(dialog, IDC_DOWNLOAD_BAR, PBM_SETPOS, 0, 0);
    main->download = StartListDownload(ProxyListUrl(main->service).c_str(), IsNeverResolvable(main->service),
                                       &main->downloadWindow);
    if (main->download == nullptr) {
        SetDlgItemTextA(dialog, IDC_DOWNLOAD_STATE, DownloadErrorText);
        ShowFound(dialog, 0);
    }
}

static void CloseDownload(HWND dialog, MainWindow* main) {
    ListDownload* download = main->download;
    if (download != nullptr) CancelListDownload(download);
    // A transfer under way ends the dialog itself once it sees the cancel.
    if (download != nullptr && download->busy) {
        SetTimer(dialog, ForcedCloseTimerId, ForcedCloseMilliseconds, nullptr);
    } else {
        EndDialog(dialog, 0);
    }
}

// The download thread has not come back from the network: the dialog ends
// without it, and the thread adds nothing when it does come back.
static void ForceClose(HWND dialog, MainWindow* main) {
    KillTimer(dialog, ForcedCloseTimerId);
    SetStatusText(main, 0, nullptr);
    EndDialog(dialog, 0);
}

static INT_PTR CALLBACK DownloadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    MainWindow* main = (MainWindow*)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (message) {
    case WM_INITDIALOG: OpenDownload(dialog, (MainWindow*)lParam); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && main != nullptr) CloseDownload(dialog, main);
        return TRUE;
    case WM_CLOSE: SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); return TRUE;
    case WM_TIMER:
        if (wParam == ForcedCloseTimerId && main != nullptr) ForceClose(dialog, main);
        return TRUE;
    default: return FALSE;
    }
}

void RunDownloadDialog(MainWindow* main) {
    DialogBoxParamA(main->options.instance, MAKEINTRESOURCEA(IDD_DOWNLOAD), main->window, DownloadDialogProc,
                    (LPARAM)main);
    main->downloadDialog = nullptr;
    ListDownload* download = main->download;
    main->download = nullptr;
    if (download != nullptr) ReleaseListDownload(download);
}
