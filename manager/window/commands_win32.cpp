#include "commands_win32.h"

#include <string>
#include <vector>

#include "../catalogue/catalogue_texts.h"
#include "../resources/resource_ids.h"
#include "about_box_win32.h"
#include "dialogs_win32.h"
#include "list_files_win32.h"
#include "preferences_dialog_win32.h"
#include "window_texts.h"

// ---- helpers over the lists ----

static HWND ServerList(MainWindow* main) { return CurrentServerList(main); }
static int FirstSelectedServer(MainWindow* main) { return NextSelectedRow(ServerList(main), 0); }
static int FirstSelectedPort(MainWindow* main) { return NextSelectedRow(main->portList, 0); }
static int FirstSelectedCategory(MainWindow* main) { return NextSelectedRow(main->categoryList, 0); }

static void AfterServerCountChange(MainWindow* main) {
    UpdateServerCounts(main);
    RefreshCategoryLabels(&main->catalogue);
}

// ---- server commands ----

static void MoveToCategory(MainWindow* main, int id) {
    int index = id - IDM_MOVE_FIRST;
    if (index < 0 || index >= (int)main->catalogue.categories.size()) return;
    int target = main->catalogue.categories[index].slot;
    if (target == main->catalogue.currentSlot) return;
    MoveServersToCategory(&main->catalogue, SelectedRows(ServerList(main)), target);
    AfterServerCountChange(main);
}

static void AddServer(MainWindow* main, int) {
    ServerDialogData data = NewServerDialogData();
    if (RunServerDialog(main->window, &data)) {
        std::string address = ServerDialogAddress(data);
        AddServerRow(&main->catalogue, main->catalogue.currentSlot, address.c_str(), data.typeFlag,
                     StatusCodeUntested);
    }
    AfterServerCountChange(main);
}

static void RemoveServers(MainWindow* main, int) {
    RemoveServerRows(&main->catalogue, main->catalogue.currentSlot, SelectedRows(ServerList(main)));
    AfterServerCountChange(main);
}

// Tells the user of ports that were not started or switched.
static void ShowPortOutcome(MainWindow* main, PortOutcome outcome) {
    if (outcome == PortServerTooLong) SetStatusText(main, 0, PortServerTooLongText);
}

static void SwitchServer(MainWindow* main, int) {
    int row = FirstSelectedServer(main);
    if (row < 0) return;
    std::string address = main->catalogue.lists[main->catalogue.currentSlot].Row(row).text[ServerAddress];
    ShowPortOutcome(main, SwitchSelectedPorts(&main->ports, SelectedRows(main->portList), address.c_str(),
                                              main->options.table, &main->host));
}

static void EditServer(MainWindow* main, int) {
    int row = FirstSelectedServer(main);
    int slot = main->catalogue.currentSlot;
    if (row >= 0) {
        const ProxyServer& server = main->catalogue.lists[slot].Row(row);
        ServerDialogData data =
            ServerDialogForRow(server.text[ServerAddress].c_str(), server.text[ServerTypeColumn].c_str());
        if (RunServerDialog(main->window, &data) && row < main->catalogue.lists[slot].Count()) {
            SetServerText(&main->catalogue, slot, row, ServerAddress, ServerDialogAddress(data).c_str());
            SetServerText(&main->catalogue, slot, row, ServerTypeColumn, data.typeFlag ? TypeSocksText : TypeHttpText);
        }
    }
    UpdateServerCounts(main);
}

// One run at a time: the command may also come while the dialog is open
// (sent by another program), and a second run would take the first one's
// record from under its threads.
static void TestServers(MainWindow* main, int) {
    if (main->testRun.open) return;
    RunTestingDialog(main);
}

// One download at a time, as with the test runs.
static void DownloadList(MainWindow* main, int) {
    if (main->downloadDialog != nullptr) return;
    RunDownloadDialog(main);
}

// ---- port commands ----

static void AddPort(MainWindow* main, int) {
    MappedPortDialogData data = {AddMode, -1, "", ""};
    if (RunMappedPortDialog(main->window, &data, &main->ports.rows))
        AddMappedPort(&main->ports, data.name.c_str(), data.number.c_str());
}

static void EditPort(MainWindow* main, int) {
    int row = FirstSelectedPort(main);
    if (row < 0) return;
    const MappedPort& port = main->ports.rows[row];
    MappedPortDialogData data = {EditMode, row, port.text[PortName], port.text[PortNumber]};
    if (RunMappedPortDialog(main->window, &data, &main->ports.rows) && row < (int)main->ports.rows.size())
        ShowPortOutcome(main, EditMappedPort(&main->ports, row, data.name.c_str(), data.number.c_str(),
                                             main->options.table, &main->host));
}

static void RemovePorts(MainWindow* main, int) {
    RemoveSelectedPorts(&main->ports, SelectedRows(main->portList), main->options.table, &main->host);
}

