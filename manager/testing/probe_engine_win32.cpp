// Sockets first: the engine's header brings windows.h without them.
#include <winsock2.h>

#include "probe_engine_win32.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "../../shared/address_text.h"
#include "../../shared/row_text.h"
#include "probe_rules.h"

struct ProbeSlot {
    int inUse;
    SOCKET socket;
    int row;
    int age;          // timer ticks since the probe started
    int socks;        // 1 for the SOCKS greeting, 0 for the HTTP request
    DWORD startTick;  // just before the connection attempt
    int run;          // the run that armed the slot
    CRITICAL_SECTION lock;
};

struct ProbeEngine {
    ProbeSlot slots[ProbeSlotCount];
    HANDLE events[ProbeSlotCount];  // manual-reset, one per slot
    HANDLE thread;
    HANDLE slotFreed;  // auto-reset: a slot became free, or the run is cancelled
    // Verdicts claimed by a worker but not yet written: the closing waits
    // for them while the rows still stand where the probes found them.
    CRITICAL_SECTION deliveryLock;
    int deliveries;
    HANDLE deliveriesDone;  // manual-reset, set while deliveries is 0
    // Rows whose probes have started but which do not read "Testing" yet:
    // the window thread marks them before it writes any verdict, so a
    // start need not wait for the window.
    CRITICAL_SECTION markLock;
    std::vector<int> marks;
    std::atomic<TestRun*> run;
    std::atomic<TestRunWindow*> window;
    std::atomic<int> stopping;
    unsigned char reply[ProbeReplyBytes];
};

const long ProbeNotices = FD_READ | FD_CONNECT | FD_CLOSE;
const int NoVerdict = -1;

// ---- slots ----

// Frees an armed slot: its socket closed (once, here), a notice it left
// behind cleared, and the batch woken for the free slot. Slot lock held.
static void FreeSlot(ProbeEngine* engine, int index) {
    ProbeSlot* slot = &engine->slots[index];
    slot->inUse = 0;
    slot->age = 0;
    if (slot->socket != INVALID_SOCKET) closesocket(slot->socket);
    slot->socket = INVALID_SOCKET;
    ResetEvent(engine->events[index]);
    SetEvent(engine->slotFreed);
}

// The verdict of an armed slot, which this caller has won: the slot is free
// when it returns. Slot lock held.
static ProbeVerdict ClaimVerdict(ProbeEngine* engine, int index, int alive, int delay) {
    const ProbeSlot& slot = engine->slots[index];
    ProbeVerdict verdict = {slot.run, slot.row, alive, delay};
    FreeSlot(engine, index);
    return verdict;
}

static int FreeSlotIndex(ProbeEngine* engine, int probes) {
    for (int index = 0; index < probes && index < ProbeSlotCount; ++index) {
        ProbeSlot* slot = &engine->slots[index];
        EnterCriticalSection(&slot->lock);
        int free = !slot->inUse;
        LeaveCriticalSection(&slot->lock);
        if (free) return index;
    }
    return -1;
}

int ArmedProbeCount(ProbeEngine* engine) {
    int armed = 0;
    for (ProbeSlot& slot : engine->slots) {
        EnterCriticalSection(&slot.lock);
        armed += slot.inUse;
        LeaveCriticalSection(&slot.lock);
    }
    return armed;
}

// ---- verdicts on their way to the window thread ----

// A worker's claimed verdicts are counted until written, so that the
// closing can wait for them.
static void BeginDelivery(ProbeEngine* engine) {
    EnterCriticalSection(&engine->deliveryLock);
    if (engine->deliveries++ == 0) ResetEvent(engine->deliveriesDone);
    LeaveCriticalSection(&engine->deliveryLock);
}

static void EndDeliveries(ProbeEngine* engine, int count) {
    EnterCriticalSection(&engine->deliveryLock);
    engine->deliveries -= count;
    if (engine->deliveries == 0) SetEvent(engine->deliveriesDone);
    LeaveCriticalSection(&engine->deliveryLock);
}

// ---- rows marked "Testing" ----

static void QueueMark(ProbeEngine* engine, int row) {
    EnterCriticalSection(&engine->markLock);
    engine->marks.push_back(row);
    LeaveCriticalSection(&engine->markLock);
}

