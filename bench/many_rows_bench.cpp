// Commands over many selected servers in the real main window, under wine:
// 100,000 servers in one category, selected whole (Ctrl+A) or in part, then
// removed or moved to another category. Each step is timed until the window
// has painted its result. Prints a table.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "manager/window/main_window_win32.h"
#include "window_timing.h"

static const int ServerCount = 100000;
static const int Runs = 3;
static const double LimitMs = 1000;

static std::vector<NewServer> Servers(int count) {
    std::vector<NewServer> servers;
    servers.reserve(count);
    char address[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(address, sizeof address, "10.%d.%d.%d:%d", (i >> 16) & 255, (i >> 8) & 255, i & 255,
                      1024 + i % 60000);
        servers.push_back(NewServer{address, i % 2, i % 3});
    }
    return servers;
}

struct Step {
    explicit Step(const char* stepName) : name(stepName) {}
    const char* name;
    std::vector<double> ms;
    bool ok = true;
};

class Window {
public:
    Window() {
        MainWindowOptions options = {};
        options.instance = GetModuleHandleA(nullptr);
        options.table = &table;
        options.commandLine = "";
        window = CreateMainWindow(&options);
        main = MainWindowOf(window);
        ShowWindow(window, SW_SHOWNORMAL);
        PaintNow(window);
    }
    ~Window() { DestroyMainWindow(window); }

    void Fill(const std::vector<NewServer>& servers) {
        main->catalogue.lists[MyProxyServersSlot].Clear();
        main->catalogue.lists[NewSlot].Clear();
        main->catalogueView.ServerListReset(MyProxyServersSlot);
        main->catalogueView.ServerListReset(NewSlot);
        AddServerRows(&main->catalogue, MyProxyServersSlot, servers);
        RefreshCategoryLabels(&main->catalogue);
        PaintNow(window);
    }
    HWND List() { return CurrentServerList(main); }
    int Rows(int slot) { return main->catalogue.lists[slot].Count(); }

    // Ctrl+A as the keyboard gives it to the focused list.
    void SelectAll() {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        SendMessageA(List(), WM_KEYDOWN, 'A', 0);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
    void SelectEvery(int step, int count) {
        ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
        for (int row = 0; row < count * step && row < ServerCount; row += step)
            ListView_SetItemState(List(), row, LVIS_SELECTED, LVIS_SELECTED);
    }
    void Command(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    template <typename Action>
    double Time(Action action) {
        double start = NowMs();
        action();
        PaintNow(window);
        return NowMs() - start;
    }

    SharedPortTable table = {};
    HWND window;
    MainWindow* main;
};

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    std::vector<NewServer> servers = Servers(ServerCount);
    const int toNew = IDM_MOVE_FIRST + 1;

    Step selectAll{"select all (Ctrl+A)"};
    Step removeAll{"select all, then Remove"};
    Step moveAll{"select all, then Move to Category \"New\""};
    Step removeHalf{"every second row selected (50,000), then Remove"};
    Step moveFew{"300 rows selected, then Move to Category \"New\""};
    Step intoSelected{"1 row moved into a hidden category of 100,000 rows, all but one selected"};
    Step fill{"for comparison: 100,000 servers added in one call, painted"};
    for (int run = 0; run < Runs; ++run) {
        Window window;
        fill.ms.push_back(window.Time([&] { window.Fill(servers); }));
        fill.ok = fill.ok && window.Rows(MyProxyServersSlot) == ServerCount;

        selectAll.ms.push_back(window.Time([&] { window.SelectAll(); }));
        selectAll.ok = selectAll.ok && (int)ListView_GetSelectedCount(window.List()) == ServerCount;
        ListView_SetItemState(window.List(), -1, 0, LVIS_SELECTED);
        PaintNow(window.window);
        removeAll.ms.push_back(window.Time([&] {
            window.SelectAll();
            window.Command(IDM_REMOVE_SERVER);
        }));
        removeAll.ok = removeAll.ok && window.Rows(MyProxyServersSlot) == 0;

        window.Fill(servers);
        moveAll.ms.push_back(window.Time([&] {
            window.SelectAll();
            window.Command(toNew);
        }));
        moveAll.ok = moveAll.ok && window.Rows(MyProxyServersSlot) == 0 && window.Rows(NewSlot) == ServerCount;

        window.Fill(servers);
        window.SelectEvery(2, ServerCount / 2);
        removeHalf.ms.push_back(window.Time([&] { window.Command(IDM_REMOVE_SERVER); }));
        removeHalf.ok = removeHalf.ok && window.Rows(MyProxyServersSlot) == ServerCount / 2;

        window.Fill(servers);
        window.SelectEvery(97, 300);
        moveFew.ms.push_back(window.Time([&] { window.Command(toNew); }));
        moveFew.ok = moveFew.ok && window.Rows(NewSlot) == 300;

        // The target's selection no longer names the same servers once its
        // rows change: it is cleared while the list is hidden.
        window.Fill(servers);
        HWND target = window.main->serverLists[NewSlot];
        AddServerRows(&window.main->catalogue, NewSlot, std::vector<NewServer>(servers.begin() + 1, servers.end()));
        SelectEveryRow(target, 1);
        ListView_SetItemState(target, 0, 0, LVIS_SELECTED);
        PaintNow(window.window);
        ListView_SetItemState(window.List(), 0, LVIS_SELECTED, LVIS_SELECTED);
        intoSelected.ms.push_back(window.Time([&] { window.Command(toNew); }));
        intoSelected.ok = intoSelected.ok && ListView_GetSelectedCount(target) == 0;
    }

    std::printf("The main window with %d servers in one category, %d runs each\n\n", ServerCount, Runs);
    std::printf("| step | median ms | worst ms | limit ms | met |\n|---|---:|---:|---:|:---:|\n");
    bool allOk = true;
    for (const Step* step : {&fill, &selectAll, &removeAll, &moveAll, &removeHalf, &moveFew, &intoSelected}) {
        double worst = Worst(step->ms);
        bool limited = step != &fill;
        std::printf("| %s | %.1f | %.1f | %s | %s |\n", step->name, Median(step->ms), worst,
                    limited ? "1000" : "-", !step->ok ? "wrong result" : !limited ? "-" : worst < LimitMs ? "met" : "missed");
        allOk = allOk && step->ok;
    }
    return allOk ? 0 : 1;
}
