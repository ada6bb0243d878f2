// The update check: once per start a thread of its own asks the web service
// for its newest version and, when it is newer, shows the offer.
#pragma once

#include <windows.h>

#include <string>

#include "internet_win32.h"
#include "version_reply.h"

// The window as the update thread reaches it; both are called on the update
// thread.
class UpdateCheckWindow {
public:
    virtual ~UpdateCheckWindow() {}
    // Waits until the offer may appear: the manager is shown. 0 when it
    // never will be (the window goes away).
    virtual int WaitUntilShown() = 0;
    // Shows the offer on the window's thread and returns when the user has
    // answered it.
    virtual void ShowOffer(const UpdateOffer* offer) = 0;
};

struct UpdateCheck {
    Fetch fetch;
    HANDLE thread;
    std::string url;
    int neverResolvable;
    UpdateCheckWindow* window;
    UpdateOffer offer;
};

// Starts CheckForUpdate; nothing happens when no thread can be started.
void StartUpdateCheck(UpdateCheck* check, const char* url, int neverResolvable, UpdateCheckWindow* window);
// For a window that goes away: the transfer stops, and once the window has
// let WaitUntilShown return and closed the offer, the thread is waited for.
void StopUpdateCheck(UpdateCheck* check, DWORD milliseconds);
