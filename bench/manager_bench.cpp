// The manager with a catalogue of 30,000 servers, under wine. The real
// Tessaron.exe: start-up to a window that answers with all rows, its CPU use
// while idle, and Exit's save. The same window created in this process: a
// category switch and sorts of the whole list, each painted. Prints a table.
// CPU use is read from Linux's /proc through wine's Z: drive, for the
// manager and for the wineserver of this prefix, which serves its timers.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue_text.h"
#include "linux_proc.h"
#include "window_timing.h"
#include "manager/resources/resource_ids.h"
#include "manager/window/main_window_win32.h"
#include "tests/support/private_documents.h"
#include "tests/support/programs.h"

static const int ServerCount = 30000;
static const int Runs = 5;
static const DWORD IdleMs = 10000;
static const DWORD SettleMs = 2000;
static const DWORD StartLimitMs = 60000;
static const double TargetMs = 1000;
static const char* const ManagerWindowTitle = "Tessaron 1.05";

static bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

static long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// All servers in My Proxy Servers, the category shown at start; no ports.
static bool WriteManagerFiles(const PrivateDocuments& documents, std::string* catalogueText) {
    *catalogueText = MakeCatalogueText(ServerCount, MyProxyServersSlot, 1);
    std::string settingsPath = documents.Settings();
    const char* settings = settingsPath.c_str();
    WritePrivateProfileStringA("main", "autorun", "0", settings);
    WritePrivateProfileStringA("main", "ports_count", "0", settings);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, settings);
    return WriteWholeFile(documents.Catalogue(), *catalogueText);
}

// ---- the real program ----

static BOOL CALLBACK FindShownServerList(HWND child, LPARAM argument) {
    if (GetDlgCtrlID(child) == IDC_SERVER_LIST && (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) {
        *(HWND*)argument = child;
        return FALSE;
    }
    return TRUE;
}

// The rows of the shown server list, or -1 while the window does not answer.
static int ShownServerRows(HWND window) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer)) return -1;
    HWND list = nullptr;
    EnumChildWindows(window, FindShownServerList, (LPARAM)&list);
    if (list == nullptr) return -1;
    return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
}

struct ProgramRun {
    bool ok;
    double shownMs;  // process created → window visible
    double readyMs;  // process created → window answers with all rows
    double savedMs;  // Exit sent → proxylist.dat back whole
    double exitMs;   // Exit sent → process ended
    bool savedWhole; // proxylist.dat has its size again
};

struct IdleUse {
    bool measured;
    double managerPercent;
    double wineserverPercent;
};

static double TicksPercent(long long before, long long after, double spentMs) {
    return 100.0 * ((double)(after - before) * 1000.0 / LinuxTicksPerSecond) / spentMs;
}

// The manager left alone: no input, no ports, the window shown.
static double WineserverAlone() {
    int server = LinuxPidOf("wineserver");
    long long before = LinuxProcessTicks(server);
    double start = NowMs();
    Sleep(IdleMs);
    long long after = LinuxProcessTicks(server);
    return server == 0 || before < 0 || after < 0 ? -1 : TicksPercent(before, after, NowMs() - start);
}

static IdleUse MeasureIdle() {
    IdleUse idle = {false, 0, 0};
    Sleep(SettleMs);
    int manager = LinuxPidOf("Tessaron.exe");
    int server = LinuxPidOf("wineserver");
    if (manager == 0 || server == 0) return idle;
    long long managerBefore = LinuxProcessTicks(manager), serverBefore = LinuxProcessTicks(server);
    double start = NowMs();
    Sleep(IdleMs);
    double spentMs = NowMs() - start;
    long long managerAfter = LinuxProcessTicks(manager), serverAfter = LinuxProcessTicks(server);
    if (managerBefore < 0 || managerAfter < 0 || serverBefore < 0 || serverAfter < 0) return idle;
    idle.measured = true;
    idle.managerPercent = TicksPercent(managerBefore, managerAfter, spentMs);
    idle.wineserverPercent = TicksPercent(serverBefore, serverAfter, spentMs);
    return idle;
}

