// The probe engine and the test batch in the test's own process: a window of
// the test's own whose calls and window code never overlap, a real catalogue,
// and fake proxies on 127.0.0.1 that answer the probes as scripted.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "manager/catalogue/catalogue_texts.h"
#include "manager/catalogue/proxy_catalogue.h"
#include "manager/testing/probe_engine_win32.h"
#include "manager/testing/test_batch_win32.h"
#include "manager/testing/test_run.h"
#include "manager/testing/testing_texts.h"
#include "tests/support/loopback_sockets.h"

// Bounds the waits of a test that went wrong.
static const DWORD WaitLimitMs = 10000;
// Bounds the waits of the runs over hundreds of servers.
static const DWORD ManyWaitLimitMs = 60000;
// How long a test watches for something that must not happen.
static const DWORD SettleMs = 500;
// How long a fake proxy waits for the rest of a probe request.
static const DWORD RequestWaitMs = 5000;
static const DWORD ProxyStackBytes = 64 * 1024;

static const char ProbeHost[] = "probe.test";
static const char HttpRequest[] = "GET http://probe.test/ HTTP/1.1\nHost: probe.test:80\nConnection: close\n\n";
static const char OkReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
static const char ErrorReply[] = "HTTP/1.1 500 Internal Server Error\r\n\r\n";
static const CheckTime InjectedTime = {2009, 12, 1, 14, 3};
static const char InjectedTimeText[] = "2009.12.1 14:3";

static HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument) {
    return CreateThread(nullptr, ProxyStackBytes, routine, argument, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

// ---- a name lookup the test holds up ----

// A host whose lookup takes LookupHoldMs and then gives 127.0.0.1; other
// names are looked up as usual.
static const char SlowHost[] = "slow.test";
static const DWORD LookupHoldMs = 300;
static HANDLE LookupStarted;  // auto-reset: a lookup of SlowHost began

typedef hostent*(WINAPI* LookupFunction)(const char* name);
static LookupFunction RealLookup;

static hostent* WINAPI HeldLookup(const char* name) {
    if (strcmp(name, SlowHost) != 0) return RealLookup(name);
    SetEvent(LookupStarted);
    Sleep(LookupHoldMs);
    return RealLookup("127.0.0.1");
}

// Points this program's import of a function at another one, so that the
// engine linked into it calls the replacement; false when not imported.
static bool ReplaceImport(void* original, void* replacement) {
    BYTE* self = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(self + ((IMAGE_DOS_HEADER*)self)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& table = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (table.VirtualAddress == 0) return false;
    for (IMAGE_IMPORT_DESCRIPTOR* imported = (IMAGE_IMPORT_DESCRIPTOR*)(self + table.VirtualAddress);
         imported->Name != 0; ++imported) {
        for (IMAGE_THUNK_DATA* entry = (IMAGE_THUNK_DATA*)(self + imported->FirstThunk); entry->u1.Function != 0;
             ++entry) {
            if (entry->u1.Function != (ULONG_PTR)original) continue;
            DWORD protection;
            VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, PAGE_READWRITE, &protection);
            entry->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, protection, &protection);
            return true;
        }
    }
    return false;
}

// ---- the window ----

// The window thread as the engine sees it. The test's thread is the window
// thread: it holds the window lock while it runs window code (ticks, the
// closing, reading rows), and a worker's call runs on the worker's thread
// once it gets the lock. So calls and window code never overlap, and calls
// run during the closing only while it waits, as on a real window thread.
// A gated window lets a worker's call through only when the test allows it.
class FakeWindow : public TestRunWindow {
public:
    FakeWindow() {
        InitializeCriticalSection(&lock);
        gate = CreateSemaphoreA(nullptr, 0, LONG_MAX, nullptr);
    }
    ~FakeWindow() override {
        CloseHandle(gate);
        DeleteCriticalSection(&lock);
    }

    int RunCall(void (*function)(void* argument), void* argument) override {
        waiting += 1;
        int passed = !gated || WaitForSingleObject(gate, WaitLimitMs) == WAIT_OBJECT_0;
        if (passed) {
            EnterCriticalSection(&lock);
            function(argument);
            LeaveCriticalSection(&lock);
        }
        waiting -= 1;
        return passed;
    }

    void WaitServingCalls(HANDLE handle) override {
        LeaveCriticalSection(&lock);
        if (WaitForSingleObject(handle, WaitLimitMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the window thread waits on";
            WaitForSingleObject(handle, INFINITE);
        }
        EnterCriticalSection(&lock);
    }

    CheckTime Now() override { return InjectedTime; }

    void ShowStatus(const char* text) override { statusTexts.push_back(text != nullptr ? text : "(default)"); }

    void Enter() { EnterCriticalSection(&lock); }
    void Leave() { LeaveCriticalSection(&lock); }
    // Workers' calls wait at the gate from now on, until allowed or opened.
    void CloseGate() { gated = 1; }
    void AllowCalls(int count) { ReleaseSemaphore(gate, count, nullptr); }
    void OpenGate() {
        gated = 0;
        ReleaseSemaphore(gate, ProbeSlotCount, nullptr);  // everyone waiting now
    }
    // Workers in RunCall that have not finished their call.
    int Waiting() const { return waiting; }

    std::vector<std::string> statusTexts;  // window thread only

private:
    CRITICAL_SECTION lock;
    HANDLE gate;
    std::atomic<int> gated{0};
    std::atomic<int> waiting{0};
};

// Window code for as long as it is in scope.
class OnWindowThread {
public:
    explicit OnWindowThread(FakeWindow* window) : window(window) { window->Enter(); }
    ~OnWindowThread() { window->Leave(); }

private:
    FakeWindow* window;
};

// Every write to a row of the list under test, counted per row.
class RowWrites : public CatalogueObserver {
public:
    void ServerChanged(int slot, int row) override {
        if (slot != MyProxyServersSlot) return;
        if (row >= (int)counts.size()) counts.resize(row + 1);
        counts[row] += 1;
    }
    int Of(int row) const { return row < (int)counts.size() ? counts[row] : 0; }

private:
    std::vector<int> counts;
};

// ---- the fake proxies ----

enum ProxyAct {
    Answer,           // the reply, then waits for the probe to close
    AnswerAndClose,   // the reply, then closes at once
    AnswerForever,    // the reply again and again until the probe is gone
    AnswerLater,      // the reply after a delay
    AnswerOnRelease,  // the reply once the test releases the proxy
    CloseQuietly,     // closes without a reply
    Reset,            // resets the connection
    StaySilent,       // reads on until the probe closes
};

struct ProxyScript {
    ProxyAct act;
    std::string reply;
    DWORD delayMs;
};

static ProxyScript Replying(const std::string& reply) { return ProxyScript{Answer, reply, 0}; }
static ProxyScript Silent() { return ProxyScript{StaySilent, "", 0}; }

static bool IsWholeRequest(const std::string& bytes) {
    static const std::string greeting((const char*)SocksGreeting, SocksGreetingSize);
    return bytes == greeting || (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\n\n") == 0);
}

// A listening socket on 127.0.0.1 and a thread that takes its connections
// one after the other: records what each sends, then acts by its script.
class FakeProxy {
public:
    explicit FakeProxy(const ProxyScript& script) : script(script) {
        InitializeCriticalSection(&lock);
        stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        requestIn = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        answered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        probeGone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        listenEvent = WSACreateEvent();
        connectionEvent = WSACreateEvent();
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in where = {};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = inet_addr("127.0.0.1");
        bind(listener, (sockaddr*)&where, sizeof where);
        listen(listener, SOMAXCONN);
        int length = sizeof where;
        getsockname(listener, (sockaddr*)&where, &length);
        port = ntohs(where.sin_port);
        WSAEventSelect(listener, listenEvent, FD_ACCEPT);
        thread = StartThread(Serve, this);
    }

    ~FakeProxy() {
        SetEvent(stop);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        closesocket(listener);
        for (HANDLE event : {stop, release, requestIn, answered, probeGone}) CloseHandle(event);
        WSACloseEvent(listenEvent);
        WSACloseEvent(connectionEvent);
        DeleteCriticalSection(&lock);
    }

    std::string Address() const { return "127.0.0.1:" + std::to_string(port); }
    int Port() const { return port; }
    int Connections() const { return accepted; }
    std::string Received() {
        EnterCriticalSection(&lock);
        std::string bytes = received;
        LeaveCriticalSection(&lock);
        return bytes;
    }
    void Release() { SetEvent(release); }
    bool WaitRequest(DWORD milliseconds = WaitLimitMs) { return WaitForSingleObject(requestIn, milliseconds) == 0; }
    bool WaitAnswered(DWORD milliseconds = WaitLimitMs) { return WaitForSingleObject(answered, milliseconds) == 0; }
    // The probe closed its connection (an end of stream or a reset).
    bool WaitProbeGone(DWORD milliseconds = WaitLimitMs) { return WaitForSingleObject(probeGone, milliseconds) == 0; }

private:
    static DWORD WINAPI Serve(void* argument) {
        FakeProxy* proxy = (FakeProxy*)argument;
        while (proxy->WaitFor(proxy->listenEvent, INFINITE)) {
            WSANETWORKEVENTS notices;
            WSAEnumNetworkEvents(proxy->listener, proxy->listenEvent, &notices);
            for (;;) {
                SOCKET connection = accept(proxy->listener, nullptr, nullptr);
                if (connection == INVALID_SOCKET) break;
                proxy->accepted += 1;
                proxy->Converse(connection);
            }
        }
        return 0;
    }

    // False when the proxy stops or the time runs out.
    bool WaitFor(HANDLE event, DWORD milliseconds) {
        HANDLE both[2] = {stop, event};
        return WaitForMultipleObjects(2, both, FALSE, milliseconds) == WAIT_OBJECT_0 + 1;
    }

    bool Stopping() { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }

    // Reads what has come; false once the probe's side has ended.
    bool ReadArrived(SOCKET connection) {
        char buffer[4096];
        for (;;) {
            int got = recv(connection, buffer, sizeof buffer, 0);
            if (got > 0) {
                EnterCriticalSection(&lock);
                received.append(buffer, (size_t)got);
                connectionBytes.append(buffer, (size_t)got);
                LeaveCriticalSection(&lock);
                continue;
            }
            if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return true;
            SetEvent(probeGone);
            return false;
        }
    }

    // Waits for notices of the connection; false when the proxy stops.
    bool WaitConnection(SOCKET connection, DWORD milliseconds) {
        if (!WaitFor(connectionEvent, milliseconds)) return !Stopping();
        WSANETWORKEVENTS notices;
        WSAEnumNetworkEvents(connection, connectionEvent, &notices);
        return true;
    }

    bool ReadRequest(SOCKET connection) {
        DWORD start = GetTickCount();
        for (;;) {
            if (!ReadArrived(connection)) return false;
            EnterCriticalSection(&lock);
            bool whole = IsWholeRequest(connectionBytes);
            LeaveCriticalSection(&lock);
            DWORD spent = GetTickCount() - start;
            if (whole || spent >= RequestWaitMs) break;
            if (!WaitConnection(connection, RequestWaitMs - spent)) return false;
        }
        SetEvent(requestIn);
        return true;
    }

    void ReadUntilGone(SOCKET connection) {
        while (ReadArrived(connection))
            if (!WaitConnection(connection, INFINITE)) return;
    }

    // Sends the bytes whole; false once the probe's side is gone.
    bool SendWhole(SOCKET connection, const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            int sent = send(connection, bytes.data() + done, (int)(bytes.size() - done), 0);
            if (sent > 0) {
                done += (size_t)sent;
            } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
                SetEvent(probeGone);
                return false;
            } else if (!WaitConnection(connection, WaitLimitMs)) {
                return false;
            }
        }
        return true;
    }

    void Converse(SOCKET connection) {
        EnterCriticalSection(&lock);
        connectionBytes.clear();
        LeaveCriticalSection(&lock);
        WSAEventSelect(connection, connectionEvent, FD_READ | FD_WRITE | FD_CLOSE);
        if (ReadRequest(connection)) Act(connection);
        closesocket(connection);
    }

    void Act(SOCKET connection) {
        switch (script.act) {
        case AnswerLater:
            if (WaitForSingleObject(stop, script.delayMs) == WAIT_OBJECT_0) return;
            AnswerAndRead(connection);
            return;
        case AnswerOnRelease:
            if (!WaitFor(release, INFINITE)) return;
            AnswerAndRead(connection);
            return;
        case Answer: AnswerAndRead(connection); return;
        case AnswerAndClose:
            if (SendWhole(connection, script.reply)) SetEvent(answered);
            return;
        case AnswerForever:
            SetEvent(answered);
            while (!Stopping() && SendWhole(connection, script.reply)) {}
            return;
        case Reset: {
            linger abort = {1, 0};
            setsockopt(connection, SOL_SOCKET, SO_LINGER, (const char*)&abort, sizeof abort);
            return;
        }
        case CloseQuietly: return;
        case StaySilent: ReadUntilGone(connection); return;
        }
    }

    void AnswerAndRead(SOCKET connection) {
        if (!SendWhole(connection, script.reply)) return;
        SetEvent(answered);
        ReadUntilGone(connection);
    }

    const ProxyScript script;
    SOCKET listener;
    int port;
    HANDLE thread;
    HANDLE stop, release;
    HANDLE requestIn, answered, probeGone;
    WSAEVENT listenEvent, connectionEvent;
    std::atomic<int> accepted{0};
    CRITICAL_SECTION lock;
    std::string received;         // every connection's bytes
    std::string connectionBytes;  // the current connection's
};

typedef std::vector<std::unique_ptr<FakeProxy>> FakeProxies;

// ---- the fixture ----

static bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

class ProbeEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        if (RealLookup != nullptr) return;
        LookupStarted = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        RealLookup = gethostbyname;  // read from the import table, before the change
        ASSERT_TRUE(ReplaceImport((void*)RealLookup, (void*)HeldLookup));
    }

    void SetUp() override {
        InitCatalogue(&catalogue, &writes);
        settings.probeHost = ProbeHost;
        engine = CreateProbeEngine();
        ASSERT_NE(engine, nullptr);
    }

    void TearDown() override {
        window.OpenGate();
        Close();
        DestroyProbeEngine(engine);
    }

    int AddRow(const std::string& address, int typeFlag = Http, int statusCode = StatusCodeUntested) {
        OnWindowThread onWindow(&window);
        int row = AddServerRow(&catalogue, MyProxyServersSlot, address.c_str(), typeFlag, statusCode);
        EXPECT_GE(row, 0) << address;
        return row;
    }

    // A row for each proxy, in order, all typed Http.
    std::vector<int> AddRows(const FakeProxies& proxies) {
        std::vector<int> rows;
        for (const auto& proxy : proxies) rows.push_back(AddRow(proxy->Address()));
        return rows;
    }

    void SetText(int row, int column, const std::string& text) {
        OnWindowThread onWindow(&window);
        SetServerText(&catalogue, MyProxyServersSlot, row, column, text.c_str());
    }

    std::string Text(int row, int column) {
        OnWindowThread onWindow(&window);
        return catalogue.lists[MyProxyServersSlot].Row(row).text[column];
    }

    int Writes(int row) {
        OnWindowThread onWindow(&window);
        return writes.Of(row);
    }

    void Start(const std::vector<int>& rows, TestBatch* into = nullptr) {
        OnWindowThread onWindow(&window);
        OpenTestRun(&run, &catalogue, rows, settings);
        ASSERT_TRUE(StartTestBatch(into != nullptr ? into : &batch, engine, &run, &window));
    }

    void Close(TestBatch* which = nullptr) {
        OnWindowThread onWindow(&window);
        CloseTestBatch(which != nullptr ? which : &batch);
    }

    void Tick() {
        OnWindowThread onWindow(&window);
        TickProbes(engine);
    }

    // Polls the condition as window code until it holds or the time runs out.
    bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = WaitLimitMs) {
        for (DWORD start = GetTickCount();; Sleep(5)) {
            {
                OnWindowThread onWindow(&window);
                if (condition()) return true;
            }
            if (GetTickCount() - start >= milliseconds) return false;
        }
    }

    bool WaitTested(int count, DWORD milliseconds = WaitLimitMs) {
        return WaitUntil([&] { return run.tested >= count; }, milliseconds);
    }

    bool WaitArmed(int count) {
        return WaitUntil([&] { return ArmedProbeCount(engine) == count; });
    }

    bool WaitStatus(int row, const char* status) {
        return WaitUntil([&] { return catalogue.lists[MyProxyServersSlot].Row(row).text[ServerStatus] == status; });
    }

    ProxyCatalogue catalogue;
    RowWrites writes;
    FakeWindow window;
    TestingSettings settings;
    ProbeEngine* engine = nullptr;
    TestRun run;
    TestBatch batch = {};
};

