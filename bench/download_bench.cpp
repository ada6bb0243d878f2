// "Download Proxy List" in the real main window, under wine, from a web
// service on 127.0.0.1 in this process: a list of 100,000 servers (about
// 2 MiB). For each run: the time from the command to "Download Complete"
// with every row in "New" (shown, as the current category), the time to
// paint the list once the dialog is closed, and the process's anonymous resident memory
// before and after. Prints a table with each figure beside its limit.
//
// The command runs as a user gives it: WM_COMMAND IDM_DOWNLOAD_LIST to the
// main window, whose modal dialog runs until a watcher thread has seen the
// outcome (read through the dialog's messages) and sends it IDCANCEL.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "manager/window/main_window_win32.h"
#include "tests/support/web_service.h"
#include "linux_proc.h"
#include "window_timing.h"

static const int ServerCount = 100000;
static const int Runs = 3;
static const double CompleteLimitMs = 2000;
static const DWORD GiveUpMs = 60000;
static const char DownloadTitle[] = "Downloading Proxy List";
static const char CompleteText[] = "Download Complete";

static std::string BigList() {
    std::string list = "TESSARONLIST\r\n-HTTP\r\n";
    for (int i = 0; i < ServerCount; ++i) {
        if (i == ServerCount / 2) list += "-SOCKS\r\n";
        char line[64];
        std::snprintf(line, sizeof line, "10.%d.%d.%d:%d\r\n", i / 65536 % 256, i / 256 % 256, i % 256,
                      1024 + i % 50000);
        list += line;
    }
    return list + "END\r\n";
}

// Anonymous resident memory: the heap and the threads' stacks.
static double PrivateMiB() {
    static int pid = LinuxPidOf("download_bench");
    return LinuxStatusKiB(pid, "RssAnon") / 1024.0;
}

struct Watch {
    HWND owner;
    double start;
    double completeMs = -1;
    std::string state;
    std::string found;
};

static BOOL CALLBACK FindDownloadDialog(HWND window, LPARAM argument) {
    Watch* watch = (Watch*)argument;
    char title[64] = "";
    if (GetWindow(window, GW_OWNER) != watch->owner) return TRUE;
    GetWindowTextA(window, title, sizeof title);
    if (std::string(title) != DownloadTitle) return TRUE;
    // Polled every millisecond until the outcome shows.
    for (double until = NowMs() + GiveUpMs; NowMs() < until; Sleep(1)) {
        char state[64] = "";
        GetDlgItemTextA(window, IDC_DOWNLOAD_STATE, state, sizeof state);
        if (std::string(state) == CompleteText || std::string(state) == "Error downloading list") {
            watch->completeMs = NowMs() - watch->start;
            watch->state = state;
            char found[64] = "";
            GetDlgItemTextA(window, IDC_DOWNLOAD_FOUND, found, sizeof found);
            watch->found = found;
            break;
        }
    }
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    watch->owner = nullptr;
    return FALSE;
}

static DWORD WINAPI WatchDownload(void* argument) {
    Watch* watch = (Watch*)argument;
    for (double until = NowMs() + GiveUpMs; watch->owner != nullptr && NowMs() < until; Sleep(1))
        EnumWindows(FindDownloadDialog, (LPARAM)watch);
    return 0;
}

struct RunResult {
    bool whole;
    double completeMs;
    double paintMs;
    double memoryBeforeMiB;
    double memoryAfterMiB;
};

static RunResult RunOnce(WebService* web) {
    RunResult result = {false, 0, 0, 0, 0};
    SharedPortTable table = {};
    MainWindowOptions options = {};
    options.instance = GetModuleHandleA(nullptr);
    options.table = &table;
    options.commandLine = "";
    HWND window = CreateMainWindow(&options);
    if (window == nullptr) return result;
    MainWindow* main = MainWindowOf(window);
    main->service.host = web->Host();
    ShowWindow(window, SW_SHOWNORMAL);
    // "New" is the category shown, so the rows are painted as they arrive.
    HWND categories = GetDlgItem(window, IDC_CATEGORY_LIST);
    ListView_SetItemState(categories, CategoryIndexOfSlot(&main->catalogue, NewSlot), LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    PaintNow(window);
    result.memoryBeforeMiB = PrivateMiB();

    Watch watch;
    watch.owner = window;
    watch.start = NowMs();
    HANDLE watcher = CreateThread(nullptr, 0, WatchDownload, &watch, 0, nullptr);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD_LIST, 0), 0);
    double closed = NowMs();
    PaintNow(window);
    result.paintMs = NowMs() - closed;
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
    result.completeMs = watch.completeMs;
    result.memoryAfterMiB = PrivateMiB();
    result.whole = watch.state == CompleteText && watch.found == "New Proxies found: 100000" &&
                   ListView_GetItemCount(CurrentServerList(main)) == ServerCount &&
                   main->catalogue.lists[NewSlot].Count() == ServerCount;
    DestroyMainWindow(window);
    return result;
}

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    std::string list = BigList();
    WebService web;
    web.SetReply("/app/proxylist.php", WholeReply(list));

    std::vector<double> complete, paint, before, after, grown;
    bool whole = true;
    for (int run = 0; run < Runs; ++run) {
        RunResult result = RunOnce(&web);
        whole = whole && result.whole;
        complete.push_back(result.completeMs);
        paint.push_back(result.paintMs);
        before.push_back(result.memoryBeforeMiB);
        after.push_back(result.memoryAfterMiB);
        grown.push_back(result.memoryAfterMiB - result.memoryBeforeMiB);
    }

    std::printf("Download Proxy List: %d servers (%.2f MiB) from a service on 127.0.0.1, %d runs\n\n", ServerCount,
                list.size() / 1048576.0, Runs);
    std::printf("| step | median ms | worst ms | limit ms | met |\n|---|---:|---:|---:|:---:|\n");
    std::printf("| command → \"Download Complete\", all rows in the shown list | %.1f | %.1f | %.0f | %s |\n",
                Median(complete), Worst(complete), CompleteLimitMs,
                whole && Worst(complete) < CompleteLimitMs ? "met" : "missed");
    std::printf("| dialog closed → list painted | %.1f | %.1f | - | - |\n", Median(paint), Worst(paint));
    std::printf("\n| resident anonymous memory, first run | MiB |\n|---|---:|\n");
    std::printf("| window open, \"New\" empty | %.1f |\n", before[0]);
    std::printf("| after the download (100,000 rows) | %.1f |\n", after[0]);
    std::printf("| grown per server (median of the runs) | %.0f bytes |\n", Median(grown) * 1048576.0 / ServerCount);
    if (!whole) std::printf("\nnot every run added and showed all %d servers\n", ServerCount);
    return whole ? 0 : 1;
}
