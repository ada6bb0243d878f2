// The one path from worker threads to the window thread. A worker hands a
// function and its argument to RunOnWindowThread and waits until the window
// thread has run it. The call waits in a queue of this process; the window
// message that wakes the window thread carries nothing, so a message from
// another thread or process finds no call of its own to run.
#pragma once

#include <windows.h>

#include "call_queue.h"

// Wakes the window thread to run the calls queued for the window; its
// parameters are ignored.
const UINT WindowCallsMessage = WM_APP + 1;

// For the window, before any worker may call: from now on its calls are
// taken. 0 when no more windows can take calls.
int OpenWindowCalls(HWND window);
// Ends the window's calls: callers whose call has not started go on with 0,
// later calls return 0 at once, and no call starts after this. At Exit,
// before the process ends, and when the window is destroyed.
void CloseWindowCalls(HWND window);

// From any thread: runs function(argument) on the window's thread and waits
// for it, however long it takes. 1 when it ran whole, 0 when it never ran
// (the window closed its calls, or never opened them). The argument may point
// into the caller's frame; a batch of changes is one call carrying them all.
// A call that opens a modal loop (a message box, a dialog) lets other calls
// run inside it.
int RunOnWindowThread(HWND window, WindowThreadFunction function, void* argument);

// For the window procedure, on WindowCallsMessage: runs the window's queued
// calls, oldest first.
void RunWindowCalls(HWND window);

// On a window's thread: waits for the handle (a worker thread, say) while
// running the calls queued for this thread's windows and the messages sent
// to it, so that a worker waiting in a call can reach its end. 1 when the
// handle was signalled, 0 when it cannot be waited for.
int WaitServingWindowCalls(HANDLE handle);