static FakeProxies MakeProxies(int count, const std::function<ProxyScript(int)>& scriptOf) {
    FakeProxies proxies;
    for (int i = 0; i < count; ++i) proxies.emplace_back(new FakeProxy(scriptOf(i)));
    return proxies;
}

// ---- what a probe sends ----

TEST_F(ProbeEngineTest, ProbeBytesFollowTheRowTypeTextExactly) {
    const std::string greeting((const char*)SocksGreeting, SocksGreetingSize);
    struct Case {
        const char* name;
        int typeFlag;
        const char* typeText;  // written over the type column; null keeps the added one
        std::string expected;
    } cases[] = {
        {"Http", Http, nullptr, HttpRequest},
        {"Socks", Socks, nullptr, greeting},
        {"typed socks", Http, "socks", HttpRequest},
        {"typed SOCKS", Socks, "SOCKS", HttpRequest},
        {"typed Socks5", Http, "Socks5", HttpRequest},
    };
    FakeProxies proxies = MakeProxies((int)(sizeof cases / sizeof cases[0]), [](int) { return Replying(OkReply); });
    std::vector<int> rows;
    for (size_t i = 0; i < proxies.size(); ++i) {
        rows.push_back(AddRow(proxies[i]->Address(), cases[i].typeFlag));
        if (cases[i].typeText != nullptr) SetText(rows.back(), ServerTypeColumn, cases[i].typeText);
    }
    Start(rows);
    ASSERT_TRUE(WaitTested((int)rows.size()));
    for (size_t i = 0; i < proxies.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        ASSERT_TRUE(proxies[i]->WaitProbeGone());
        EXPECT_EQ(proxies[i]->Received(), cases[i].expected);
        EXPECT_EQ(proxies[i]->Connections(), 1);
    }
}