static int HasQueuedMarks(ProbeEngine* engine) {
    EnterCriticalSection(&engine->markLock);
    int any = !engine->marks.empty();
    LeaveCriticalSection(&engine->markLock);
    return any;
}

// On the window thread: the rows of the probes started so far read
// "Testing", before any of their verdicts is written.
static void ApplyMarks(ProbeEngine* engine) {
    std::vector<int> rows;
    EnterCriticalSection(&engine->markLock);
    rows.swap(engine->marks);
    LeaveCriticalSection(&engine->markLock);
    TestRun* run = engine->run;
    if (run == nullptr) return;
    for (int row : rows) MarkRowTesting(run, row);
}

static void ApplyMarksCall(void* argument) { ApplyMarks((ProbeEngine*)argument); }

void ShowStartedProbes(ProbeEngine* engine) {
    TestRunWindow* window = engine->window;
    if (window != nullptr && HasQueuedMarks(engine)) window->RunCall(ApplyMarksCall, engine);
}

struct VerdictBatch {
    ProbeEngine* engine;
    const std::vector<ProbeVerdict>* verdicts;
};

static void WriteVerdicts(void* argument) {
    VerdictBatch* batch = (VerdictBatch*)argument;
    TestRun* run = batch->engine->run;
    TestRunWindow* window = batch->engine->window;
    if (run == nullptr || window == nullptr) return;
    ApplyMarks(batch->engine);
    CheckTime now = window->Now();
    for (const ProbeVerdict& verdict : *batch->verdicts) ApplyVerdict(run, verdict, now);
}

// From a worker: the verdicts claimed since the last delivery, in one call.
static void DeliverVerdicts(ProbeEngine* engine, std::vector<ProbeVerdict>* verdicts) {
    if (verdicts->empty()) return;
    VerdictBatch batch = {engine, verdicts};
    TestRunWindow* window = engine->window;
    if (window != nullptr) window->RunCall(WriteVerdicts, &batch);
    EndDeliveries(engine, (int)verdicts->size());
    verdicts->clear();
}

// ---- the probe thread ----

