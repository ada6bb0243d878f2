// "Test Server" in the real main window, under wine, over the fake proxy
// servers of probe_farm (probe_farm_layout.h), which must be running
// (tools/run-bench starts it). For 8 and 64 probes at once: the verdicts per
// second against what the probes allow (probes / answer delay), the share
// of time every slot is busy while servers wait to be started, and the CPU
// time of this process and of the wineserver; then the closing of a run in
// a category of 30,000 servers of which 15,000 are Dead. Prints tables, and
// the cost of each kind of step a probe takes, measured here.
//
// The command runs as a user gives it: WM_COMMAND IDM_TEST_SERVER to the
// main window, whose modal dialog runs until a watcher thread has seen the
// last verdict (read on the window thread) and sends it IDCANCEL. A sampler
// thread reads the number of armed probe slots every millisecond meanwhile.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "linux_proc.h"
#include "manager/catalogue/catalogue_texts.h"
#include "manager/resources/resource_ids.h"
#include "manager/testing/probe_rules.h"
#include "manager/window/main_window_win32.h"
#include "manager/window/window_thread_win32.h"
#include "probe_farm_layout.h"
#include "window_timing.h"

static const int ProbeCounts[] = {8, 64};
static const int Runs = 3;
// A silent server is Dead after 0.9 to 1 s: its tenth tick.
static const UINT TickMs = 100;
static const int TimeoutTicks = 10;
static const DWORD VerdictPollMs = 2;
static const double GiveUpMs = 120000;
static const double BusyTarget = 0.90;
static const double CloseLimitMs = 1000;
static const int CloseServerCount = 30000;
static const int SampleReserve = 1 << 20;
static const int CostRepeats = 500;
static const WORD WinsockVersion = MAKEWORD(2, 2);
static const char TestingDialogTitle[] = "Testing Servers";
// Without a window manager (a bare Xvfb) wine waits up to 2 s for one
// whenever a managed window is hidden, as the dialog is at its closing;
// tools/run-bench makes this program's windows unmanaged.
static const char ProgramX11Key[] = "Software\\Wine\\AppDefaults\\probe_bench.exe\\X11 Driver";

// ---- the farm's control connection ----

static SOCKET farmControl = INVALID_SOCKET;

static bool ConnectFarm() {
    farmControl = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(FarmPort);
    to.sin_addr.s_addr = inet_addr(FarmControlHost);
    return farmControl != INVALID_SOCKET && connect(farmControl, (const sockaddr*)&to, sizeof to) == 0;
}

static std::string FarmCommand(const char* command) {
    std::string line = std::string(command) + "\n", reply;
    send(farmControl, line.data(), (int)line.size(), 0);
    char c = 0;
    while (recv(farmControl, &c, 1, 0) == 1 && c != '\n') reply.push_back(c);
    return reply;
}

static FarmStats ReadFarmStats() {
    FarmStats stats = {};
    std::string line = FarmCommand("stats");
    std::sscanf(line.c_str(), FarmStatsFormat, &stats.accepted[FarmAlive], &stats.accepted[FarmDead],
                &stats.accepted[FarmRefusing], &stats.accepted[FarmSilent], &stats.replied,
                &stats.closedBeforeReply, &stats.mostOpen, &stats.latenessMedianUs, &stats.latenessWorstUs,
                &stats.cpuMs);
    return stats;
}

// ---- the servers of a run ----

enum ServerSet { AnsweringSet, RefusingSet, EverySet, SetCount };

static const char* const SetNames[SetCount] = {"alive and dead (answer after 50 ms)", "refusing",
                                               "all (also silent)"};

static bool InSet(ServerSet set, FarmKind kind) {
    if (set == AnsweringSet) return kind == FarmAlive || kind == FarmDead;
    if (set == RefusingSet) return kind == FarmRefusing;
    return true;
}

static std::string FarmAddress(int server) {
    char host[32];
    FarmHost(server, host, sizeof host);
    return std::string(host) + ":" + std::to_string(FarmPort);
}

// The farm server of an address, or -1.
static int FarmServerOf(const std::string& address) {
    unsigned third = 0, fourth = 0, port = 0;
    if (std::sscanf(address.c_str(), "127.77.%u.%u:%u", &third, &fourth, &port) != 3 || third == 0 || fourth == 0)
        return -1;
    int server = (int)(third - 1) * 250 + (int)fourth - 1;
    return server < FarmServerCount ? server : -1;
}

