// The update offer (resource 120): the web service's title, message and
// caption; "Yes" opens the offered link when it is a web address. It runs on
// the window thread, owned by the main window, and stays invisible while the
// manager starts hidden.
#pragma once

#include <windows.h>

#include "../webservice/update_check_win32.h"

struct MainWindow;

// Everything here is the window thread's.
struct UpdateOfferDialogData {
    const UpdateOffer* offer;
    const int* startHidden;
    void (*openLink)(const char* link);
    HWND* shownDialog;  // the dialog while it is open, for a window that goes away
};

// Modal over the owner; IDOK when the user chose Yes.
INT_PTR RunUpdateOfferDialog(HINSTANCE instance, HWND owner, UpdateOfferDialogData* data);

// The main window as the update check reaches it: the thread waits until
// the manager is shown, then the offer runs on the window thread.
struct WindowUpdateCheck : public UpdateCheckWindow {
    MainWindow* main = nullptr;
    int WaitUntilShown() override;
    void ShowOffer(const UpdateOffer* offer) override;
};