// What a slot's notices decide: Alive (1), Dead (0) or nothing yet. Sends
// the probe once connected. Slot lock held.
static int JudgeNotices(ProbeEngine* engine, ProbeSlot* slot, const WSANETWORKEVENTS& notices, int* delay) {
    TestRun* run = engine->run;
    int cancelled = run == nullptr || run->cancel;
    if (notices.lNetworkEvents & FD_CONNECT) {
        if (cancelled) return NoVerdict;
        if (notices.iErrorCode[FD_CONNECT_BIT] != 0) return 0;
        if (slot->socks) send(slot->socket, (const char*)SocksGreeting, (int)SocksGreetingSize, 0);
        else send(slot->socket, run->request.data(), (int)run->request.size(), 0);
    }
    if (notices.lNetworkEvents & FD_READ) {
        if (notices.iErrorCode[FD_READ_BIT] != 0) return 0;
        int elapsed = (int)(GetTickCount() - slot->startTick);
        int received = recv(slot->socket, (char*)engine->reply, ProbeReplyBytes, 0);
        // A read notice with nothing to read after all: the reply is still to come.
        if (received == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return NoVerdict;
        *delay = elapsed;
        return IsAliveReply(engine->reply, received > 0 ? (size_t)received : 0);
    }
    if (notices.lNetworkEvents & FD_CLOSE) return cancelled ? NoVerdict : 0;
    return NoVerdict;
}

static void HandleSlot(ProbeEngine* engine, int index, std::vector<ProbeVerdict>* verdicts) {
    ProbeSlot* slot = &engine->slots[index];
    EnterCriticalSection(&slot->lock);
    ResetEvent(engine->events[index]);
    WSANETWORKEVENTS notices;
    if (slot->inUse && slot->socket != INVALID_SOCKET &&
        WSAEnumNetworkEvents(slot->socket, engine->events[index], &notices) == 0) {
        int delay = -1;
        int verdict = JudgeNotices(engine, slot, notices, &delay);
        if (verdict != NoVerdict) {
            verdicts->push_back(ClaimVerdict(engine, index, verdict, delay));
            BeginDelivery(engine);
        }
    }
    LeaveCriticalSection(&slot->lock);
}

// The signalled slot with the lowest index at or after from, or -1 when
// none is (or the wait failed).
static int SignalledSlot(ProbeEngine* engine, int from, DWORD milliseconds) {
    DWORD count = (DWORD)(ProbeSlotCount - from);
    DWORD woken = WaitForMultipleObjects(count, engine->events + from, FALSE, milliseconds);
    if (woken >= WAIT_OBJECT_0 && woken < WAIT_OBJECT_0 + count) return from + (int)(woken - WAIT_OBJECT_0);
    return -1;
}

// Waits on every slot's event, then handles the signalled slots in one
// sweep upwards from the one woken, each at most once, and hands their
// verdicts to the window in one call. A slot signalled again meanwhile waits
// for the next sweep: a busy low slot never keeps the higher ones' replies
// unread.
static DWORD WINAPI ProbeThread(void* argument) {
    ProbeEngine* engine = (ProbeEngine*)argument;
    std::vector<ProbeVerdict> verdicts;
    verdicts.reserve(ProbeSlotCount);
    for (;;) {
        int index = SignalledSlot(engine, 0, INFINITE);
        if (engine->stopping) return 0;
        if (index < 0) {
            Sleep(1);  // a failed wait is tried again, without spinning
            continue;
        }
        while (index >= 0) {
            HandleSlot(engine, index, &verdicts);
            index = index + 1 < ProbeSlotCount ? SignalledSlot(engine, index + 1, 0) : -1;
        }
        DeliverVerdicts(engine, &verdicts);
    }
}

// ---- the engine ----

static int StartProbeEngine(ProbeEngine* engine) {
    engine->stopping = 0;
    engine->run = nullptr;
    engine->window = nullptr;
    engine->deliveries = 0;
    InitializeCriticalSection(&engine->deliveryLock);
    InitializeCriticalSection(&engine->markLock);
    engine->deliveriesDone = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    engine->slotFreed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (int index = 0; index < ProbeSlotCount; ++index) {
        ProbeSlot* slot = &engine->slots[index];
        slot->inUse = 0;
        slot->socket = INVALID_SOCKET;
        slot->age = 0;
        InitializeCriticalSection(&slot->lock);
        engine->events[index] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (engine->events[index] == nullptr) return 0;
    }
    if (engine->deliveriesDone == nullptr || engine->slotFreed == nullptr) return 0;
    engine->thread = CreateThread(nullptr, 0, ProbeThread, engine, 0, nullptr);
    return engine->thread != nullptr;
}

static void StopProbeEngine(ProbeEngine* engine) {
    if (engine->thread != nullptr) {
        engine->stopping = 1;
        SetEvent(engine->events[0]);
        WaitForSingleObject(engine->thread, INFINITE);
        CloseHandle(engine->thread);
        engine->thread = nullptr;
    }
    for (int index = 0; index < ProbeSlotCount; ++index) {
        ProbeSlot* slot = &engine->slots[index];
        if (slot->socket != INVALID_SOCKET) closesocket(slot->socket);
        slot->socket = INVALID_SOCKET;
        slot->inUse = 0;
        DeleteCriticalSection(&slot->lock);
        if (engine->events[index] != nullptr) CloseHandle(engine->events[index]);
        engine->events[index] = nullptr;
    }
    DeleteCriticalSection(&engine->deliveryLock);
    DeleteCriticalSection(&engine->markLock);
    if (engine->deliveriesDone != nullptr) CloseHandle(engine->deliveriesDone);
    if (engine->slotFreed != nullptr) CloseHandle(engine->slotFreed);
    engine->deliveriesDone = engine->slotFreed = nullptr;
}

ProbeEngine* CreateProbeEngine() {
    ProbeEngine* engine = new ProbeEngine();
    if (StartProbeEngine(engine)) return engine;
    DestroyProbeEngine(engine);
    return nullptr;
}

void DestroyProbeEngine(ProbeEngine* engine) {
    if (engine == nullptr) return;
    StopProbeEngine(engine);
    delete engine;
}

ProbeEngine* ProcessProbeEngine() {
    static ProbeEngine* engine = CreateProbeEngine();
    return engine;
}

void WaitForFreeSlot(ProbeEngine* engine, DWORD milliseconds) { WaitForSingleObject(engine->slotFreed, milliseconds); }

void WakeBatch(ProbeEngine* engine) { SetEvent(engine->slotFreed); }

void BeginProbing(ProbeEngine* engine, TestRun* run, TestRunWindow* window) {
    engine->window = window;
    engine->run = run;
}

// ---- starting, timing out and dropping probes ----

static int UsableHost(const hostent* host) {
    return host != nullptr && host->h_addrtype == AF_INET && host->h_length == 4 && host->h_addr_list != nullptr &&
           host->h_addr_list[0] != nullptr;
}

int StartProbe(ProbeEngine* engine, const char* address, int row, int socks) {
    TestRun* run = engine->run;
    TestRunWindow* window = engine->window;
    if (run == nullptr || window == nullptr || run->cancel) return 0;
    int index = FreeSlotIndex(engine, run->probes);
    if (index < 0) return 0;
    QueueMark(engine, row);
    if (run->cancel) return 0;

    char text[RowTextSize];
    CopyText(text, sizeof text, address);
    int port = ProbePort(SplitHostPort(text));
    std::vector<ProbeVerdict> verdicts;
    // A port outside 1 to 65535 is Dead before any name is looked up.
    const hostent* host = port != 0 ? gethostbyname(text) : nullptr;
    if (!UsableHost(host)) {
        verdicts.push_back(ProbeVerdict{run->number, row, 0, -1});
        BeginDelivery(engine);
        DeliverVerdicts(engine, &verdicts);
        return 1;
    }
    if (run->cancel) return 0;

    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons((u_short)port);
    memcpy(&to.sin_addr, host->h_addr_list[0], sizeof to.sin_addr);

    ProbeSlot* slot = &engine->slots[index];
    EnterCriticalSection(&slot->lock);
    slot->inUse = 1;
    slot->age = 0;
    slot->row = row;
    slot->socks = socks;
    slot->run = run->number;
    slot->socket = socket(AF_INET, SOCK_STREAM, 0);
    if (slot->socket != INVALID_SOCKET) {
        WSAEventSelect(slot->socket, engine->events[index], ProbeNotices);
        slot->startTick = GetTickCount();
        // A connection refused at once (port 0, say) sends no notice later.
        if (connect(slot->socket, (const sockaddr*)&to, sizeof to) == SOCKET_ERROR &&
            WSAGetLastError() != WSAEWOULDBLOCK) {
            verdicts.push_back(ClaimVerdict(engine, index, 0, -1));
            BeginDelivery(engine);
        }
    }
    LeaveCriticalSection(&slot->lock);
    DeliverVerdicts(engine, &verdicts);
    return 1;
}

void TickProbes(ProbeEngine* engine) {
    TestRun* run = engine->run;
    TestRunWindow* window = engine->window;
    if (run == nullptr || window == nullptr) return;
    std::vector<ProbeVerdict> timedOut;
    for (int index = 0; index < run->probes && index < ProbeSlotCount; ++index) {
        ProbeSlot* slot = &engine->slots[index];
        EnterCriticalSection(&slot->lock);
        slot->age += 1;
        if (slot->age == run->timeoutTicks && slot->inUse) timedOut.push_back(ClaimVerdict(engine, index, 0, -1));
        LeaveCriticalSection(&slot->lock);
    }
    // A probe armed during this tick queued its mark before it was armed:
    // marking now, after the claims, puts every mark before its verdict.
    ApplyMarks(engine);
    if (timedOut.empty()) return;
    CheckTime now = window->Now();
    for (const ProbeVerdict& verdict : timedOut) ApplyVerdict(run, verdict, now);
}

void DropProbes(ProbeEngine* engine) {
    for (int index = 0; index < ProbeSlotCount; ++index) {
        ProbeSlot* slot = &engine->slots[index];
        EnterCriticalSection(&slot->lock);
        if (slot->inUse) FreeSlot(engine, index);
        LeaveCriticalSection(&slot->lock);
    }
    SetEvent(engine->slotFreed);
    TestRunWindow* window = engine->window;
    if (window != nullptr) window->WaitServingCalls(engine->deliveriesDone);
    ApplyMarks(engine);
}