static void SetPortsEnabled(MainWindow* main, int flag) {
    ShowPortOutcome(main, SetSelectedPortsEnabled(&main->ports, SelectedRows(main->portList), flag,
                                                  main->options.table, &main->host));
}

static void EnablePorts(MainWindow* main, int) { SetPortsEnabled(main, 1); }
static void DisablePorts(MainWindow* main, int) { SetPortsEnabled(main, 0); }

// ---- category commands ----

static void AddCategoryCommand(MainWindow* main, int) {
    CategoryDialogData data = {AddMode, ""};
    if (RunCategoryDialog(main->window, &data)) AddCategory(&main->catalogue, data.name.c_str());
    RefreshCategoryLabels(&main->catalogue);
}

static void EditCategory(MainWindow* main, int) {
    int index = FirstSelectedCategory(main);
    if (index < 0) return;
    CategoryDialogData data = {EditMode, main->catalogue.categories[index].name};
    if (RunCategoryDialog(main->window, &data) && index < (int)main->catalogue.categories.size())
        RenameCategory(&main->catalogue, index, data.name.c_str());
    RefreshCategoryLabels(&main->catalogue);
}

static void RemoveCategoryCommand(MainWindow* main, int) {
    int index = FirstSelectedCategory(main);
    if (index < 0 || IsBuiltInSlot(main->catalogue.categories[index].slot)) return;
    RemoveCategory(&main->catalogue, index);
    // The removed category's list may be the one shown, now empty.
    UpdateServerCounts(main);
}

// ---- window commands ----

static void ShowManagerCommand(MainWindow* main, int) { ShowManager(main); }
static void HideManagerCommand(MainWindow* main, int) { HideManager(main); }

// A save that fails and is cancelled keeps the manager running, shown.
static void ExitManager(MainWindow* main, int) {
    if (!SaveForExit(main)) return;
    EndManager(main);
    ExitProcess(0);
}

// ---- files, clipboard, dialogs of the File and Help menus ----

static void ExportCommand(MainWindow* main, int) { ExportServerList(main); }
static void ImportCommand(MainWindow* main, int) { ImportServerList(main); }
static void CopyAddressCommand(MainWindow* main, int) { CopyServerAddresses(main); }

static void PreferencesCommand(MainWindow* main, int) {
    PreferencesData data = CurrentPreferences(main);
    if (RunPreferencesDialog(main->window, &data)) ApplyPreferences(main, data);
}

static void AboutCommand(MainWindow* main, int) { RunAboutBox(main->window, main->shellOpen); }

// help.chm next to the program file; a missing file shows nothing.
static void ContentsCommand(MainWindow* main, int) {
    std::string folder = ManagerProgramFolder();
    if (!folder.empty()) main->shellOpen((folder + HelpFileName).c_str());
}

struct CommandEntry {
    int first;
    int last;
    void (*handler)(MainWindow* main, int id);
};

static const CommandEntry Commands[] = {
    {IDM_MOVE_FIRST, IDM_MOVE_LAST, MoveToCategory},
    {IDM_ADD_SERVER, IDM_ADD_SERVER, AddServer},
    {IDM_REMOVE_SERVER, IDM_REMOVE_SERVER, RemoveServers},
    {IDM_TEST_SERVER, IDM_TEST_SERVER, TestServers},
    {IDM_SWITCH_SERVER, IDM_SWITCH_SERVER, SwitchServer},
    {IDM_EDIT_SERVER, IDM_EDIT_SERVER, EditServer},
    {IDM_COPY_ADDRESS, IDM_COPY_ADDRESS, CopyAddressCommand},
    {IDM_ADD_PORT, IDM_ADD_PORT, AddPort},
    {IDM_EDIT_PORT, IDM_EDIT_PORT, EditPort},
    {IDM_REMOVE_PORT, IDM_REMOVE_PORT, RemovePorts},
    {IDM_DISABLE_PORT, IDM_DISABLE_PORT, DisablePorts},
    {IDM_DOWNLOAD_LIST, IDM_DOWNLOAD_LIST, DownloadList},
    {IDM_ENABLE_PORT, IDM_ENABLE_PORT, EnablePorts},
    {IDM_SHOW_MANAGER, IDM_SHOW_MANAGER, ShowManagerCommand},
    {IDM_TRAY_EXIT, IDM_TRAY_EXIT, ExitManager},
    {IDM_ADD_CATEGORY, IDM_ADD_CATEGORY, AddCategoryCommand},
    {IDM_EDIT_CATEGORY, IDM_EDIT_CATEGORY, EditCategory},
    {IDM_REMOVE_CATEGORY, IDM_REMOVE_CATEGORY, RemoveCategoryCommand},
    {IDM_EXPORT, IDM_EXPORT, ExportCommand},
    {IDM_IMPORT, IDM_IMPORT, ImportCommand},
    {IDM_PREFERENCES, IDM_PREFERENCES, PreferencesCommand},
    {IDM_EXIT, IDM_EXIT, ExitManager},
    {IDM_ABOUT, IDM_ABOUT, AboutCommand},
    {IDM_CONTENTS, IDM_CONTENTS, ContentsCommand},
    {IDCANCEL, IDCANCEL, HideManagerCommand},  // the Escape key
};

