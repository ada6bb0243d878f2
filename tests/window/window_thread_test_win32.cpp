// The path from worker threads to the window thread, on the real main
// window: a call runs whole before its worker goes on however long it takes,
// a call during shutdown never runs, a message from elsewhere runs nothing,
// and a batch of changes goes over in one call.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "manager/window/main_window_win32.h"
#include "manager/window/window_thread_win32.h"
#include "tests/support/programs.h"
#include "tests/window/test_window_win32.h"

// Longer than the 5 s after which a worker once left its call behind.
static const DWORD LongCallMs = 6000;
// A worker released by a closing window goes on within this.
static const DWORD PromptMs = 1000;
// Bounds the waits of a test that went wrong.
static const DWORD ServeLimitMs = 15000;
// A window asked to repaint is painted within this.
static const DWORD PaintWaitMs = 3000;
static const int FrameWords = 16;
static const int BatchRows = 3000;
static const int SingleCalls = 50;
static const int SerialCalls = 5;

static HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument) {
    return CreateThread(nullptr, 0, routine, argument, 0, nullptr);
}

static void RunPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The window thread's plain message loop, until the handle is signalled.
static bool RunMessagesUntil(HANDLE handle) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ServeLimitMs;) {
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, ServeLimitMs, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
        RunPendingMessages();
    }
    return false;
}

// A worker's call is waiting for this thread once a sent message is pending.
static bool WaitForPendingCall() {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ServeLimitMs; Sleep(10))
        if (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) return true;
    return false;
}

class WindowThreadTest : public ::testing::Test {
protected:
    void SetUp() override { Open(); }
    void TearDown() override { DestroyMainWindow(window); }

    void Open() {
        window = CreateTestMainWindow(&table);
        ASSERT_NE(window, nullptr);
    }

    SharedPortTable table = {};
    HWND window = nullptr;
};

// ---- a call that runs longer than any limit ----

struct WorkerFrame {
    int words[FrameWords];
};

static void FillFrameSlowly(void* argument) {
    Sleep(LongCallMs);
    WorkerFrame* frame = (WorkerFrame*)argument;
    for (int i = 0; i < FrameWords; ++i) frame->words[i] = i + 1;
}

struct LongCallWorker {
    HWND window;
    HANDLE returned;  // set once RunOnWindowThread has returned
    HANDLE release;   // the worker's frame lives until then
    int result;
    WorkerFrame seen;  // the frame as the worker found it on return
};

static DWORD WINAPI CallWithStackData(LPVOID argument) {
    LongCallWorker* worker = (LongCallWorker*)argument;
    WorkerFrame frame = {};
    worker->result = RunOnWindowThread(worker->window, FillFrameSlowly, &frame);
    worker->seen = frame;
    SetEvent(worker->returned);
    // The frame stays until the window thread is done with it, so that a
    // call that outlived its worker's wait writes here and not into a stack
    // that is gone.
    WaitForSingleObject(worker->release, ServeLimitMs);
    return 0;
}

TEST_F(WindowThreadTest, ACallLongerThanAnyTimeLimitRunsWholeBeforeItsWorkerGoesOn) {
    LongCallWorker worker = {window, CreateEventA(nullptr, TRUE, FALSE, nullptr),
                             CreateEventA(nullptr, TRUE, FALSE, nullptr), -1, {}};
    HANDLE thread = StartThread(CallWithStackData, &worker);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(WaitServingWindowCalls(worker.returned));
    SetEvent(worker.release);
    EXPECT_EQ(WaitForSingleObject(thread, ServeLimitMs), WAIT_OBJECT_0);
    EXPECT_EQ(worker.result, 1);
    std::vector<int> seen(worker.seen.words, worker.seen.words + FrameWords), expected;
    for (int i = 0; i < FrameWords; ++i) expected.push_back(i + 1);
    EXPECT_EQ(seen, expected) << "the worker went on before its call had filled its frame";
    CloseHandle(thread);
    CloseHandle(worker.returned);
    CloseHandle(worker.release);
}

// ---- a call during shutdown ----

struct OneCall {
    HWND window;
    volatile LONG ran;
    int result;
};

static void MarkRan(void* argument) { InterlockedExchange(&((OneCall*)argument)->ran, 1); }

static DWORD WINAPI CallOnce(LPVOID argument) {
    OneCall* call = (OneCall*)argument;
    call->result = RunOnWindowThread(call->window, MarkRan, call);
    return 0;
}

