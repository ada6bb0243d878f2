#include "testing_dialog_win32.h"

#include <commctrl.h>

#include "../resources/resource_ids.h"
#include "main_window_win32.h"

const UINT_PTR TestingTimerId = 0;

// ---- the window as a test run sees it ----

int WindowTestRun::RunCall(void (*function)(void* argument), void* argument) {
    return RunOnWindowThread(main->window, function, argument);
}

void WindowTestRun::WaitServingCalls(HANDLE handle) { WaitServingWindowCalls(handle); }

CheckTime WindowTestRun::Now() {
    SYSTEMTIME now = {};
    main->localTime(&now);
    return CheckTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute};
}

void WindowTestRun::ShowStatus(const char* text) { SetStatusText(main, 0, text); }

// ---- the dialog ----

static TestingDialog* DialogOf(HWND dialog) { return (TestingDialog*)GetWindowLongPtrA(dialog, DWLP_USER); }

static void ShowProgress(HWND dialog, MainWindow* main) {
    const TestRun& run = main->testRun;
    SendDlgItemMessageA(dialog, IDC_TESTING_BAR, PBM_SETPOS, (WPARAM)run.tested, 0);
    int selected = (int)ListView_GetSelectedCount(CurrentServerList(main));
    SetDlgItemTextA(dialog, IDC_TESTING_PROGRESS, TestingProgressText(run.tested, selected).c_str());
    SetDlgItemTextA(dialog, IDC_TESTING_COUNTS, TestingCountsText(run.alive, run.dead).c_str());
}

static void OpenTesting(HWND dialog, TestingDialog* testing) {
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)testing);
    MainWindow* main = testing->main;
    std::vector<int> rows = SelectedRows(CurrentServerList(main));
    OpenTestRun(&main->testRun, &main->catalogue, rows, main->testing);
    SendDlgItemMessageA(dialog, IDC_TESTING_BAR, PBM_SETRANGE32, 0, (LPARAM)main->testRun.rows.size());
    SendDlgItemMessageA(dialog, IDC_TESTING_BAR, PBM_SETPOS, 0, 0);
    ShowProgress(dialog, main);
    StartTestBatch(&testing->batch, main->probeEngine, &main->testRun, &main->testRunWindow);
    SetTimer(dialog, TestingTimerId, main->probeTickMilliseconds, nullptr);
}

static void Tick(HWND dialog, TestingDialog* testing) {
    ShowProgress(dialog, testing->main);
    TickProbes(testing->main->probeEngine);
}

static void CloseTesting(HWND dialog, TestingDialog* testing) {
    if (testing->closing) return;  // a close sent while the closing waits
    testing->closing = 1;
    KillTimer(dialog, TestingTimerId);
    CloseTestBatch(&testing->batch);
    RefreshCategoryLabels(&testing->main->catalogue);
    UpdateServerCounts(testing->main);
    EndDialog(dialog, 0);
}

static INT_PTR CALLBACK TestingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    TestingDialog* testing = DialogOf(dialog);
    switch (message) {
    case WM_INITDIALOG: OpenTesting(dialog, (TestingDialog*)lParam); return TRUE;
    case WM_TIMER:
        if (testing != nullptr && !testing->closing) Tick(dialog, testing);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && testing != nullptr) CloseTesting(dialog, testing);
        return TRUE;
    case WM_CLOSE: SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); return TRUE;
    default: return FALSE;
    }
}

void RunTestingDialog(MainWindow* main) {
    TestingDialog testing = {};
    testing.main = main;
    DialogBoxParamA(main->options.instance, MAKEINTRESOURCEA(IDD_TESTING), main->window, TestingDialogProc,
                    (LPARAM)&testing);
}