int RunCommand(MainWindow* main, int id) {
    for (const CommandEntry& entry : Commands) {
        if (id < entry.first || id > entry.last) continue;
        entry.handler(main, id);
        return 1;
    }
    return 0;
}

// ---- context menus ----

const int MoveMenuRemovedLast = IDM_MOVE_FIRST + 23;

void RebuildMoveMenu(MainWindow* main) {
    HMENU moveMenu = GetSubMenu(main->serverMenu, MOVE_MENU_POSITION);
    if (moveMenu == nullptr) return;
    for (int id = IDM_MOVE_FIRST; id <= MoveMenuRemovedLast; ++id) DeleteMenu(moveMenu, id, MF_BYCOMMAND);
    for (int i = 0; i < (int)main->catalogue.categories.size() && IDM_MOVE_FIRST + i <= IDM_MOVE_LAST; ++i)
        AppendMenuA(moveMenu, MF_STRING, IDM_MOVE_FIRST + i, CategoryLabel(main->catalogue.categories[i]).c_str());
}


static void EnableItem(HMENU menu, int id, int enabled) {
    EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

static void PrepareServerMenu(MainWindow* main) {
    HMENU menu = main->serverMenu;
    int anyServer = FirstSelectedServer(main) >= 0;
    int anyPort = FirstSelectedPort(main) >= 0;
    EnableItem(menu, IDM_SWITCH_SERVER, anyServer && anyPort);
    static const int needServer[] = {IDM_EDIT_SERVER, IDM_REMOVE_SERVER, IDM_TEST_SERVER, IDM_COPY_ADDRESS};
    for (int id : needServer) EnableItem(menu, id, anyServer);
    EnableMenuItem(menu, MOVE_MENU_POSITION, MF_BYPOSITION | (anyServer ? MF_ENABLED : MF_GRAYED));
    EnableItem(menu, IDM_ADD_SERVER, 1);
    EnableItem(menu, IDM_DOWNLOAD_LIST, 1);
    RebuildMoveMenu(main);
}

static void PreparePortMenu(MainWindow* main) {
    int anyPort = FirstSelectedPort(main) >= 0;
    static const int needPort[] = {IDM_EDIT_PORT, IDM_REMOVE_PORT, IDM_ENABLE_PORT, IDM_DISABLE_PORT};
    for (int id : needPort) EnableItem(main->portMenu, id, anyPort);
    EnableItem(main->portMenu, IDM_ADD_PORT, 1);
}

static void PrepareCategoryMenu(MainWindow* main) {
    int anyCategory = FirstSelectedCategory(main) >= 0;
    EnableItem(main->categoryMenu, IDM_EDIT_CATEGORY, anyCategory);
    EnableItem(main->categoryMenu, IDM_REMOVE_CATEGORY, anyCategory);
    EnableItem(main->categoryMenu, IDM_ADD_CATEGORY, 1);
}

HMENU PrepareContextMenu(MainWindow* main, int controlId) {
    switch (controlId) {
    case IDC_SERVER_LIST:
    case IDC_SERVER_TEMPLATE: PrepareServerMenu(main); return main->serverMenu;
    case IDC_PORT_LIST: PreparePortMenu(main); return main->portMenu;
    case IDC_CATEGORY_LIST: PrepareCategoryMenu(main); return main->categoryMenu;
    default: return nullptr;
    }
}

void ShowContextMenu(MainWindow* main, int controlId) {
    HMENU menu = PrepareContextMenu(main, controlId);
    if (menu == nullptr) return;
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, cursor.x, cursor.y, 0, main->window, nullptr);
    PostMessageA(main->window, WM_NULL, 0, 0);
}

void SortCurrentList(MainWindow* main, int column) {
    if (column < 0 || column >= ServerColumnCount) return;
    // The selection and the focus go along with their servers.
    HWND list = CurrentServerList(main);
    int count = main->catalogue.lists[main->catalogue.currentSlot].Count();
    int selectedCount = ListView_GetSelectedCount(list);
    std::vector<char> selected(count, 0);
    if (selectedCount != count) {
        for (int row = NextSelectedRow(list, 0); row >= 0 && row < count; row = NextSelectedRow(list, row + 1))
            selected[row] = 1;
    }
    int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
    std::vector<int> order = SortServerColumn(&main->catalogue, main->catalogue.currentSlot, &main->sort, column);
    if (order.empty()) return;
    // One repaint for the whole selection; a selection of every row stays.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int row = 0; row < (int)order.size(); ++row) {
        int from = order[row];
        if (from < 0 || from >= count) continue;
        if (selected[from]) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
        if (from == focused) ListView_SetItemState(list, row, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