TEST_F(WindowThreadTest, ACallDuringShutdownNeverRunsAndItsWorkerGoesOnAtOnce) {
    struct Case {
        const char* name;
        void (*close)(HWND window);
    };
    const Case cases[] = {
        {"closed at Exit", CloseWindowCalls},
        {"window destroyed", DestroyMainWindow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (window == nullptr) Open();
        // A worker waits in its call while the window thread is busy
        // elsewhere; then the window closes the path.
        OneCall waiting = {window, 0, -1};
        HANDLE first = StartThread(CallOnce, &waiting);
        ASSERT_TRUE(WaitForPendingCall());
        c.close(window);
        EXPECT_EQ(WaitForSingleObject(first, PromptMs), WAIT_OBJECT_0) << "the waiting worker was not released";
        // A call made after the close.
        OneCall late = {window, 0, -1};
        HANDLE second = StartThread(CallOnce, &late);
        EXPECT_EQ(WaitForSingleObject(second, PromptMs), WAIT_OBJECT_0) << "a call after the close waits";

        // The window thread takes messages again: still nothing runs.
        EXPECT_TRUE(RunMessagesUntil(first));
        EXPECT_TRUE(RunMessagesUntil(second));
        RunPendingMessages();
        EXPECT_EQ(waiting.result, 0);
        EXPECT_EQ(waiting.ran, 0);
        EXPECT_EQ(late.result, 0);
        EXPECT_EQ(late.ran, 0);
        CloseHandle(first);
        CloseHandle(second);
        DestroyMainWindow(window);
        window = nullptr;
    }
}

// ---- a message from elsewhere ----

// What the message's wParam once named as the function to run, with its
// lParam as the argument.
static void SetFlag(void* argument) { InterlockedExchange((volatile LONG*)argument, 1); }
static volatile LONG flagOfForeignCall;

struct SentMessage {
    HWND window;
    WPARAM wParam;
    LPARAM lParam;
};

static DWORD WINAPI SendFromThread(LPVOID argument) {
    SentMessage* sent = (SentMessage*)argument;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(sent->window, WindowCallsMessage, sent->wParam, sent->lParam, SMTO_NORMAL,
                               ServeLimitMs, &result) != 0
               ? 0
               : 1;
}

static HANDLE SendFromOtherThread(SentMessage* sent) { return StartThread(SendFromThread, sent); }

static HANDLE SendFromOtherProcess(SentMessage* sent) {
    char arguments[128];
    std::snprintf(arguments, sizeof arguments, " 0x%llx 0x%x 0x%llx 0x%llx", (unsigned long long)(UINT_PTR)sent->window,
                  (unsigned)WindowCallsMessage, (unsigned long long)sent->wParam, (unsigned long long)sent->lParam);
    PROCESS_INFORMATION process = {};
    if (!StartProgram("message_sender.exe", arguments, &process)) return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

TEST_F(WindowThreadTest, AMessageFromAnotherThreadOrProcessRunsNothing) {
    struct Case {
        const char* name;
        HANDLE (*send)(SentMessage* sent);
        BOOL(WINAPI* exitCode)(HANDLE sender, LPDWORD code);
    };
    const Case cases[] = {
        {"another thread", SendFromOtherThread, GetExitCodeThread},
        {"another process", SendFromOtherProcess, GetExitCodeProcess},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        flagOfForeignCall = 0;
        SentMessage sent = {window, (WPARAM)SetFlag, (LPARAM)&flagOfForeignCall};
        HANDLE sender = c.send(&sent);
        ASSERT_NE(sender, nullptr);
        EXPECT_TRUE(RunMessagesUntil(sender));
        DWORD code = 1;
        c.exitCode(sender, &code);
        EXPECT_EQ(code, 0u) << "the message did not reach the window";
        CloseHandle(sender);
        EXPECT_EQ(flagOfForeignCall, 0) << "the window ran the function the message named";

        // The path still serves its own workers.
        OneCall call = {window, 0, -1};
        HANDLE worker = StartThread(CallOnce, &call);
        EXPECT_TRUE(WaitServingWindowCalls(worker));
        CloseHandle(worker);
        EXPECT_EQ(call.result, 1);
        EXPECT_EQ(call.ran, 1);
    }
}

// ---- a batch in one call ----

struct Batch {
    HWND window;
    std::vector<std::string> addresses;
    int calls;  // runs of the merge
    int result;
};

static void MergeBatch(void* argument) {
    Batch* batch = (Batch*)argument;
    ++batch->calls;
    MainWindow* main = MainWindowOf(batch->window);
    for (const std::string& address : batch->addresses)
        AddServerRow(&main->catalogue, NewSlot, address.c_str(), Http, StatusCodeUntested);
    RefreshCategoryLabels(&main->catalogue);
}

static DWORD WINAPI HandBatch(LPVOID argument) {
    Batch* batch = (Batch*)argument;
    batch->result = RunOnWindowThread(batch->window, MergeBatch, batch);
    return 0;
}

// Meanwhile another worker adds rows one call at a time.
static DWORD WINAPI HandSingles(LPVOID argument) {
    Batch* singles = (Batch*)argument;
    Batch one = {singles->window, {""}, 0, 0};
    for (const std::string& address : singles->addresses) {
        one.addresses[0] = address;
        singles->result += RunOnWindowThread(one.window, MergeBatch, &one);
    }
    singles->calls = one.calls;
    return 0;
}

static std::string LoopbackAddress(int a, int b, int port) {
    return "127." + std::to_string(a) + "." + std::to_string(b / 250) + "." + std::to_string(b % 250 + 1) + ":" +
           std::to_string(port);
}

TEST_F(WindowThreadTest, ABatchOfThousandsOfRowsGoesOverInOneCall) {
    Batch batch = {window, {}, 0, 0}, singles = {window, {}, 0, 0};
    for (int i = 0; i < BatchRows; ++i) batch.addresses.push_back(LoopbackAddress(2, i, 8080));
    for (int i = 0; i < SingleCalls; ++i) singles.addresses.push_back(LoopbackAddress(3, i, 3128));
    HANDLE threads[] = {StartThread(HandSingles, &singles), StartThread(HandBatch, &batch)};
    for (HANDLE thread : threads) {
        EXPECT_TRUE(WaitServingWindowCalls(thread));
        CloseHandle(thread);
    }
    EXPECT_EQ(batch.result, 1);
    EXPECT_EQ(batch.calls, 1);
    EXPECT_EQ(singles.result, SingleCalls);
    EXPECT_EQ(singles.calls, SingleCalls);

    MainWindow* main = MainWindowOf(window);
    const ServerList& list = main->catalogue.lists[NewSlot];
    ASSERT_EQ(list.Count(), BatchRows + SingleCalls);
    EXPECT_EQ(SendMessageA(main->serverLists[NewSlot], LVM_GETITEMCOUNT, 0, 0), BatchRows + SingleCalls);
    EXPECT_EQ(CategoryLabel(main->catalogue.categories[1]), "New(" + std::to_string(BatchRows + SingleCalls) + ")");
    // The batch's rows arrived together, in its order: no single call ran in between.
    int first = 0;
    while (first < list.Count() && list.Row(first).text[ServerAddress] != batch.addresses[0]) ++first;
    ASSERT_LE(first + BatchRows, list.Count());
    for (int i = 0; i < BatchRows; ++i)
        ASSERT_EQ(list.Row(first + i).text[ServerAddress], batch.addresses[i]) << "row " << first + i;
}

// ---- the window thread serves calls wherever it waits ----

struct SerialWorker {
    HWND window;
    DWORD ranOn[SerialCalls];
    int count;
    int results;
};

static void RecordThread(void* argument) {
    SerialWorker* worker = (SerialWorker*)argument;
    worker->ranOn[worker->count++] = GetCurrentThreadId();
}

static DWORD WINAPI CallSeveralTimes(LPVOID argument) {
    SerialWorker* worker = (SerialWorker*)argument;
    for (int i = 0; i < SerialCalls; ++i) worker->results += RunOnWindowThread(worker->window, RecordThread, worker);
    return 0;
}

// A window of another thread whose message waits for a handle: the window
// thread inside a SendMessage to it, as inside any call to another thread.
const UINT WaitForHandleMessage = WM_APP + 7;
const char* const BusyWindowClass = "TessaronTestBusyWindow";

static LRESULT CALLBACK BusyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WaitForHandleMessage) return WaitForSingleObject((HANDLE)wParam, ServeLimitMs);
    return DefWindowProcA(window, message, wParam, lParam);
}

