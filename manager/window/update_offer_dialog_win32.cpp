#include "update_offer_dialog_win32.h"

#include "../resources/resource_ids.h"
#include "../webservice/webservice_texts.h"
#include "main_window_win32.h"

static UpdateOfferDialogData* DataOf(HWND dialog) {
    return (UpdateOfferDialogData*)GetWindowLongPtrA(dialog, DWLP_USER);
}

static void OpenOffer(HWND dialog, UpdateOfferDialogData* data) {
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)data);
    if (data->shownDialog != nullptr) *data->shownDialog = dialog;
    SetWindowTextA(dialog, data->offer->title);
    SetDlgItemTextA(dialog, IDC_OFFER_MESSAGE, data->offer->message);
    SetDlgItemTextA(dialog, IDC_OFFER_CAPTION, data->offer->caption);
    if (!OfferHasLink(data->offer)) {
        ShowWindow(GetDlgItem(dialog, IDOK), SW_HIDE);
        SetDlgItemTextA(dialog, IDCANCEL, OfferCloseText);
    }
}

static void Answer(HWND dialog, UpdateOfferDialogData* data, int id) {
    // Enter on a hidden Yes button must not open anything.
    if (id == IDOK && !OfferHasLink(data->offer)) return;
    if (id == IDOK) data->openLink(data->offer->link);
    EndDialog(dialog, id);
}

static INT_PTR CALLBACK UpdateOfferDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    UpdateOfferDialogData* data = DataOf(dialog);
    switch (message) {
    case WM_INITDIALOG: OpenOffer(dialog, (UpdateOfferDialogData*)lParam); return TRUE;
    case WM_COMMAND:
        if (data != nullptr && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
            Answer(dialog, data, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    case WM_WINDOWPOSCHANGING:
        if (data != nullptr && *data->startHidden) ((WINDOWPOS*)lParam)->flags &= ~SWP_SHOWWINDOW;
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR RunUpdateOfferDialog(HINSTANCE instance, HWND owner, UpdateOfferDialogData* data) {
    INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UPDATE_OFFER), owner, UpdateOfferDialogProc,
                                     (LPARAM)data);
    if (data->shownDialog != nullptr) *data->shownDialog = nullptr;
    return answer;
}

// ---- the main window as the update check sees it ----

int WindowUpdateCheck::WaitUntilShown() {
    HANDLE events[2] = {main->shownEvent, main->closingEvent};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 &&
           WaitForSingleObject(main->closingEvent, 0) != WAIT_OBJECT_0;
}

struct OfferCall {
    MainWindow* main;
    const UpdateOffer* offer;
};

static void ShowOfferOnWindowThread(void* argument) {
    OfferCall* call = (OfferCall*)argument;
    MainWindow* main = call->main;
    UpdateOfferDialogData data = {call->offer, &main->startHidden, main->shellOpen, &main->offerDialog};
    RunUpdateOfferDialog(main->options.instance, main->window, &data);
}

// A window that is going away has closed its calls: the offer never opens.
void WindowUpdateCheck::ShowOffer(const UpdateOffer* offer) {
    OfferCall call = {main, offer};
    RunOnWindowThread(main->window, ShowOfferOnWindowThread, &call);
}