// ---- verdicts ----

TEST_F(ProbeEngineTest, EachReplyGetsItsVerdictDelayAndLastCheck) {
    const std::string longReply = std::string(OkReply) + std::string(ProbeReplyBytes, 'x');
    const DWORD lateMs = 300;
    struct Case {
        const char* name;
        int typeFlag;
        ProxyScript script;
        bool refused;  // no proxy listens on the row's port
        const char* status;
        bool delayShown;
    } cases[] = {
        {"200", Http, Replying("HTTP/1.1 200 OK\r\n\r\n"), false, StatusAliveText, true},
        {"200 and the end of the stream", Http, ProxyScript{AnswerAndClose, OkReply, 0}, false, StatusAliveText, true},
        {"lower-case 302", Http, Replying("http/1.0 302 Found\r\n\r\n"), false, StatusAliveText, true},
        {"407", Http, Replying("HTTP/1.1 407 Proxy Authentication Required\r\n\r\n"), false, StatusDeadText, true},
        {"HTTP/2 200", Http, Replying("HTTP/2 200\r\n\r\n"), false, StatusDeadText, true},
        {"SOCKS 5 refusing every method", Socks, Replying("\x05\xFF"), false, StatusAliveText, true},
        {"SOCKS 4 reply", Socks, Replying(std::string("\x00\x5A\x00\x00\x00\x00\x00\x00", 8)), false,
         StatusDeadText, true},
        {"0x05 to the HTTP request", Http, Replying("\x05\x01 not a web reply"), false, StatusAliveText, true},
        {"one byte", Http, Replying("H"), false, StatusDeadText, true},
        {"late 200", Http, ProxyScript{AnswerLater, OkReply, lateMs}, false, StatusAliveText, true},
        {"sending forever", Http, ProxyScript{AnswerForever, longReply, 0}, false, StatusAliveText, true},
        {"closed without reply", Http, ProxyScript{CloseQuietly, "", 0}, false, StatusDeadText, false},
        {"reset", Http, ProxyScript{Reset, "", 0}, false, StatusDeadText, false},
        {"refused", Http, Silent(), true, StatusDeadText, false},
    };
    const int count = (int)(sizeof cases / sizeof cases[0]);
    FakeProxies proxies = MakeProxies(count, [&](int i) { return cases[i].script; });
    std::vector<int> rows;
    int alive = 0;
    for (int i = 0; i < count; ++i) {
        std::string address = cases[i].refused ? "127.0.0.1:" + std::to_string(UnusedPort()) : proxies[i]->Address();
        rows.push_back(AddRow(address, cases[i].typeFlag));
        alive += std::string(cases[i].status) == StatusAliveText;
    }
    settings.probes = count;
    Start(rows);
    ASSERT_TRUE(WaitTested(count));
    Sleep(SettleMs);  // a second verdict would come by now

    OnWindowThread onWindow(&window);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].name);
        const ProxyServer& server = catalogue.lists[MyProxyServersSlot].Row(rows[i]);
        EXPECT_EQ(server.text[ServerStatus], cases[i].status);
        EXPECT_EQ(server.icon, std::string(cases[i].status) == StatusAliveText ? ImageAlive : ImageDead);
        EXPECT_EQ(IsNumber(server.text[ServerDelay]), cases[i].delayShown) << '"' << server.text[ServerDelay] << '"';
        EXPECT_EQ(server.text[ServerLastCheck], InjectedTimeText);
        if (!cases[i].refused) {
            EXPECT_EQ(proxies[i]->Connections(), 1);
        }
        if (cases[i].script.act == AnswerForever) {
            EXPECT_TRUE(proxies[i]->WaitProbeGone());
        }
        if (cases[i].script.act == AnswerLater) {
            EXPECT_GE(atoi(server.text[ServerDelay].c_str()), (int)lateMs / 2) << "the delay runs to the reply";
        }
    }
    EXPECT_EQ(run.tested, count);
    EXPECT_EQ(run.alive, alive);
    EXPECT_EQ(run.dead, count - alive);
    EXPECT_EQ(ArmedProbeCount(engine), 0);
}