struct Expected {
    int servers = 0;
    int alive = 0;
    int kinds[FarmKindCount] = {};
};

static std::vector<NewServer> SetServers(ServerSet set, Expected* expected) {
    std::vector<NewServer> servers;
    for (int server = 0; server < FarmServerCount; ++server) {
        FarmKind kind = FarmKindOf(server);
        if (!InSet(set, kind)) continue;
        servers.push_back(NewServer{FarmAddress(server), Http, StatusCodeUntested});
        expected->servers += 1;
        expected->alive += kind == FarmAlive;
        expected->kinds[kind] += 1;
    }
    return servers;
}

// The closing's category: one alive farm server first, then servers that
// are never contacted, every second one Dead.
static std::vector<NewServer> CloseServers(Expected* expected) {
    std::vector<NewServer> servers;
    servers.reserve(CloseServerCount);
    servers.push_back(NewServer{FarmAddress(0), Http, StatusCodeUntested});
    char address[64];
    for (int i = 1; i < CloseServerCount; ++i) {
        std::snprintf(address, sizeof address, "10.%d.%d.%d:%d", (i >> 16) & 255, (i >> 8) & 255, i & 255,
                      1024 + i % 60000);
        servers.push_back(NewServer{address, Http, i % 2 == 1 ? StatusCodeDead : StatusCodeUntested});
    }
    expected->servers = 1;
    expected->alive = 1;
    expected->kinds[FarmAlive] = 1;
    return servers;
}

// ---- CPU time ----