static ProgramRun RunProgramOnce(const PrivateDocuments& documents, long long catalogueSize, IdleUse* idle) {
    ProgramRun run = {false, 0, 0, 0, 0, false};
    PROCESS_INFORMATION process = {};
    double start = NowMs();
    if (!StartProgram("Tessaron.exe", "", &process)) return run;
    HWND window = nullptr;
    while (window == nullptr && NowMs() - start < StartLimitMs) {
        window = FindProcessWindow(process.dwProcessId, ManagerWindowTitle, true);
        if (window == nullptr) Sleep(1);
    }
    run.shownMs = NowMs() - start;
    while (window != nullptr && ShownServerRows(window) != ServerCount && NowMs() - start < StartLimitMs) Sleep(1);
    run.readyMs = NowMs() - start;
    run.ok = window != nullptr && run.readyMs < StartLimitMs;

    if (run.ok && idle != nullptr) *idle = MeasureIdle();

    if (run.ok) {
        DeleteFileA(documents.Catalogue().c_str());
        double exitStart = NowMs();
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        // The save replaces both files last: the catalogue whole again is the save's end.
        while (FileSize(documents.Catalogue()) != catalogueSize && NowMs() - exitStart < StartLimitMs &&
               WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            Sleep(1);
        run.savedMs = NowMs() - exitStart;
        run.ok = WaitForSingleObject(process.hProcess, StartLimitMs) == WAIT_OBJECT_0;
        run.exitMs = NowMs() - exitStart;
        run.savedWhole = FileSize(documents.Catalogue()) == catalogueSize;
    }
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return run;
}

// What any program costs to start and end under this wine: the relay with
// an argument it refuses, so that it ends at once.
static double EmptyProgramMs() {
    PROCESS_INFORMATION process = {};
    double start = NowMs();
    if (!StartProgram("TessaronRelay.exe", " 0", &process)) return -1;
    WaitForSingleObject(process.hProcess, StartLimitMs);
    double spent = NowMs() - start;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return spent;
}

// ---- the window in this process ----

static void SelectCategory(MainWindow* main, int slot) {
    int row = CategoryIndexOfSlot(&main->catalogue, slot);
    ListView_SetItemState(main->categoryList, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

static void ClickHeader(MainWindow* main, int column) {
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = CurrentServerList(main);
    click.hdr.idFrom = IDC_SERVER_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(main->window, WM_NOTIFY, IDC_SERVER_LIST, (LPARAM)&click);
}

struct WindowTimes {
    std::vector<double> create, toNew, toFull, byAddress, byAddressAgain, byDelay, byLastCheck, allSelected, tenthSelected;
};

template <typename Step>
static double TimeStep(HWND window, Step step) {
    double start = NowMs();
    step();
    PaintNow(window);
    return NowMs() - start;
}

static bool MeasureWindowOnce(WindowTimes* times) {
    SharedPortTable table = {};
    MainWindowOptions options = {};
    options.instance = GetModuleHandleA(nullptr);
    options.table = &table;
    options.commandLine = "";
    options.loadState = 1;
    double start = NowMs();
    HWND window = CreateMainWindow(&options);
    if (window == nullptr) return false;
    ShowWindow(window, SW_SHOWNORMAL);
    PaintNow(window);
    times->create.push_back(NowMs() - start);
    MainWindow* main = MainWindowOf(window);
    bool whole = main->catalogue.lists[MyProxyServersSlot].Count() == ServerCount;

    times->toNew.push_back(TimeStep(window, [&] { SelectCategory(main, NewSlot); }));
    times->toFull.push_back(TimeStep(window, [&] { SelectCategory(main, MyProxyServersSlot); }));
    whole = whole && ListView_GetItemCount(CurrentServerList(main)) == ServerCount;
    times->byAddress.push_back(TimeStep(window, [&] { ClickHeader(main, ServerAddress); }));
    times->byAddressAgain.push_back(TimeStep(window, [&] { ClickHeader(main, ServerAddress); }));
    times->byDelay.push_back(TimeStep(window, [&] { ClickHeader(main, ServerDelay); }));
    times->byLastCheck.push_back(TimeStep(window, [&] { ClickHeader(main, ServerLastCheck); }));
    ListView_SetItemState(CurrentServerList(main), -1, LVIS_SELECTED, LVIS_SELECTED);
    times->allSelected.push_back(TimeStep(window, [&] { ClickHeader(main, ServerAddress); }));
    HWND list = CurrentServerList(main);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int row = 0; row < ServerCount; row += 10) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    times->tenthSelected.push_back(TimeStep(window, [&] { ClickHeader(main, ServerDelay); }));
    DestroyMainWindow(window);
    return whole;
}

// ---- the table ----

static void PrintRow(const char* step, const std::vector<double>& values, bool hasTarget = true) {
    double median = Median(values);
    std::printf("| %s | %.1f | %.1f | %s |\n", step, median, Worst(values),
                !hasTarget ? "-" : (Worst(values) < TargetMs ? "met" : "missed"));
}

int main() {
    std::string loadBefore = ReadLinuxFile("Z:\\proc\\loadavg", 256);
    loadBefore = loadBefore.substr(0, loadBefore.find('\n'));

    PrivateDocuments documents;
    if (!documents.Redirect("tessaron-manager-bench", true)) {
        std::fprintf(stderr, "cannot redirect the documents folder\n");
        return 1;
    }
    std::string catalogueText;
    if (!WriteManagerFiles(documents, &catalogueText)) {
        std::fprintf(stderr, "cannot write the catalogue\n");
        documents.Restore();
        return 1;
    }
    long long catalogueSize = (long long)catalogueText.size();

    std::vector<double> shown, ready, saves, exits, empty;
    for (int run = 0; run < Runs; ++run) empty.push_back(EmptyProgramMs());
    bool programOk = true, savedWhole = true;
    IdleUse idle = {false, 0, 0};
    double serverAlone = WineserverAlone();
    for (int run = 0; run < Runs; ++run) {
        ProgramRun result = RunProgramOnce(documents, catalogueSize, run == 0 ? &idle : nullptr);
        programOk = programOk && result.ok;
        savedWhole = savedWhole && result.savedWhole;
        if (!result.ok) break;
        shown.push_back(result.shownMs);
        ready.push_back(result.readyMs);
        saves.push_back(result.savedMs);
        exits.push_back(result.exitMs);
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WindowTimes times;
    bool windowOk = true;
    for (int run = 0; run < Runs; ++run) windowOk = MeasureWindowOnce(&times) && windowOk;
    documents.Restore();

    std::printf("Manager with %d servers in one category (%.2f MiB proxylist.dat), %d runs each\n\n", ServerCount,
                catalogueSize / 1048576.0, Runs);
    std::printf("| step | median ms | worst ms | under 1 s |\n|---|---:|---:|:---:|\n");
    PrintRow("for comparison: a program that ends at once, started → ended", empty, false);
    PrintRow("Tessaron.exe started → window shown", shown, false);
    PrintRow("Tessaron.exe started → window answers with all rows", ready);
    PrintRow("Exit → catalogue and settings saved", saves);
    PrintRow("Exit → catalogue and settings saved, process ended", exits);
    PrintRow("window created in process, files read, first paint", times.create);
    PrintRow("switch to an empty category", times.toNew);
    PrintRow("switch back to the 30,000 servers", times.toFull);
    PrintRow("sort by Proxy Server", times.byAddress);
    PrintRow("sort by Proxy Server again (reversed)", times.byAddressAgain);
    PrintRow("sort by Delay(ms)", times.byDelay);
    PrintRow("sort by Last Check", times.byLastCheck);
    PrintRow("sort with all 30,000 rows selected", times.allSelected);
    PrintRow("sort with every tenth row selected", times.tenthSelected);
    std::printf("\n| idle over %lu s | CPU, %% of one core | under 1 %% |\n|---|---:|:---:|\n",
                (unsigned long)(IdleMs / 1000));
    if (idle.measured) {
        std::printf("| Tessaron.exe | %.2f | %s |\n", idle.managerPercent, idle.managerPercent < 1 ? "met" : "missed");
        std::printf("| wineserver of the prefix, meanwhile | %.2f | - |\n", idle.wineserverPercent);
        std::printf("| the same wineserver before the manager started | %.2f | - |\n", serverAlone);
    } else {
        std::printf("| (not measured: the processes were not found in /proc) | | |\n");
    }
    if (!programOk) std::printf("\nTessaron.exe did not come up or did not end within %lu s\n", StartLimitMs / 1000);
    if (!savedWhole) std::printf("\nExit did not write the whole catalogue back\n");
    if (!windowOk) std::printf("\nthe window in this process did not load all servers\n");
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    std::printf("\n%lu cores; load average before the run: %s\n", system.dwNumberOfProcessors, loadBefore.c_str());
    return programOk && savedWhole && windowOk ? 0 : 1;
}