TEST_F(ProbeEngineTest, SilentServerIsDeadOnlyWhenTheTicksReachTheTimeOut) {
    FakeProxy proxy(Silent());
    int row = AddRow(proxy.Address());
    settings.timeoutSeconds = 3;
    Start({row});
    ASSERT_TRUE(proxy.WaitRequest());
    ASSERT_TRUE(WaitArmed(1));
    Tick();
    Tick();
    EXPECT_EQ(Text(row, ServerStatus), StatusTestingText);
    EXPECT_EQ(run.tested, 0);
    EXPECT_FALSE(proxy.WaitProbeGone(0));

    Tick();
    EXPECT_EQ(Text(row, ServerStatus), StatusDeadText);
    EXPECT_EQ(Text(row, ServerDelay), "");
    EXPECT_EQ(Text(row, ServerLastCheck), InjectedTimeText);
    EXPECT_EQ(run.tested, 1);
    EXPECT_EQ(run.dead, 1);
    EXPECT_EQ(ArmedProbeCount(engine), 0);
    EXPECT_TRUE(proxy.WaitProbeGone());
}

// Addresses that never make a connection: each gets one Dead verdict with no
// delay, and none keeps the only slot from the server after it.
TEST_F(ProbeEngineTest, AddressesThatCannotBeReachedAreDeadAndFreeTheirSlot) {
    FakeProxy proxy(Silent());
    std::vector<int> rows = {AddRow("nonexistent.invalid:80"), AddRow("127.0.0.1:1"), AddRow("127.0.0.1:2")};
    SetText(rows[1], ServerAddress, "127.0.0.1:abc");
    SetText(rows[2], ServerAddress, std::string(RowTextSize - 1, 'a'));
    ASSERT_EQ(Text(rows[2], ServerAddress).size(), (size_t)RowTextSize - 1);
    const int unreachable = (int)rows.size();
    int last = AddRow(proxy.Address());
    rows.push_back(last);
    settings.probes = 1;
    Start(rows);
    ASSERT_TRUE(WaitTested(unreachable));
    ASSERT_TRUE(WaitStatus(last, StatusTestingText)) << "the slot went to the next server without a tick";
    ASSERT_TRUE(proxy.WaitRequest());
    Sleep(SettleMs);

    OnWindowThread onWindow(&window);
    for (int i = 0; i < unreachable; ++i) {
        const ProxyServer& server = catalogue.lists[MyProxyServersSlot].Row(rows[i]);
        SCOPED_TRACE(server.text[ServerAddress]);
        EXPECT_EQ(server.text[ServerStatus], StatusDeadText);
        EXPECT_EQ(server.text[ServerDelay], "");
        EXPECT_EQ(server.text[ServerLastCheck], InjectedTimeText);
    }
    EXPECT_EQ(run.tested, unreachable);
    EXPECT_EQ(run.dead, unreachable);
    EXPECT_EQ(run.alive, 0);
    EXPECT_EQ(ArmedProbeCount(engine), 1);
}

