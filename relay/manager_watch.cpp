#include "manager_watch.h"

#include "../shared/port_table.h"
#include "connection_slots.h"

static const DWORD ManagerPollMilliseconds = 500;

void EndRelay() { ExitProcess(0); }

DWORD WINAPI ManagerWatchThread(LPVOID) {
    for (;;) {
        HANDLE manager = OpenEventA(EVENT_ALL_ACCESS, FALSE, MainEventName);
        if (manager == nullptr) EndRelay();
        CloseHandle(manager);
        // The same poll ends half-closed connections that have gone quiet
        // for their limit: no wake-up of its own.
        CloseHalfClosedPastLimit();
        Sleep(ManagerPollMilliseconds);
    }
}