static double FileTimeMs(const FILETIME& time) {
    return (double)(((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime) / 1e4;
}

static double ProcessCpuMs() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

static double ThreadCpuMs(HANDLE thread) {
    FILETIME created, ended, kernel, user;
    if (thread == nullptr || !GetThreadTimes(thread, &created, &ended, &kernel, &user)) return 0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

struct CpuMark {
    double wallMs;
    double processMs;
    double helpersMs;  // the sampler and the watcher: the benchmark's own
    long long wineserverNs;
};

// ---- one run ----

struct Sample {
    double ms;
    int armed;
};

struct Observation {
    MainWindow* main;
    DWORD windowThread;
    int expected;
    HANDLE threads[2];  // sampler, watcher
    std::atomic<int> stop{0};
    std::vector<Sample> samples;  // the sampler's
    int wineserver;
    // The watcher's.
    double batchEndMs = 0;  // the batch thread ended: every server's probe had started
    double lastVerdictMs = 0;
    double closeSentMs = 0;
    int tested = 0, alive = 0, dead = 0;
    std::vector<int> delays;  // the rows' delay column, where one was written
    int answersTimedOut = 0;  // servers that answered, judged by the time-out
    CpuMark end = {};
};

static CpuMark MarkCpu(Observation* observation) {
    CpuMark mark;
    mark.wallMs = NowMs();
    mark.processMs = ProcessCpuMs();
    mark.helpersMs = ThreadCpuMs(observation->threads[0]) + ThreadCpuMs(observation->threads[1]);
    mark.wineserverNs = observation->wineserver > 0 ? LinuxMainThreadRunNs(observation->wineserver) : -1;
    return mark;
}

static DWORD WINAPI SampleSlots(void* argument) {
    Observation* observation = (Observation*)argument;
    ProbeEngine* engine = observation->main->probeEngine;
    while (!observation->stop) {
        observation->samples.push_back(Sample{NowMs(), ArmedProbeCount(engine)});
        Sleep(1);
    }
    return 0;
}

struct DialogSearch {
    HWND owner;
    HWND found;
};

static BOOL CALLBACK FindTestingDialog(HWND window, LPARAM argument) {
    DialogSearch* search = (DialogSearch*)argument;
    char title[64] = "";
    // Not GetWindowText: that would send a message to the busy window thread.
    WCHAR wide[64] = L"";
    InternalGetWindowText(window, wide, 64);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, title, sizeof title, nullptr, nullptr);
    if (window != search->owner && lstrcmpA(title, TestingDialogTitle) == 0) search->found = window;
    return search->found == nullptr;
}

struct BatchThreadCopy {
    HWND dialog;
    HANDLE thread;
    int open;  // the dialog holds its run
};

static void CopyBatchThread(void* argument) {
    BatchThreadCopy* copy = (BatchThreadCopy*)argument;
    TestingDialog* testing = (TestingDialog*)GetWindowLongPtrA(copy->dialog, DWLP_USER);
    copy->open = testing != nullptr && testing->batch.thread != nullptr;
    if (copy->open)
        DuplicateHandle(GetCurrentProcess(), testing->batch.thread, GetCurrentProcess(), &copy->thread, SYNCHRONIZE,
                        FALSE, 0);
}

static void ReadProgress(void* argument) {
    Observation* observation = (Observation*)argument;
    const TestRun& run = observation->main->testRun;
    observation->tested = run.tested;
    observation->alive = run.alive;
    observation->dead = run.dead;
}

// Before the closing moves the dead rows (and empties their delays).
static void ReadVerdictRows(void* argument) {
    Observation* observation = (Observation*)argument;
    const TestRun& run = observation->main->testRun;
    const ServerList& list = run.catalogue->lists[run.slot];
    for (int row : run.rows) {
        const ProxyServer& server = list.Row(row);
        const std::string& delay = server.text[ServerDelay];
        if (!delay.empty()) observation->delays.push_back(atoi(delay.c_str()));
        int farmServer = FarmServerOf(server.text[ServerAddress]);
        FarmKind kind = farmServer >= 0 ? FarmKindOf(farmServer) : FarmRefusing;
        if ((kind == FarmAlive || kind == FarmDead) && delay.empty()) observation->answersTimedOut += 1;
    }
}

static void WaitForBatchEnd(Observation* observation, HANDLE* batch, DWORD milliseconds) {
    if (*batch == nullptr || WaitForSingleObject(*batch, milliseconds) != WAIT_OBJECT_0) return;
    observation->batchEndMs = NowMs();
    CloseHandle(*batch);
    *batch = nullptr;
}

// Finds the dialog, follows the batch thread to its end and the verdicts
// to the last, then closes the dialog.
static DWORD WINAPI WatchRun(void* argument) {
    Observation* observation = (Observation*)argument;
    HWND window = observation->main->window;
    double giveUp = NowMs() + GiveUpMs;
    DialogSearch search = {window, nullptr};
    while (search.found == nullptr && NowMs() < giveUp) {
        EnumThreadWindows(observation->windowThread, FindTestingDialog, (LPARAM)&search);
        if (search.found == nullptr) Sleep(1);
    }
    if (search.found == nullptr) return 0;
    BatchThreadCopy batch = {search.found, nullptr, 0};
    while (!batch.open && NowMs() < giveUp) {
        RunOnWindowThread(window, CopyBatchThread, &batch);
        if (!batch.open) Sleep(1);
    }
    for (;;) {
        // The wait for the batch thread's end is the pause between two readings.
        if (batch.thread != nullptr) WaitForBatchEnd(observation, &batch.thread, VerdictPollMs);
        else Sleep(VerdictPollMs);
        RunOnWindowThread(window, ReadProgress, observation);
        if (observation->tested >= observation->expected) {
            observation->end = MarkCpu(observation);
            observation->lastVerdictMs = observation->end.wallMs;
            break;
        }
        if (NowMs() > giveUp) break;
    }
    // A batch whose last server's verdict came at once ends just after it.
    WaitForBatchEnd(observation, &batch.thread, INFINITE);
    RunOnWindowThread(window, ReadVerdictRows, observation);
    observation->closeSentMs = NowMs();
    SendMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    return 0;
}

struct RunFigures {
    bool ok = false;
    double openMs = 0;  // command → first probe armed
    double spanMs = 0;  // first probe armed → last verdict in
    double verdictsPerSecond = 0;
    double busyShare = -1;  // every slot armed, while servers wait to be started
    double meanArmed = 0;   // over the same time
    double cpuShare = 0;    // this process without the benchmark's threads, command → last verdict
    double wineserverShare = -1;
    double delayMedianMs = -1;  // the rows' delay column
    double delayWorstMs = -1;
    int answersTimedOut = 0;
    double closeMs = 0;  // IDCANCEL sent → the command returned and the list painted
    FarmStats farm = {};
};

// The share of [from, to) with every slot armed, and the mean of armed
// slots, each sample standing until the next.
static void SlotUse(const std::vector<Sample>& samples, double from, double to, int probes, RunFigures* figures) {
    double full = 0, armedTime = 0, total = 0;
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        double start = std::max(samples[i].ms, from), end = std::min(samples[i + 1].ms, to);
        if (end <= start) continue;
        total += end - start;
        armedTime += samples[i].armed * (end - start);
        if (samples[i].armed >= probes) full += end - start;
    }
    if (total <= 0) return;
    figures->busyShare = full / total;
    figures->meanArmed = armedTime / total;
}

static void DelayFigures(std::vector<int> delays, RunFigures* figures) {
    if (delays.empty()) return;
    std::sort(delays.begin(), delays.end());
    figures->delayMedianMs = delays[delays.size() / 2];
    figures->delayWorstMs = delays.back();
}

class Window {
public:
    Window() {
        MainWindowOptions options = {};  // no files, no port monitor, no relays
        options.instance = GetModuleHandleA(nullptr);
        options.table = &table;
        options.commandLine = "";
        window = CreateMainWindow(&options);
        main = MainWindowOf(window);
        main->probeTickMilliseconds = TickMs;
        main->testing.timeoutSeconds = TimeoutTicks;
        ShowWindow(window, SW_SHOWNORMAL);
        PaintNow(window);
    }
    ~Window() { DestroyMainWindow(window); }

    void Fill(const std::vector<NewServer>& servers) {
        for (int slot : {MyProxyServersSlot, DeadSlot}) {
            main->catalogue.lists[slot].Clear();
            main->catalogueView.ServerListReset(slot);
        }
        AddServerRows(&main->catalogue, MyProxyServersSlot, servers);
        RefreshCategoryLabels(&main->catalogue);
        PaintNow(window);
    }
    HWND List() { return CurrentServerList(main); }
    int Rows(int slot) { return main->catalogue.lists[slot].Count(); }

    // Test Server over the selected rows, until every verdict is in and the
    // dialog is closed.
    RunFigures Test(const Expected& expected, int probes) {
        main->testing.probes = probes;
        FarmCommand("reset");
        Observation observation;
        observation.main = main;
        observation.windowThread = GetCurrentThreadId();
        observation.expected = expected.servers;
        observation.samples.reserve(SampleReserve);
        observation.wineserver = LinuxPidOf("wineserver");
        observation.threads[0] = CreateThread(nullptr, 0, SampleSlots, &observation, 0, nullptr);
        observation.threads[1] = CreateThread(nullptr, 0, WatchRun, &observation, 0, nullptr);
        CpuMark start = MarkCpu(&observation);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_TEST_SERVER, 0), 0);
        PaintNow(window);
        double closed = NowMs();
        WaitServingWindowCalls(observation.threads[1]);
        observation.stop = 1;
        WaitForSingleObject(observation.threads[0], INFINITE);
        for (HANDLE thread : observation.threads) CloseHandle(thread);

        RunFigures figures;
        figures.farm = ReadFarmStats();
        figures.closeMs = closed - observation.closeSentMs;
        const std::vector<Sample>& samples = observation.samples;
        auto first = std::find_if(samples.begin(), samples.end(), [](const Sample& s) { return s.armed > 0; });
        double firstArmed = first != samples.end() ? first->ms : start.wallMs;
        figures.openMs = firstArmed - start.wallMs;
        figures.spanMs = observation.lastVerdictMs - firstArmed;
        if (figures.spanMs > 0) figures.verdictsPerSecond = 1000.0 * expected.servers / figures.spanMs;
        if (observation.batchEndMs > firstArmed) SlotUse(samples, firstArmed, observation.batchEndMs, probes, &figures);
        const CpuMark& end = observation.end;
        double wall = end.wallMs - start.wallMs;
        if (wall > 0) {
            figures.cpuShare = (end.processMs - start.processMs - (end.helpersMs - start.helpersMs)) / wall;
            if (start.wineserverNs >= 0 && end.wineserverNs >= 0)
                figures.wineserverShare = (double)(end.wineserverNs - start.wineserverNs) / 1e6 / wall;
        }
        DelayFigures(observation.delays, &figures);
        figures.answersTimedOut = observation.answersTimedOut;
        figures.ok = observation.lastVerdictMs > 0 && observation.tested == expected.servers &&
                     figures.farm.accepted[FarmAlive] == expected.kinds[FarmAlive] &&
                     figures.farm.accepted[FarmDead] == expected.kinds[FarmDead] &&
                     figures.farm.accepted[FarmSilent] == expected.kinds[FarmSilent] &&
                     figures.farm.replied == expected.kinds[FarmAlive] + expected.kinds[FarmDead] &&
                     figures.farm.closedBeforeReply == 0 &&
                     observation.alive <= expected.alive &&
                     observation.alive + figures.answersTimedOut >= expected.alive;
        std::fprintf(stderr, "probes %d, %d servers: %d verdicts (%d alive, %d dead) in %.0f ms%s\n", probes,
                     expected.servers, observation.tested, observation.alive, observation.dead, figures.spanMs,
                     figures.ok ? "" : ", wrong result");
        return figures;
    }

    SharedPortTable table = {};
    HWND window;
    MainWindow* main;
};