// A port beyond 16 bits, or below 1, would reach another server once cut
// to 16 bits: here the one that answers Alive.
TEST_F(ProbeEngineTest, PortsOutsideOneTo65535AreDeadWithoutAConnection) {
    FakeProxy proxy(Replying(OkReply));
    std::vector<int> rows = {AddRow("127.0.0.1:" + std::to_string(proxy.Port() + 65536)),
                             AddRow("127.0.0.1:-" + std::to_string(65536 - proxy.Port()))};
    const int outOfRange = (int)rows.size();
    // The same server on its own port, in the same run: it does answer.
    int live = AddRow(proxy.Address());
    rows.push_back(live);
    Start(rows);
    ASSERT_TRUE(WaitTested((int)rows.size()));
    Sleep(SettleMs);
    OnWindowThread onWindow(&window);
    for (int i = 0; i < outOfRange; ++i) {
        const ProxyServer& server = catalogue.lists[MyProxyServersSlot].Row(rows[i]);
        SCOPED_TRACE(server.text[ServerAddress]);
        EXPECT_EQ(server.text[ServerStatus], StatusDeadText);
        EXPECT_EQ(server.text[ServerDelay], "");
    }
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(live).text[ServerStatus], StatusAliveText);
    EXPECT_EQ(run.dead, outOfRange);
    EXPECT_EQ(proxy.Connections(), 1) << "a probe connected to a port cut to 16 bits";
}

// ---- slots ----

// Nine silent servers and eight slots. The first probe starts one tick
// before the other seven (the second's name lookup takes a while), so that
// the next tick times out its slot alone.
TEST_F(ProbeEngineTest, NinthServerWaitsForTheSlotATimeOutFrees) {
    const int slots = 8;
    FakeProxies proxies = MakeProxies(slots + 1, [](int) { return Silent(); });
    std::vector<int> rows = AddRows(proxies);
    const int ninth = rows[slots];
    settings.probes = slots;
    settings.timeoutSeconds = 2;
    // The second server's lookup holds the batch while the first probe
    // gets its first tick.
    SetText(rows[1], ServerAddress, std::string(SlowHost) + ":" + std::to_string(proxies[1]->Port()));
    ResetEvent(LookupStarted);
    Start(rows);
    ASSERT_EQ(WaitForSingleObject(LookupStarted, WaitLimitMs), WAIT_OBJECT_0);
    ASSERT_TRUE(WaitArmed(1));
    ASSERT_TRUE(proxies[0]->WaitRequest());
    Tick();
    ASSERT_TRUE(WaitArmed(slots));
    for (int i = 0; i < slots; ++i) ASSERT_TRUE(proxies[i]->WaitRequest());

    Sleep(SettleMs);
    EXPECT_EQ(Text(ninth, ServerStatus), StatusUntestedText);
    EXPECT_EQ(Writes(ninth), 0);
    EXPECT_EQ(proxies[slots]->Connections(), 0);

    Tick();  // the first probe's second
    EXPECT_EQ(Text(rows[0], ServerStatus), StatusDeadText);
    ASSERT_TRUE(WaitStatus(ninth, StatusTestingText));
    ASSERT_TRUE(proxies[slots]->WaitRequest());
    ASSERT_TRUE(WaitArmed(slots));
    for (int i = 1; i < slots; ++i) EXPECT_EQ(Text(rows[i], ServerStatus), StatusTestingText) << i;

    Tick();  // the others' second, the ninth's first
    for (int i = 1; i < slots; ++i) EXPECT_EQ(Text(rows[i], ServerStatus), StatusDeadText) << i;
    EXPECT_EQ(Text(ninth, ServerStatus), StatusTestingText);
    Tick();
    EXPECT_EQ(Text(ninth, ServerStatus), StatusDeadText);
    EXPECT_EQ(run.tested, slots + 1);
    EXPECT_EQ(proxies[slots]->Connections(), 1);
}

// ---- closing ----

TEST_F(ProbeEngineTest, ClosingMidRunDropsProbesAndRestoresTestingRows) {
    const int probes = 2;
    FakeProxies proxies = MakeProxies(2 * probes, [](int) { return Silent(); });
    std::vector<int> rows;
    for (int i = 0; i < 2 * probes; ++i)
        rows.push_back(AddRow(proxies[i]->Address(), Http, i < probes ? StatusCodeUntested : StatusCodeAlive));
    settings.probes = probes;
    Start(rows);
    ASSERT_TRUE(WaitArmed(probes));
    for (int i = 0; i < probes; ++i) ASSERT_TRUE(proxies[i]->WaitRequest());
    ASSERT_TRUE(WaitStatus(rows[probes - 1], StatusTestingText));

    Close();
    EXPECT_EQ(ArmedProbeCount(engine), 0);
    EXPECT_EQ(run.tested, 0);
    for (int i = 0; i < 2 * probes; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Text(rows[i], ServerStatus), i < probes ? StatusUntestedText : StatusAliveText);
        EXPECT_EQ(Text(rows[i], ServerLastCheck), "");
        if (i < probes) {
            EXPECT_TRUE(proxies[i]->WaitProbeGone());
        } else {
            EXPECT_EQ(proxies[i]->Connections(), 0);
        }
    }
    ASSERT_GE(window.statusTexts.size(), 2u);
    EXPECT_EQ(window.statusTexts.front(), TestingStatusText);
    EXPECT_EQ(window.statusTexts.back(), "(default)");
}

