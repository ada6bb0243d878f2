// The one path from worker threads to the window thread: a synchronous
// message carrying a function and its argument, run by the window's
// procedure, one call at a time.
#pragma once

#include <windows.h>

const UINT RunOnWindowThreadMessage = WM_APP + 1;

typedef void (*WindowThreadFunction)(void* argument);

// Runs function(argument) on the thread that owns the window and waits for
// it. Returns 0 when the window is gone (nothing ran).
inline int RunOnWindowThread(HWND window, WindowThreadFunction function, void* argument) {
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutA(window, RunOnWindowThreadMessage, (WPARAM)function, (LPARAM)argument,
                                       SMTO_NORMAL, 5000, &result);
    return sent != 0 && result != 0;
}

// For the window procedure: runs a call that arrived; returns 1 (handled).
inline LRESULT HandleWindowThreadCall(WPARAM wParam, LPARAM lParam) {
    WindowThreadFunction function = (WindowThreadFunction)wParam;
    if (function != nullptr) function((void*)lParam);
    return 1;
}
