#include "window_state_win32.h"

#include "../catalogue/data_save.h"
#include "../catalogue/windows_profile.h"
#include "../resources/resource_ids.h"
#include "main_window_win32.h"
#include "stored_ports.h"
#include "window_layout_win32.h"

int WindowState::IsMaximized() { return IsZoomed(main->window) != 0; }

static MONITORINFO MonitorInfo(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoA(monitor, &info);
    return info;
}

// The restored rectangle, also while the window is minimised (its screen
// rectangle is then the icon's, far off the screen).
WindowRect WindowState::OuterRect() {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(main->window, &placement);
    MONITORINFO monitor = MonitorInfo(MonitorFromWindow(main->window, MONITOR_DEFAULTTONEAREST));
    Box rect = WorkspaceToScreen(ToBox(placement.rcNormalPosition), ToBox(monitor.rcMonitor), ToBox(monitor.rcWork));
    return WindowRect{rect.left, rect.top, Width(rect), Height(rect)};
}

// Fitted to the work area of the nearest monitor: a stored rectangle may be
// larger than the screen, or lie where a monitor no longer is.
void WindowState::PlaceWindow(const WindowRect& rect) {
    RECT stored = ToRect(StoredWindowBox(rect));
    int onAMonitor = MonitorFromRect(&stored, MONITOR_DEFAULTTONULL) != nullptr;
    MONITORINFO monitor = MonitorInfo(MonitorFromRect(&stored, MONITOR_DEFAULTTONEAREST));
    WindowRect fitted = FitWindowRect(rect, ToBox(monitor.rcWork), onAMonitor);
    MoveWindow(main->window, fitted.left, fitted.top, fitted.width, fitted.height, TRUE);
}

void WindowState::SizeWindow(int width, int height) {
    SetWindowPos(main->window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int WindowState::SplitterTop() { return ChildBox(main, GetDlgItem(main->window, IDC_SPLITTER_TOP)).top; }
int WindowState::SplitterLeft() { return ChildBox(main, GetDlgItem(main->window, IDC_SPLITTER_LEFT)).left; }

void WindowState::PlaceSplitters(int top, int left) {
    HoldSplitters(main, &top, &left);
    MoveWindow(GetDlgItem(main->window, IDC_SPLITTER_TOP), 0, top, SplitterFullLength, SplitterThickness, FALSE);
    MoveWindow(GetDlgItem(main->window, IDC_SPLITTER_LEFT), left, 0, SplitterThickness, SplitterFullLength, FALSE);
}

int WindowState::MappedPortCount() { return (int)main->ports.rows.size(); }
StoredPort WindowState::MappedPortRow(int row) { return StoredFromPort(main->ports.rows[row]); }
void WindowState::AppendMappedPort(const StoredPort& port) { AppendPortRow(&main->ports, PortFromStored(port)); }
void WindowState::SetLocalOnly(uint8_t value) { main->options.table->localOnly = value; }

void WindowState::SetAutorun(int flag) {
    if (main->options.loadState) ::SetAutorun(flag);
}

void LoadManagerState(MainWindow* main) {
    if (!main->options.loadState) {
        main->state.SizeWindow(DefaultWindowWidth, DefaultWindowHeight);
        main->state.PlaceSplitters(DefaultSplitterTop, DefaultSplitterLeft);
        return;
    }
    WindowsProfile settings(main->paths.settings);
    FileCatalogueStorage storage(main->paths.catalogue);
    LoadState(&main->catalogue, &settings, &storage, &main->state, &main->flags);
    main->testing = ReadTestingSettings(&settings);
    main->service = ReadServiceSettings(&settings);
    // The servers of user categories are saved only under the names that
    // config.ini holds: when it could not be read, the catalogue file is
    // kept at the save as well.
    if (main->paths.settingsUnread) main->catalogue.fileUnread = 1;
}

SaveOutcome SaveManagerState(MainWindow* main) {
    if (!main->options.loadState) return SaveSucceeded();
    return SaveDataFiles(&main->paths, &main->catalogue, &main->state, &main->flags);
}
