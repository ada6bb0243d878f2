// The manager's main window: a dialog from resource 101 whose list views
// show the catalogue, the mapped ports and the categories. The window thread
// owns the models; the views follow them through the observers.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "../catalogue/data_folder.h"
#include "../catalogue/proxy_catalogue.h"
#include "../catalogue/settings.h"
#include "../ports/mapped_ports.h"
#include "../ports/relay_host_win32.h"
#include "../testing/probe_engine_win32.h"
#include "../testing/testing_settings.h"
#include "../webservice/service_settings.h"
#include "../webservice/update_check_win32.h"
#include "download_dialog_win32.h"
#include "list_files_win32.h"
#include "list_views_win32.h"
#include "server_sort.h"
#include "status_bar_win32.h"
#include "testing_dialog_win32.h"
#include "tray_icon_win32.h"
#include "update_offer_dialog_win32.h"
#include "window_layout_win32.h"
#include "window_state_win32.h"
#include "window_thread_win32.h"

const int ServerListCount = CategorySlotCount;  // slots 19 to 23 are never used

struct MainWindowOptions {
    HINSTANCE instance;
    SharedPortTable* table;
    const char* commandLine;  // a last character 'h' starts hidden
    int loadState;            // data folder, config.ini and proxylist.dat
    int startMonitor;
    int startPorts;           // relays for the ports stored as enabled
    int startUpdateCheck;     // ask the web service for a newer version
};

// The window thread as the port monitor reaches it.
struct WindowPortListThread : public PortListThread {
    HWND window = nullptr;
    int RunCall(void (*function)(void* argument), void* argument) override {
        return RunOnWindowThread(window, function, argument);
    }
    void WaitServingCalls(HANDLE handle) override { WaitServingWindowCalls(handle); }
};

// The window's record: its controls, the models it shows and the pieces
// that connect them.
struct MainWindow {
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
    CatalogueView catalogueView;
    PortListView portView;
    WindowState state;
    SortState sort;
    ManagerFlags flags;
    DataPaths paths;
    WindowsRelayHost host;
    PortMonitor monitor;
    WindowPortListThread portListThread;
    TestingSettings testing;
    TestRun testRun;
    WindowTestRun testRunWindow;
    ProbeEngine* probeEngine;
    UINT probeTickMilliseconds;               // the Testing Servers dialog's timer
    void(WINAPI* localTime)(SYSTEMTIME* now);  // the clock of the last-check texts
    ServiceSettings service;
    ListDownload* download;  // while the Downloading Proxy List dialog is open
    HWND downloadDialog;
    WindowListDownload downloadWindow;
    UpdateCheck updateCheck;
    WindowUpdateCheck updateWindow;
    HWND offerDialog;                       // the update offer while it is open
    void (*shellOpen)(const char* target);  // links and files for the system's handler
    int (*messageBox)(HWND owner, const char* text, const char* caption, UINT type);
    int savingForExit;                      // Exit's save is asking the user
    FileDialogFunction saveDialog;
    FileDialogFunction openDialog;
    NOTIFYICONDATAA trayRecord;  // filled when the icon is first added
    NotifyIconFunction notifyIcon;
    HANDLE shownEvent;                   // set once the manager has been shown
    HANDLE closingEvent;                 // set when the window goes away
    int startHidden;                     // the window thread's; workers wait for shownEvent
    int splitterDrag;  // SplitterIdle, or the bar being dragged
    HCURSOR northSouthCursor;
    HCURSOR westEastCursor;
};

// The program's way: a modal dialog for the rest of the process's life.
INT_PTR RunMainWindow(const MainWindowOptions* options);
// Tests' way: the same window, modeless; DestroyMainWindow ends it.
HWND CreateMainWindow(const MainWindowOptions* options);
void DestroyMainWindow(HWND window);
MainWindow* MainWindowOf(HWND window);

void ShowManager(MainWindow* main);
// Exit's save: while it fails, the user is told why and may try again.
// 1 once saved; 0 when the user cancels, and the manager goes on, shown.
int SaveForExit(MainWindow* main);
// The manager's end once saved: no worker's call runs from here on, the
// tray icon goes.
void EndManager(MainWindow* main);
// When Windows ends the session: saved once, without asking, then ended.
void SaveAtEnd(MainWindow* main);
void HideManager(MainWindow* main);