// ---- what each kind of step costs here ----

struct Cost {
    const char* step;
    std::vector<double> us;
};

template <typename Step>
static Cost TimeSteps(const char* name, Step step) {
    Cost cost{name, {}};
    for (int i = 0; i < CostRepeats; ++i) {
        double start = NowMs();
        step(i);
        cost.us.push_back(1000.0 * (NowMs() - start));
    }
    return cost;
}

static void Nothing(void*) {}

struct CallTiming {
    HWND window;
    std::vector<double> us;
};

static DWORD WINAPI CallRepeatedly(void* argument) {
    CallTiming* timing = (CallTiming*)argument;
    for (int i = 0; i < CostRepeats; ++i) {
        double start = NowMs();
        RunOnWindowThread(timing->window, Nothing, nullptr);
        timing->us.push_back(1000.0 * (NowMs() - start));
    }
    return 0;
}

static std::vector<Cost> MeasureCosts(Window* window) {
    std::vector<Cost> costs;
    CallTiming timing = {window->window, {}};
    HANDLE caller = CreateThread(nullptr, 0, CallRepeatedly, &timing, 0, nullptr);
    WaitServingWindowCalls(caller);
    CloseHandle(caller);
    costs.push_back(Cost{"a call from a worker to the window thread (RunOnWindowThread), the window waiting",
                         timing.us});

    Expected expected;
    window->Fill(SetServers(EverySet, &expected));
    std::vector<int> rows;
    for (int row = 0; row < expected.servers; ++row) rows.push_back(row);
    TestRun run;
    OpenTestRun(&run, &window->main->catalogue, rows, window->main->testing);
    HWND list = window->List();
    // The first rows are the ones shown: the dearest case.
    costs.push_back(TimeSteps("a shown row marked Testing (MarkRowTesting) and repainted", [&](int i) {
        MarkRowTesting(&run, i % 20);
        UpdateWindow(list);
    }));
    CheckTime now = {2026, 12, 10, 12, 0};
    costs.push_back(TimeSteps("a verdict written into a shown row (ApplyVerdict) and repainted", [&](int i) {
        ApplyVerdict(&run, ProbeVerdict{run.number, i % 20, i % 2, 50}, now);
        UpdateWindow(list);
    }));
    // Most rows of a long run are out of view: nothing to paint.
    const int unseenRow = expected.servers / 2;
    costs.push_back(TimeSteps("the same two for a row out of view", [&](int i) {
        MarkRowTesting(&run, unseenRow + i % 20);
        ApplyVerdict(&run, ProbeVerdict{run.number, unseenRow + i % 20, i % 2, 50}, now);
        UpdateWindow(list);
    }));
    CloseTestRunRows(&run);

    costs.push_back(TimeSteps("name lookup of a dotted address (gethostbyname)", [](int i) {
        char host[32];
        FarmHost(i % FarmServerCount, host, sizeof host);
        gethostbyname(host);
    }));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    sockaddr_in refusing = {};
    refusing.sin_family = AF_INET;
    refusing.sin_port = htons(FarmPort);
    char refusingHost[32];
    FarmHost(8, refusingHost, sizeof refusingHost);  // no listener
    refusing.sin_addr.s_addr = inet_addr(refusingHost);
    costs.push_back(TimeSteps("socket + WSAEventSelect + closesocket", [&](int) {
        SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
        WSAEventSelect(probe, event, FD_READ | FD_CONNECT | FD_CLOSE);
        closesocket(probe);
    }));
    costs.push_back(TimeSteps("the same with a non-blocking connect (refused) before closesocket", [&](int) {
        SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
        WSAEventSelect(probe, event, FD_READ | FD_CONNECT | FD_CLOSE);
        connect(probe, (const sockaddr*)&refusing, sizeof refusing);
        closesocket(probe);
    }));
    SOCKET idle = socket(AF_INET, SOCK_STREAM, 0);
    WSAEventSelect(idle, event, FD_READ | FD_CONNECT | FD_CLOSE);
    costs.push_back(TimeSteps("WSAEnumNetworkEvents, nothing to report", [&](int) {
        WSANETWORKEVENTS notices;
        WSAEnumNetworkEvents(idle, event, &notices);
    }));
    closesocket(idle);
    HANDLE events[ProbeSlotCount];
    for (HANDLE& slotEvent : events) slotEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    costs.push_back(TimeSteps("WaitForMultipleObjects over 64 events, none set, no waiting", [&](int) {
        WaitForMultipleObjects(ProbeSlotCount, events, FALSE, 0);
    }));
    costs.push_back(TimeSteps("ResetEvent", [&](int) { ResetEvent(event); }));
    costs.push_back(TimeSteps("SetEvent", [&](int) { SetEvent(event); }));
    for (HANDLE slotEvent : events) CloseHandle(slotEvent);
    CloseHandle(event);
    return costs;
}

