#include "tests/window/dialog_visit_win32.h"

#include <commctrl.h>

#include "manager/resources/resource_ids.h"

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    for (DWORD start = GetTickCount();; Sleep(20)) {
        if (condition()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
    }
}

bool WaitHandlingMessages(const std::function<bool()>& condition, DWORD milliseconds) {
    return WaitUntil(
        [&] {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            return condition();
        },
        milliseconds);
}

std::string ItemText(HWND dialog, int id) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::string WindowTitle(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string StatusPart(HWND window, int part) {
    char text[256] = "";
    SendDlgItemMessageA(window, IDC_STATUS_BAR, SB_GETTEXTA, (WPARAM)part, (LPARAM)text);
    return text;
}

ProgressBar ReadProgressBar(HWND dialog, int id) {
    ProgressBar bar;
    PBRANGE range = {-1, -1};
    SendDlgItemMessageA(dialog, id, PBM_GETRANGE, FALSE, (LPARAM)&range);
    bar.low = range.iLow;
    bar.high = range.iHigh;
    bar.position = (int)SendDlgItemMessageA(dialog, id, PBM_GETPOS, 0, 0);
    return bar;
}

struct DialogSearch {
    const DialogVisit* visit;
    DWORD thread;
    HWND found;
};

static BOOL CALLBACK FindDialog(HWND window, LPARAM argument) {
    DialogSearch* search = (DialogSearch*)argument;
    // Only the window thread's windows, when the dialog is its: that thread
    // answers the title's message.
    if (search->visit->ownerThread && GetWindowThreadProcessId(window, nullptr) != search->thread) return TRUE;
    if (GetWindow(window, GW_OWNER) != search->visit->owner) return TRUE;
    if (!search->visit->title.empty() && WindowTitle(window) != search->visit->title) return TRUE;
    search->found = window;
    return FALSE;
}

static void CloseDialog(DialogVisit* visit, HWND dialog) {
    DWORD start = GetTickCount();
    switch (visit->close) {
    case CloseByCancel: SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); break;
    case CloseByOk: SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); break;
    case CloseByWindowClose: SendMessageA(dialog, WM_CLOSE, 0, 0); break;
    case CloseByEscape:
        // The dialog's loop turns the key into IDCANCEL.
        PostMessageA(GetDlgItem(dialog, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(GetDlgItem(dialog, IDCANCEL), WM_KEYUP, VK_ESCAPE, 0xC0000001);
        break;
    }
    visit->closedAsAsked = WaitUntil([&] { return !IsWindow(dialog); }, StepWaitMs);
    visit->closeMs = GetTickCount() - start;
    // However the test went, the window thread must get out of the dialog.
    if (!visit->closedAsAsked) SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

static DWORD WINAPI VisitDialog(void* argument) {
    DialogVisit* visit = (DialogVisit*)argument;
    DialogSearch search = {visit, GetWindowThreadProcessId(visit->owner, nullptr), nullptr};
    visit->found = WaitUntil(
        [&] {
            EnumWindows(FindDialog, (LPARAM)&search);
            return search.found != nullptr;
        },
        visit->findWaitMs);
    if (!visit->found) return 0;
    HWND dialog = search.found;
    visit->reached = !visit->ready || WaitUntil([&] { return visit->ready(dialog); }, StepWaitMs);
    if (visit->note) visit->note(dialog);
    CloseDialog(visit, dialog);
    return 0;
}

HANDLE StartDialogVisit(DialogVisit* visit) { return CreateThread(nullptr, 0, VisitDialog, visit, 0, nullptr); }

void ServeUntil(HANDLE handle) {
    // The helper may still wait for an answer from this thread; each of its
    // waits is bounded, so it ends.
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
}

void RunCommandWithVisit(HWND window, int command, DialogVisit* visit) {
    visit->owner = window;
    HANDLE helper = StartDialogVisit(visit);
    if (helper == nullptr) return;
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    ServeUntil(helper);
    CloseHandle(helper);
}