// A verdict the probe thread has issued but whose call has not reached the
// window when the closing begins (held at the gate until a while after):
// the closing waits for it and writes it before it gives the rows up, and
// still turns the other probe's row back.
struct GateOpener {
    FakeWindow* window;
    DWORD afterMs;
    static DWORD WINAPI Run(void* argument) {
        GateOpener* opener = (GateOpener*)argument;
        Sleep(opener->afterMs);
        opener->window->OpenGate();
        return 0;
    }
};

TEST_F(ProbeEngineTest, ClosingWritesTheVerdictIssuedBeforeIt) {
    FakeProxy replying(ProxyScript{AnswerOnRelease, OkReply, 0});
    FakeProxy silent(Silent());
    std::vector<int> rows = {AddRow(replying.Address()), AddRow(silent.Address())};
    settings.probes = 2;
    Start(rows);
    ASSERT_TRUE(WaitArmed(2));
    ASSERT_TRUE(replying.WaitRequest());
    ASSERT_TRUE(silent.WaitRequest());
    ASSERT_TRUE(WaitUntil([&] { return window.statusTexts.back() == "(default)"; })) << "the batch is done";
    window.CloseGate();
    replying.Release();
    for (DWORD start = GetTickCount(); window.Waiting() < 1 && GetTickCount() - start < WaitLimitMs;) Sleep(5);
    ASSERT_EQ(window.Waiting(), 1) << "the probe thread's verdict waits at the gate";
    GateOpener opener = {&window, SettleMs};
    HANDLE openerThread = StartThread(GateOpener::Run, &opener);
    Close();
    WaitForSingleObject(openerThread, INFINITE);
    CloseHandle(openerThread);
    EXPECT_EQ(Text(rows[0], ServerStatus), StatusAliveText);
    EXPECT_TRUE(IsNumber(Text(rows[0], ServerDelay)));
    EXPECT_EQ(Text(rows[1], ServerStatus), StatusUntestedText);
    EXPECT_EQ(run.tested, 1);
    EXPECT_EQ(run.alive, 1);
    EXPECT_EQ(ArmedProbeCount(engine), 0);
    EXPECT_TRUE(silent.WaitProbeGone());
}

// A run closed while its batch waits for a name lookup, and a run over
// other rows opened at once: the closing waits for the lookup, and the
// closed run's batch never probes for the next run. Its rows get no more
// writes, its server no connection, the next run no extra verdict.
TEST_F(ProbeEngineTest, ClosedRunsBatchNeverActsOnTheNextRun) {
    const int probes = 4;
    FakeProxies oldProxies = MakeProxies(probes - 1, [](int) { return Silent(); });
    FakeProxy slowProxy(Replying(OkReply));
    FakeProxies newProxies = MakeProxies(probes, [](int) { return Replying(OkReply); });
    std::vector<int> oldRows = AddRows(oldProxies);
    int slowRow = AddRow(std::string(SlowHost) + ":" + std::to_string(slowProxy.Port()));
    oldRows.push_back(slowRow);
    std::vector<int> newRows = AddRows(newProxies);
    settings.probes = probes;
    Start(oldRows);
    ASSERT_EQ(WaitForSingleObject(LookupStarted, WaitLimitMs), WAIT_OBJECT_0);
    ASSERT_TRUE(WaitArmed(probes - 1));
    Close();
    EXPECT_EQ(Text(slowRow, ServerStatus), StatusUntestedText);
    std::vector<int> writesAtClosing;
    for (int row : oldRows) writesAtClosing.push_back(Writes(row));

    TestBatch next = {};
    Start(newRows, &next);
    ASSERT_TRUE(WaitTested(probes));
    Sleep(LookupHoldMs + SettleMs);
    for (size_t i = 0; i < oldRows.size(); ++i) EXPECT_EQ(Writes(oldRows[i]), writesAtClosing[i]) << "row " << i;
    EXPECT_EQ(slowProxy.Connections(), 0);
    for (const auto& proxy : oldProxies) EXPECT_TRUE(proxy->WaitProbeGone());
    for (int row : newRows) EXPECT_EQ(Text(row, ServerStatus), StatusAliveText) << "row " << row;
    EXPECT_EQ(run.tested, probes);
    Close(&next);
}

// ---- races between replies and time-outs ----