// ---- the tables ----

struct Series {
    int probes;
    ServerSet set;
    Expected expected;
    std::vector<RunFigures> runs;
};

template <typename Field>
static double MedianField(const std::vector<RunFigures>& runs, Field field) {
    std::vector<double> values;
    for (const RunFigures& run : runs) values.push_back(field(run));
    return Median(values);
}

static bool AllOk(const std::vector<RunFigures>& runs) {
    for (const RunFigures& run : runs)
        if (!run.ok) return false;
    return !runs.empty();
}

static std::string Percent(double share) {
    if (share < 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f %%", 100.0 * share);
    return text;
}

static void PrintThroughput(const std::vector<Series>& series) {
    std::printf("| probes | servers | opening ms | verdicts/s | limit/s | share of limit | all slots busy while "
                "servers wait | target | met | mean slots busy | CPU, this process | CPU, wineserver |\n");
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|:---:|---:|---:|---:|\n");
    for (const Series& s : series) {
        const std::vector<RunFigures>& runs = s.runs;
        double rate = MedianField(runs, [](const RunFigures& r) { return r.verdictsPerSecond; });
        double busy = MedianField(runs, [](const RunFigures& r) { return r.busyShare; });
        char limit[32] = "-";
        std::string share = "-";
        if (s.set == AnsweringSet) {
            double limitRate = s.probes * 1000.0 / FarmAnswerDelayMs;
            std::snprintf(limit, sizeof limit, "%.0f", limitRate);
            share = Percent(rate / limitRate);
        }
        const char* met = !AllOk(runs) ? "wrong result" : busy < 0 ? "n/a" : busy >= BusyTarget ? "met" : "missed";
        std::printf("| %d | %d %s | %.1f | %.0f | %s | %s | %s | ≥ %.0f %% | %s | %.1f | %s | %s |\n", s.probes,
                    s.expected.servers, SetNames[s.set], MedianField(runs, [](const RunFigures& r) { return r.openMs; }),
                    rate, limit, share.c_str(), Percent(busy).c_str(), 100.0 * BusyTarget, met,
                    MedianField(runs, [](const RunFigures& r) { return r.meanArmed; }),
                    Percent(MedianField(runs, [](const RunFigures& r) { return r.cpuShare; })).c_str(),
                    Percent(MedianField(runs, [](const RunFigures& r) { return r.wineserverShare; })).c_str());
    }
}

static void PrintAnswers(const std::vector<Series>& series) {
    std::printf("| probes | servers | farm: answers sent | farm: lateness median / worst µs | farm: connections "
                "open at once | farm CPU | delay column median / worst ms | answers judged by the time-out |\n");
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Series& s : series) {
        if (s.set == RefusingSet) continue;
        const std::vector<RunFigures>& runs = s.runs;
        double wall = MedianField(runs, [](const RunFigures& r) { return r.openMs + r.spanMs; });
        double cpu = MedianField(runs, [](const RunFigures& r) { return r.farm.cpuMs; });
        std::printf("| %d | %d %s | %.0f | %.0f / %.0f | %.0f | %s | %.0f / %.0f | %.0f |\n", s.probes,
                    s.expected.servers, SetNames[s.set],
                    MedianField(runs, [](const RunFigures& r) { return (double)r.farm.replied; }),
                    MedianField(runs, [](const RunFigures& r) { return r.farm.latenessMedianUs; }),
                    MedianField(runs, [](const RunFigures& r) { return r.farm.latenessWorstUs; }),
                    MedianField(runs, [](const RunFigures& r) { return (double)r.farm.mostOpen; }),
                    Percent(wall > 0 ? cpu / wall : -1).c_str(),
                    MedianField(runs, [](const RunFigures& r) { return r.delayMedianMs; }),
                    MedianField(runs, [](const RunFigures& r) { return r.delayWorstMs; }),
                    MedianField(runs, [](const RunFigures& r) { return (double)r.answersTimedOut; }));
    }
}

