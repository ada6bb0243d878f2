#include "window_thread_win32.h"

// Windows that take calls at the same time: the main window, and the tests'.
const int WindowPathCount = 8;
// How often a waiting caller checks that its window still exists.
const DWORD WindowCheckMs = 1000;
// How often a window thread that waits for a worker looks at its queue, and
// how many paints it carries out each time.
const DWORD AnswerCheckMs = 100;
const int PaintsPerWake = 64;

struct WindowPath {
    HWND window;   // null: the entry is free
    DWORD thread;  // the window's thread, the only one that runs its calls
    CallQueue queue;
};

struct WindowPaths {
    CRITICAL_SECTION lock;
    WindowPath paths[WindowPathCount];
    WindowPaths() : paths() { InitializeCriticalSection(&lock); }
};

static WindowPaths& Paths() {
    static WindowPaths paths;
    return paths;
}

class PathsLock {
public:
    PathsLock() { EnterCriticalSection(&Paths().lock); }
    ~PathsLock() { LeaveCriticalSection(&Paths().lock); }
    PathsLock(const PathsLock&) = delete;
    PathsLock& operator=(const PathsLock&) = delete;
};

// Under the lock: the window's entry (a free one for null), or null.
static WindowPath* FindPath(HWND window) {
    for (WindowPath& path : Paths().paths)
        if (path.window == window) return &path;
    return nullptr;
}

int OpenWindowCalls(HWND window) {
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (window == nullptr || thread == 0) return 0;
    PathsLock lock;
    if (FindPath(window) != nullptr) return 1;
    WindowPath* path = FindPath(nullptr);
    if (path == nullptr) return 0;
    path->window = window;
    path->thread = thread;
    InitCallQueue(&path->queue);
    return 1;
}

// The last touch of a call: once signalled, its caller may go on and its
// record is gone.
static void FinishCall(QueuedCall* call, int outcome) {
    HANDLE done = (HANDLE)call->done;
    call->outcome = outcome;
    SetEvent(done);
}

void CloseWindowCalls(HWND window) {
    if (window == nullptr) return;
    QueuedCall* released = nullptr;
    {
        PathsLock lock;
        WindowPath* path = FindPath(window);
        if (path == nullptr) return;
        released = CloseCallQueue(&path->queue);
        path->window = nullptr;
    }
    while (released != nullptr) {
        QueuedCall* call = released;
        released = call->next;
        FinishCall(call, CallNeverRan);
    }
}

// Queues the call for the window; returns the window's thread, or 0 when the
// window takes no calls.
static DWORD QueueWindowCall(HWND window, QueuedCall* call) {
    if (window == nullptr) return 0;
    PathsLock lock;
    WindowPath* path = FindPath(window);
    if (path == nullptr || !QueueCall(&path->queue, call)) return 0;
    return path->thread;
}

// The oldest call queued for the window (for null: for any window of this
// thread), taken off its queue; only the window's own thread takes calls.
static QueuedCall* TakeWindowCall(HWND window) {
    DWORD thread = GetCurrentThreadId();
    PathsLock lock;
    for (WindowPath& path : Paths().paths) {
        if (path.window == nullptr || path.thread != thread) continue;
        if (window != nullptr && path.window != window) continue;
        QueuedCall* call = TakeCall(&path.queue);
        if (call != nullptr) return call;
    }
    return nullptr;
}

// Each call is off its queue before it runs: a call that opens a modal loop
// may see the calls after it run inside it, never itself again.
static void RunCalls(HWND window) {
    for (QueuedCall* call = TakeWindowCall(window); call != nullptr; call = TakeWindowCall(window)) {
        call->function(call->argument);
        FinishCall(call, CallRan);
    }
}

void RunWindowCalls(HWND window) {
    if (window != nullptr) RunCalls(window);
}

// Waits for the call's outcome. A window that is gone without closing its
// calls (its thread ended) will run none of them: the caller closes them.
static void WaitForCall(HWND window, QueuedCall* call) {
    while (WaitForSingleObject((HANDLE)call->done, WindowCheckMs) != WAIT_OBJECT_0)
        if (!IsWindow(window)) CloseWindowCalls(window);
}

int RunOnWindowThread(HWND window, WindowThreadFunction function, void* argument) {
    if (function == nullptr) return 0;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (done == nullptr) return 0;
    QueuedCall call = {function, argument, done, CallWaiting, nullptr};
    DWORD thread = QueueWindowCall(window, &call);
    if (thread != 0) {
        // A sent message, not a posted one: the window thread runs it also
        // while it waits in a SendMessage to another thread.
        if (thread == GetCurrentThreadId()) RunWindowCalls(window);
        else SendNotifyMessageA(window, WindowCallsMessage, 0, 0);
        WaitForCall(window, &call);
    }
    CloseHandle(done);
    return call.outcome == CallRan;
}

// Paints what needs it; other input waits in the queue until the wait is
// over, so that no command starts while a dialog closes.
static void PaintWindows() {
    MSG message;
    for (int i = 0; i < PaintsPerWake && PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT);
         ++i)
        DispatchMessageA(&message);
}

// Every call's wake-up is a sent message, which wakes this wait; the calls
// are run here too, whether or not a window procedure takes the message.
// The windows keep painting, and the queue is looked at often enough that
// the system never takes the thread for one that has stopped answering.
int WaitServingWindowCalls(HANDLE handle) {
    for (;;) {
        RunCalls(nullptr);
        DWORD woken = MsgWaitForMultipleObjectsEx(1, &handle, AnswerCheckMs, QS_SENDMESSAGE | QS_PAINT,
                                                  MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) return 1;
        if (woken != WAIT_OBJECT_0 + 1 && woken != WAIT_TIMEOUT) return 0;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the messages sent meanwhile
        PaintWindows();
    }
}
