// The manager's main window: a dialog from resource 101 whose list views
// show the catalogue, the mapped ports and the categories. The window thread
// owns the models; the views follow them through the observers.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "../catalogue/data_folder.h"
#include "../catalogue/proxy_catalogue.h"
#include "../catalogue/settings.h"
#include "../ports/mapped_ports.h"
#include "../ports/relay_host_win32.h"
#include "server_sort.h"
#include "window_thread_win32.h"

const int ServerListCount = CategorySlotCount;  // slots 19 to 23 are never used

enum SplitterDragState { SplitterIdle = 0, DraggingHorizontal = 2, DraggingVertical = 3 };

struct MainWindowOptions {
    HINSTANCE instance;
    SharedPortTable* table;
    const char* commandLine;  // a last character 'h' starts hidden
    int loadState;            // data folder, config.ini and proxylist.dat
    int startMonitor;
    int startPorts;           // relays for the ports stored as enabled
};

// The window thread as the port monitor reaches it.
struct WindowPortListThread : public PortListThread {
    HWND window = nullptr;
    int RunCall(void (*function)(void* argument), void* argument) override {
        return RunOnWindowThread(window, function, argument);
    }
    void WaitServingCalls(HANDLE handle) override { WaitServingWindowCalls(handle); }
};

struct MainWindow : public CatalogueObserver, public PortListObserver, public ManagerStateAccess {
    MainWindowOptions options;
    HWND window;
    HWND categoryList;
    HWND portList;
    HWND serverTemplate;
    HWND statusBar;
    HWND serverLists[ServerListCount];
    HMENU serverMenu;
    HMENU portMenu;
    HMENU trayMenu;
    HMENU categoryMenu;
    HFONT captionFont;
    HIMAGELIST statusImages;
    HIMAGELIST categoryImages;
    ProxyCatalogue catalogue;
    MappedPortList ports;
    SortState sort;
    ManagerFlags flags;
    DataPaths paths;
    WindowsRelayHost host;
    PortMonitor monitor;
    WindowPortListThread portListThread;
    int startHidden;
    int splitterDrag;  // SplitterIdle, or the bar being dragged
    HCURSOR northSouthCursor;
    HCURSOR westEastCursor;

    // CatalogueObserver
    void ServerInserted(int slot, int row) override;
    void ServerRemoved(int slot, int row) override;
    void ServerChanged(int slot, int row) override;
    void ServerListReset(int slot) override;
    void CategoryInserted(int index) override;
    void CategoryRemoved(int index) override;
    void CategoryLabelChanged(int index) override;
    // PortListObserver
    void PortInserted(int row) override;
    void PortRemoved(int row) override;
    void PortChanged(int row) override;
    // ManagerStateAccess
    int IsMaximized() override;
    WindowRect OuterRect() override;
    void PlaceWindow(const WindowRect& rect) override;
    void SizeWindow(int width, int height) override;
    int SplitterTop() override;
    int SplitterLeft() override;
    void PlaceSplitters(int top, int left) override;
    int MappedPortCount() override;
    StoredPort MappedPortRow(int row) override;
    void AppendMappedPort(const StoredPort& port) override;
    void SetLocalOnly(uint8_t value) override;
    void SetAutorun(int flag) override;
};

// The program's way: a modal dialog for the rest of the process's life.
INT_PTR RunMainWindow(const MainWindowOptions* options);
// Tests' way: the same window, modeless; DestroyMainWindow ends it.
HWND CreateMainWindow(const MainWindowOptions* options);
void DestroyMainWindow(HWND window);
MainWindow* MainWindowOf(HWND window);

HWND CurrentServerList(MainWindow* main);
void UpdateServerCounts(MainWindow* main);
void SetStatusText(MainWindow* main, int part, const char* text);
void RebuildMoveMenu(MainWindow* main);
void LayOutWindow(MainWindow* main);
// A splitter drag: started by the mouse on a bar, followed and ended on the
// window's timer while the left button is down.
void StartSplitterDrag(MainWindow* main, unsigned keyState, int x, int y);
void FollowSplitterDrag(MainWindow* main);
void ShowManager(MainWindow* main);
void HideManager(MainWindow* main);

// Selection of a list view: the first selected row at or after from, or -1.
int NextSelectedRow(HWND list, int from);
// Selects (1) or clears (0) every row of a list.
void SelectEveryRow(HWND list, int selected);
// The selected rows, ascending.
std::vector<int> SelectedRows(HWND list);