static void PrintCosts(const std::vector<Cost>& costs) {
    std::printf("| step, %d times | median µs | worst µs |\n|---|---:|---:|\n", CostRepeats);
    for (const Cost& cost : costs) std::printf("| %s | %.0f | %.0f |\n", cost.step, Median(cost.us), Worst(cost.us));
}

static bool WindowsUnmanaged() {
    char value[8] = "";
    DWORD size = sizeof value;
    return RegGetValueA(HKEY_CURRENT_USER, ProgramX11Key, "Managed", RRF_RT_REG_SZ, nullptr, value, &size) ==
               ERROR_SUCCESS &&
           (value[0] == 'N' || value[0] == 'n');
}

int main() {
    WSADATA winsock;
    WSAStartup(WinsockVersion, &winsock);
    if (!ConnectFarm()) {
        std::printf("probe_farm does not answer on %s:%d: start it first (tools/run-bench does)\n", FarmControlHost,
                    FarmPort);
        return 1;
    }
    std::string loadBefore = ReadLinuxFile("Z:\\proc\\loadavg", 256);
    loadBefore = loadBefore.substr(0, loadBefore.find('\n'));
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    Window window;
    std::vector<Series> series;
    for (int probes : ProbeCounts) {
        for (int set = 0; set < SetCount; ++set) {
            Series s;
            s.probes = probes;
            s.set = (ServerSet)set;
            std::vector<NewServer> servers = SetServers(s.set, &s.expected);
            for (int run = 0; run < Runs; ++run) {
                window.Fill(servers);
                SelectEveryRow(window.List(), 1);
                PaintNow(window.window);
                s.runs.push_back(window.Test(s.expected, probes));
            }
            series.push_back(s);
        }
    }

    Expected closeExpected;
    std::vector<NewServer> closeServers = CloseServers(&closeExpected);
    std::vector<double> closeMs;
    bool closeOk = true;
    const int dead = CloseServerCount / 2;
    for (int run = 0; run < Runs; ++run) {
        window.Fill(closeServers);
        ListView_SetItemState(window.List(), 0, LVIS_SELECTED, LVIS_SELECTED);
        PaintNow(window.window);
        RunFigures figures = window.Test(closeExpected, ProbeCounts[0]);
        closeMs.push_back(figures.closeMs);
        closeOk = closeOk && figures.ok && window.Rows(MyProxyServersSlot) == CloseServerCount - dead &&
                  window.Rows(DeadSlot) == dead && ListView_GetItemCount(window.List()) == CloseServerCount - dead;
    }
    std::vector<Cost> costs = MeasureCosts(&window);

    std::printf("Test Server over probe_farm's %d servers, %d runs each, medians; answer delay %d ms; time-out %d "
                "ticks of %u ms; load average before: %s\n\n",
                FarmServerCount, Runs, FarmAnswerDelayMs, TimeoutTicks, TickMs, loadBefore.c_str());
    PrintThroughput(series);
    std::printf("\n");
    PrintAnswers(series);
    std::printf("\n| step | median ms | worst ms | limit ms | met |\n|---|---:|---:|---:|:---:|\n");
    std::printf("| Close → %d Dead of %d servers moved, list painted | %.1f | %.1f | %.0f | %s |\n", dead,
                CloseServerCount, Median(closeMs), Worst(closeMs), CloseLimitMs,
                !closeOk ? "wrong result" : Worst(closeMs) < CloseLimitMs ? "met" : "missed");
    if (!WindowsUnmanaged())
        std::printf("\n(windows managed: without a window manager the closing includes wine's 2 s wait for one)\n");
    std::printf("\n");
    PrintCosts(costs);
    bool allOk = closeOk;
    for (const Series& s : series) allOk = allOk && AllOk(s.runs);
    closesocket(farmControl);
    return allOk ? 0 : 1;
}