// Ticks as the window's timer would, but as fast as the window thread can,
// with pauses of 0 to PauseCycle - 2 ms between them, so that many replies
// come just as the tick does, and once a cycle a long pause, in which the
// replies beat their time-outs however loaded the machine is.
static const DWORD PauseCycle = 8;
static const DWORD LongPauseMs = 250;  // longer than a loaded probe thread lags behind its notices
struct TickHammer {
    FakeWindow* window;
    ProbeEngine* engine;
    std::atomic<int> stop{0};
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(void* argument) {
        TickHammer* hammer = (TickHammer*)argument;
        for (DWORD tick = 0; !hammer->stop; ++tick) {
            {
                OnWindowThread onWindow(hammer->window);
                TickProbes(hammer->engine);
            }
            DWORD step = tick % PauseCycle;
            Sleep(step == PauseCycle - 1 ? LongPauseMs : step);
        }
        return 0;
    }
    void Start() { thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    void Stop() {
        stop = 1;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
};

static const int RaceServers = 300;

struct RowTally {
    int alive = 0, dead = 0, other = 0;
    int delayed = 0;     // rows whose delay is shown
    int mismatched = 0;  // rows whose delay is shown with another verdict than their reply's
};

class ProbeRaceTest : public ProbeEngineTest {
protected:
    // Every server of the list probed with time-outs of one tick while
    // another thread keeps ticking; the rows as the verdicts left them.
    RowTally RunHammered(const std::vector<int>& rows, const std::function<bool(int)>& aliveReply) {
        settings.probes = MostProbeCount;
        settings.timeoutSeconds = 1;
        TickHammer hammer{&window, engine};
        Start(rows);
        hammer.Start();
        bool done = WaitTested(RaceServers, ManyWaitLimitMs);
        hammer.Stop();
        EXPECT_TRUE(done) << run.tested << " verdicts";
        Sleep(SettleMs);  // a second verdict would come by now
        RowTally tally;
        OnWindowThread onWindow(&window);
        for (size_t i = 0; i < rows.size(); ++i) {
            const ProxyServer& server = catalogue.lists[MyProxyServersSlot].Row(rows[i]);
            const std::string& status = server.text[ServerStatus];
            if (status == StatusAliveText) tally.alive += 1;
            else if (status == StatusDeadText) tally.dead += 1;
            else tally.other += 1;
            if (server.text[ServerDelay].empty()) continue;
            tally.delayed += 1;
            if ((status == StatusAliveText) != aliveReply((int)i)) tally.mismatched += 1;
        }
        return tally;
    }
};

TEST_F(ProbeRaceTest, EveryRowGetsOneVerdictWhileTimeOutsRaceTheReplies) {
    FakeProxies proxies = MakeProxies(RaceServers, [](int) { return Replying(OkReply); });
    std::vector<int> rows = AddRows(proxies);
    RowTally tally = RunHammered(rows, [](int) { return true; });
    EXPECT_EQ(tally.other, 0);
    EXPECT_EQ(tally.alive + tally.dead, RaceServers);
    EXPECT_EQ(tally.mismatched, 0);
    Close();
    EXPECT_EQ(run.tested, RaceServers);
    EXPECT_EQ(run.alive, tally.alive);
    EXPECT_EQ(run.dead, tally.dead);
    EXPECT_EQ(ArmedProbeCount(engine), 0);
}

TEST_F(ProbeRaceTest, ShownDelayComesWithTheVerdictOfTheRowsOwnServer) {
    auto aliveReply = [](int i) { return i % 2 == 0; };
    FakeProxies proxies =
        MakeProxies(RaceServers, [&](int i) { return Replying(aliveReply(i) ? OkReply : ErrorReply); });
    std::vector<int> rows = AddRows(proxies);
    RowTally tally = RunHammered(rows, aliveReply);
    EXPECT_EQ(tally.other, 0);
    EXPECT_GT(tally.delayed, 0) << "no reply beat its time-out: the race did not run";
    EXPECT_EQ(tally.mismatched, 0) << "of " << tally.delayed << " rows with a delay";
    Close();
    EXPECT_EQ(run.tested, RaceServers);
}

// A reply arrives just before the tick that times its probe out, while the
// probe thread is held up delivering another verdict; the next server, a
// silent one, takes the freed slot at once. The reply's notice, left behind
// in the slot, must not judge the silent server's probe.
TEST_F(ProbeEngineTest, ReplyLeftBehindByATimeOutNeverJudgesTheNextProbeInItsSlot) {
    FakeProxy timedOut(ProxyScript{AnswerOnRelease, OkReply, 0});
    FakeProxy other(ProxyScript{AnswerOnRelease, OkReply, 0});
    FakeProxy third(Silent());
    FakeProxy next(Silent());
    std::vector<int> rows = {AddRow(timedOut.Address()), AddRow(other.Address()), AddRow(third.Address()),
                             AddRow(next.Address())};
    settings.probes = 2;
    settings.timeoutSeconds = 2;
    Start(rows);
    ASSERT_TRUE(WaitArmed(2));
    ASSERT_TRUE(timedOut.WaitRequest());
    ASSERT_TRUE(other.WaitRequest());
    Tick();  // the first two probes' first: the next tick times them out, not the third's
    {
        OnWindowThread onWindow(&window);
        // The other server's verdict frees the second slot; the probe
        // thread and the batch (with the third server) wait for this thread.
        other.Release();
        for (DWORD start = GetTickCount(); window.Waiting() < 2 && GetTickCount() - start < WaitLimitMs;) Sleep(5);
        ASSERT_EQ(window.Waiting(), 2);
        timedOut.Release();
        ASSERT_TRUE(timedOut.WaitAnswered());
        Sleep(SettleMs);  // the reply is in the probe's socket
        TickProbes(engine);
        EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(rows[0]).text[ServerStatus], StatusDeadText);
        EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(rows[0]).text[ServerDelay], "");
    }
    ASSERT_TRUE(next.WaitRequest());
    ASSERT_TRUE(third.WaitRequest());
    Sleep(SettleMs);
    EXPECT_EQ(Text(rows[1], ServerStatus), StatusAliveText);
    EXPECT_EQ(Text(rows[2], ServerStatus), StatusTestingText);
    EXPECT_EQ(Text(rows[3], ServerStatus), StatusTestingText);
    EXPECT_EQ(Text(rows[3], ServerDelay), "");
    EXPECT_EQ(run.tested, 2);
    EXPECT_EQ(ArmedProbeCount(engine), 2);
}