struct BusyThread {
    HANDLE ready;
    HWND window;
};

// A window of the calling thread that takes no part in the path's messages.
static HWND CreateBusyWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BusyWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = BusyWindowClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, BusyWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

static DWORD WINAPI RunBusyWindow(LPVOID argument) {
    BusyThread* busy = (BusyThread*)argument;
    busy->window = CreateBusyWindow();
    SetEvent(busy->ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    DestroyWindow(busy->window);
    return 0;
}

static bool ServeInsideSendMessage(HANDLE worker) {
    BusyThread busy = {CreateEventA(nullptr, TRUE, FALSE, nullptr), nullptr};
    HANDLE thread = StartThread(RunBusyWindow, &busy);
    WaitForSingleObject(busy.ready, ServeLimitMs);
    bool ended = SendMessageA(busy.window, WaitForHandleMessage, (WPARAM)worker, 0) == WAIT_OBJECT_0;
    PostMessageA(busy.window, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, ServeLimitMs);
    CloseHandle(thread);
    CloseHandle(busy.ready);
    return ended;
}

static bool ServeWaiting(HANDLE worker) { return WaitServingWindowCalls(worker) != 0; }

TEST_F(WindowThreadTest, CallsRunWhereverTheWindowThreadWaits) {
    struct Case {
        const char* name;
        bool (*serve)(HANDLE worker);
    };
    const Case cases[] = {
        {"its message loop", RunMessagesUntil},
        {"waiting for the worker", ServeWaiting},
        {"a SendMessage to another thread", ServeInsideSendMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SerialWorker worker = {window, {}, 0, 0};
        HANDLE thread = StartThread(CallSeveralTimes, &worker);
        EXPECT_TRUE(c.serve(thread));
        WaitForSingleObject(thread, ServeLimitMs);
        CloseHandle(thread);
        EXPECT_EQ(worker.results, SerialCalls);
        ASSERT_EQ(worker.count, SerialCalls);
        for (DWORD ranOn : worker.ranOn) EXPECT_EQ(ranOn, GetCurrentThreadId());
    }
}

// While the window thread waits for a worker (Close waiting for a name
// lookup of the test batch, say), its windows keep painting; a command
// posted meanwhile waits until the wait is over.
struct PaintWatch {
    HWND window;
    bool painted;
    bool commandWaited;
};

static DWORD WINAPI InvalidateAndWatch(LPVOID argument) {
    PaintWatch* watch = (PaintWatch*)argument;
    // Escape hides the window: a command the wait must not run.
    PostMessageA(watch->window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    InvalidateRect(watch->window, nullptr, TRUE);
    watch->painted = false;
    for (DWORD start = GetTickCount(); GetTickCount() - start < PaintWaitMs; Sleep(20)) {
        if (!GetUpdateRect(watch->window, nullptr, FALSE)) {
            watch->painted = true;
            break;
        }
    }
    watch->commandWaited = IsWindowVisible(watch->window) != FALSE;
    return 0;
}

TEST_F(WindowThreadTest, AWindowThreadWaitingForAWorkerKeepsItsWindowsPainted) {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    PaintWatch watch = {window, false, false};
    HANDLE thread = StartThread(InvalidateAndWatch, &watch);
    EXPECT_TRUE(WaitServingWindowCalls(thread));
    CloseHandle(thread);
    EXPECT_TRUE(watch.painted) << "the window was not painted during the wait";
    EXPECT_TRUE(watch.commandWaited) << "a posted command ran inside the wait";
    RunPendingMessages();
    EXPECT_FALSE(IsWindowVisible(window)) << "the command was lost";
}

// A window whose thread opened its calls and ended without closing them:
// the thread's end takes its windows with it.
struct EndingThread {
    HANDLE ready;
    HANDLE end;
    HWND window;
};

static DWORD WINAPI OpenCallsAndEnd(LPVOID argument) {
    EndingThread* ending = (EndingThread*)argument;
    ending->window = CreateBusyWindow();
    OpenWindowCalls(ending->window);
    SetEvent(ending->ready);
    WaitForSingleObject(ending->end, ServeLimitMs);
    return 0;
}

TEST_F(WindowThreadTest, ACallToAWindowWhoseThreadEndedNeverRuns) {
    // Noticed once a second by the waiting worker.
    const DWORD NoticedMs = 3000;
    EndingThread ending = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr),
                           nullptr};
    HANDLE owner = StartThread(OpenCallsAndEnd, &ending);
    ASSERT_EQ(WaitForSingleObject(ending.ready, ServeLimitMs), WAIT_OBJECT_0);
    OneCall waiting = {ending.window, 0, -1};
    HANDLE worker = StartThread(CallOnce, &waiting);
    SetEvent(ending.end);
    EXPECT_EQ(WaitForSingleObject(owner, ServeLimitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(worker, NoticedMs), WAIT_OBJECT_0) << "the worker still waits";
    EXPECT_EQ(waiting.result, 0);
    EXPECT_EQ(waiting.ran, 0);
    // Calls after that return at once.
    OneCall late = {ending.window, 0, -1};
    HANDLE lateWorker = StartThread(CallOnce, &late);
    EXPECT_EQ(WaitForSingleObject(lateWorker, PromptMs), WAIT_OBJECT_0) << "a later call waits";
    EXPECT_EQ(late.result, 0);
    EXPECT_EQ(late.ran, 0);
    for (HANDLE handle : {owner, worker, lateWorker, ending.ready, ending.end}) CloseHandle(handle);
}

TEST_F(WindowThreadTest, ACallFromTheWindowThreadItselfRunsAtOnce) {
    OneCall call = {window, 0, -1};
    EXPECT_EQ(RunOnWindowThread(window, MarkRan, &call), 1);
    EXPECT_EQ(call.ran, 1);
}
