// The real main window, created in the test's own thread and driven through
// its messages: commands, list notifications, keys; rows, menu states and
// status-bar texts are read back from the controls.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "manager/catalogue/catalogue_texts.h"
#include "manager/catalogue/ini_profile.h"
#include "manager/resources/resource_ids.h"
#include "manager/window/commands_win32.h"
#include "manager/window/layout.h"
#include "manager/window/main_window_win32.h"
#include "manager/window/window_thread_win32.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/window/list_cells_win32.h"
#include "tests/window/test_window_win32.h"

static void Select(HWND list, int row) { ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED); }

static void PumpMessages(HWND dialog) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

struct VisibleListSearch {
    HWND found;
    int count;
};

static BOOL CALLBACK FindShownServerList(HWND child, LPARAM argument) {
    VisibleListSearch* search = (VisibleListSearch*)argument;
    if (GetDlgCtrlID(child) == IDC_SERVER_LIST && (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) {
        search->found = child;
        ++search->count;
    }
    return TRUE;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Open(""); }
    void TearDown() override { DestroyMainWindow(window); }

    void Open(const char* commandLine) {
        window = CreateTestMainWindow(&table, commandLine);
        ASSERT_NE(window, nullptr);
        main = MainWindowOf(window);
    }

    // The one server list the window shows.
    HWND ShownServerList() {
        VisibleListSearch search = {nullptr, 0};
        EnumChildWindows(window, FindShownServerList, (LPARAM)&search);
        EXPECT_EQ(search.count, 1);
        return search.found;
    }
    HWND PortList() { return GetDlgItem(window, IDC_PORT_LIST); }
    HWND CategoryList() { return GetDlgItem(window, IDC_CATEGORY_LIST); }

    void Command(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    void AddServers(int slot, const std::vector<const char*>& addresses, int typeFlag = Http) {
        for (const char* address : addresses) AddServerRow(&main->catalogue, slot, address, typeFlag, StatusCodeUntested);
        RefreshCategoryLabels(&main->catalogue);
    }

    void AddPort(const char* name, const char* number) { AddMappedPort(&main->ports, name, number); }

    std::string StatusBarText(int part) {
        char text[256] = "";
        SendDlgItemMessageA(window, IDC_STATUS_BAR, SB_GETTEXTA, (WPARAM)part, (LPARAM)text);
        return text;
    }

    int Enabled(HMENU menu, UINT item, UINT by = MF_BYCOMMAND) {
        UINT state = GetMenuState(menu, item, by);
        EXPECT_NE(state, (UINT)-1) << "item " << item;
        return (state & (MF_GRAYED | MF_DISABLED)) == 0;
    }

    void ClickHeader(int column) {
        HWND list = ShownServerList();
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = list;
        click.hdr.idFrom = IDC_SERVER_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(window, WM_NOTIFY, IDC_SERVER_LIST, (LPARAM)&click);
    }

    void DoubleClickServer() {
        NMITEMACTIVATE click = {};
        click.hdr.hwndFrom = ShownServerList();
        click.hdr.idFrom = IDC_SERVER_LIST;
        click.hdr.code = NM_DBLCLK;
        SendMessageA(window, WM_NOTIFY, IDC_SERVER_LIST, (LPARAM)&click);
    }

    SharedPortTable table = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
};

TEST_F(MainWindowTest, StartsWithTitleBuiltInCategoriesAndStatusTexts) {
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Tessaron 1.05");
    EXPECT_EQ(Column(CategoryList(), 0), (std::vector<std::string>{"My Proxy Servers(0)", "New(0)", "Dead(0)"}));
    EXPECT_EQ(StatusBarText(0), "Tessaron 1.05");
    EXPECT_EQ(StatusBarText(1), "Total: 0   Socks: 0   Http: 0");
    EXPECT_EQ(ShownServerList(), main->serverLists[MyProxyServersSlot]);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_SERVER_TEMPLATE)));
}

TEST_F(MainWindowTest, EmptyServerListMenuEnablesOnlyAddServerAndDownload) {
    HMENU menu = PrepareContextMenu(main, IDC_SERVER_LIST);
    ASSERT_NE(menu, nullptr);
    struct Case {
        UINT id;
        int enabled;
    };
    const Case cases[] = {
        {IDM_SWITCH_SERVER, 0}, {IDM_TEST_SERVER, 0}, {IDM_COPY_ADDRESS, 0}, {IDM_DOWNLOAD_LIST, 1},
        {IDM_ADD_SERVER, 1},    {IDM_EDIT_SERVER, 0}, {IDM_REMOVE_SERVER, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Enabled(menu, c.id), c.enabled) << "command " << c.id;
    EXPECT_FALSE(Enabled(menu, 4, MF_BYPOSITION)) << "Move to Category";
}

TEST_F(MainWindowTest, MoveMenuListsEveryCategoryWithItsCount) {
    AddServers(MyProxyServersSlot, {"a:1", "b:2"});
    HMENU menu = PrepareContextMenu(main, IDC_SERVER_LIST);
    HMENU move = GetSubMenu(menu, 4);
    ASSERT_NE(move, nullptr);
    char text[64] = "";
    GetMenuStringA(move, IDM_MOVE_FIRST, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "My Proxy Servers(2)");
    GetMenuStringA(move, IDM_MOVE_FIRST + 2, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Dead(0)");
    // Rebuilt, not appended to: the entries stay three.
    PrepareContextMenu(main, IDC_SERVER_LIST);
    EXPECT_EQ(GetMenuItemCount(move), 1 + 3);
}

TEST_F(MainWindowTest, SwitchToServerNeedsAServerAndAPortSelected) {
    AddServers(MyProxyServersSlot, {"10.0.0.5:3128"});
    AddPort("Default", "9800");
    Select(ShownServerList(), 0);
    EXPECT_FALSE(Enabled(PrepareContextMenu(main, IDC_SERVER_LIST), IDM_SWITCH_SERVER));
    DoubleClickServer();
    EXPECT_EQ(CellText(PortList(), 0, PortServer), "None");

    Select(PortList(), 0);
    EXPECT_TRUE(Enabled(PrepareContextMenu(main, IDC_SERVER_LIST), IDM_SWITCH_SERVER));
    DoubleClickServer();
    EXPECT_EQ(CellText(PortList(), 0, PortServer), "10.0.0.5:3128");
}

// The relays' table holds 63 characters of a server: a longer address does
// not switch the port, and the status bar says why.
TEST_F(MainWindowTest, SwitchToAnAddressLongerThanTheTableHoldsKeepsThePortsServer) {
    std::string tooLong = std::string(59, 'h') + ":3128";  // 64 characters
    std::string fits = std::string(58, 'h') + ":3128";     // 63
    AddServers(MyProxyServersSlot, {tooLong.c_str(), fits.c_str()});
    AddPort("Default", "9800");
    Select(PortList(), 0);
    Select(ShownServerList(), 0);
    Command(IDM_SWITCH_SERVER);
    EXPECT_EQ(CellText(PortList(), 0, PortServer), "None");
    EXPECT_EQ(StatusBarText(0), "Address too long for a mapped port (63 characters at most)");

    ListView_SetItemState(ShownServerList(), -1, 0, LVIS_SELECTED);
    Select(ShownServerList(), 1);
    DoubleClickServer();
    EXPECT_EQ(CellText(PortList(), 0, PortServer), fits);
}

TEST_F(MainWindowTest, PortAndCategoryMenusFollowTheirSelection) {
    AddPort("Default", "9800");
    HMENU ports = PrepareContextMenu(main, IDC_PORT_LIST);
    const UINT needPort[] = {IDM_EDIT_PORT, IDM_REMOVE_PORT, IDM_ENABLE_PORT, IDM_DISABLE_PORT};
    for (UINT id : needPort) EXPECT_FALSE(Enabled(ports, id)) << id;
    EXPECT_TRUE(Enabled(ports, IDM_ADD_PORT));
    Select(PortList(), 0);
    PrepareContextMenu(main, IDC_PORT_LIST);
    for (UINT id : needPort) EXPECT_TRUE(Enabled(ports, id)) << id;

    HMENU categories = PrepareContextMenu(main, IDC_CATEGORY_LIST);
    EXPECT_FALSE(Enabled(categories, IDM_EDIT_CATEGORY));
    EXPECT_FALSE(Enabled(categories, IDM_REMOVE_CATEGORY));
    EXPECT_TRUE(Enabled(categories, IDM_ADD_CATEGORY));
    Select(CategoryList(), 1);
    PrepareContextMenu(main, IDC_CATEGORY_LIST);
    EXPECT_TRUE(Enabled(categories, IDM_REMOVE_CATEGORY));
}

TEST_F(MainWindowTest, MovingThreeServersWhereOneIsInTheTargetLeavesTwoNewRows) {
    AddServers(MyProxyServersSlot, {"a.example:1", "b.example:2", "c.example:3", "d.example:4"});
    AddServers(NewSlot, {"B.example:2"});
    HWND source = ShownServerList();
    for (int row = 0; row < 3; ++row) Select(source, row);

    Command(IDM_MOVE_FIRST + 1);  // "New"

    EXPECT_EQ(Column(source, ServerAddress), (std::vector<std::string>{"d.example:4"}));
    EXPECT_EQ(StatusBarText(1), "Total: 1   Socks: 0   Http: 1");
    EXPECT_EQ(Column(CategoryList(), 0),
              (std::vector<std::string>{"My Proxy Servers(1)", "New(3)", "Dead(0)"}));
    Select(CategoryList(), 1);
    HWND target = ShownServerList();
    EXPECT_EQ(target, main->serverLists[NewSlot]);
    EXPECT_EQ(Column(target, ServerAddress),
              (std::vector<std::string>{"B.example:2", "a.example:1", "c.example:3"}));
    EXPECT_EQ(StatusBarText(1), "Total: 3   Socks: 0   Http: 3");
}

TEST_F(MainWindowTest, MovingToTheShownCategoryChangesNothing) {
    AddServers(MyProxyServersSlot, {"a:1", "b:2"});
    Select(ShownServerList(), 0);
    Command(IDM_MOVE_FIRST + 0);
    EXPECT_EQ(Column(ShownServerList(), ServerAddress), (std::vector<std::string>{"a:1", "b:2"}));
}

TEST_F(MainWindowTest, RemoveCategoryLeavesTheBuiltInOnes) {
    AddCategory(&main->catalogue, "Work");
    RefreshCategoryLabels(&main->catalogue);
    struct Case {
        int row;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {0, {"My Proxy Servers(0)", "New(0)", "Dead(0)", "Work(0)"}},
        {1, {"My Proxy Servers(0)", "New(0)", "Dead(0)", "Work(0)"}},
        {2, {"My Proxy Servers(0)", "New(0)", "Dead(0)", "Work(0)"}},
        {3, {"My Proxy Servers(0)", "New(0)", "Dead(0)"}},
    };
    for (const Case& c : cases) {
        Select(CategoryList(), c.row);
        Command(IDM_REMOVE_CATEGORY);
        EXPECT_EQ(Column(CategoryList(), 0), c.after) << "row " << c.row;
    }
}

TEST_F(MainWindowTest, HeaderClicksSortAscendingThenDescending) {
    struct Case {
        int column;
        std::vector<const char*> cells;
        std::vector<std::string> ascending;
    };
    const Case cases[] = {
        {ServerDelay, {"120", "95", "", "1000"}, {"", "95", "120", "1000"}},
        {ServerAddress, {"b.x:1", "A.x:1", "c.x:1"}, {"A.x:1", "b.x:1", "c.x:1"}},
        {ServerLastCheck, {"30.09.2026 10:00", "01.10.2026 10:00"}, {"01.10.2026 10:00", "30.09.2026 10:00"}},
    };
    for (const Case& c : cases) {
        ServerList& servers = main->catalogue.lists[MyProxyServersSlot];
        while (servers.Count() > 0) RemoveServerRow(&main->catalogue, MyProxyServersSlot, 0);
        for (size_t i = 0; i < c.cells.size(); ++i) {
            std::string address = c.column == ServerAddress ? c.cells[i] : "h" + std::to_string(i) + ":1";
            int row = AddServerRow(&main->catalogue, MyProxyServersSlot, address.c_str(), Http, StatusCodeUntested);
            ASSERT_GE(row, 0);
            SetServerText(&main->catalogue, MyProxyServersSlot, row, c.column, c.cells[i]);
        }
        ClickHeader(c.column);
        EXPECT_EQ(Column(ShownServerList(), c.column), c.ascending) << "column " << c.column;
        ClickHeader(c.column);
        std::vector<std::string> descending(c.ascending.rbegin(), c.ascending.rend());
        EXPECT_EQ(Column(ShownServerList(), c.column), descending) << "column " << c.column;
        ClickHeader(c.column);  // back to ascending for the next case's first click
    }
}

TEST_F(MainWindowTest, SelectionAndFocusFollowTheirServersAcrossASort) {
    AddServers(MyProxyServersSlot, {"d:1", "b:1", "a:1", "c:1"});
    HWND list = ShownServerList();
    Select(list, 0);  // d
    Select(list, 2);  // a
    ListView_SetItemState(list, 3, LVIS_FOCUSED, LVIS_FOCUSED);  // c
    ClickHeader(ServerAddress);
    ASSERT_EQ(Column(list, ServerAddress), (std::vector<std::string>{"a:1", "b:1", "c:1", "d:1"}));
    std::vector<std::string> selected;
    for (int row = NextSelectedRow(list, 0); row >= 0; row = NextSelectedRow(list, row + 1))
        selected.push_back(CellText(list, row, ServerAddress));
    EXPECT_EQ(selected, (std::vector<std::string>{"a:1", "d:1"}));
    EXPECT_EQ(CellText(list, ListView_GetNextItem(list, -1, LVNI_FOCUSED), ServerAddress), "c:1");

    // A command on the selection now acts on the same servers as before.
    Command(IDM_REMOVE_SERVER);
    EXPECT_EQ(Column(list, ServerAddress), (std::vector<std::string>{"b:1", "c:1"}));

    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
    ClickHeader(ServerAddress);
    EXPECT_EQ(Column(list, ServerAddress), (std::vector<std::string>{"c:1", "b:1"}));
    EXPECT_EQ(ListView_GetSelectedCount(list), 2u);
}

TEST_F(MainWindowTest, DeleteKeyRemovesSelectedServersAndNothingInTheCategoryList) {
    AddServers(MyProxyServersSlot, {"a:1", "b:2", "c:3", "d:4"});
    HWND list = ShownServerList();
    Select(list, 1);
    Select(list, 2);
    SendMessageA(list, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(Column(list, ServerAddress), (std::vector<std::string>{"a:1", "d:4"}));
    EXPECT_EQ(StatusBarText(1), "Total: 2   Socks: 0   Http: 2");

    AddCategory(&main->catalogue, "Work");
    Select(CategoryList(), 3);
    SendMessageA(CategoryList(), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(SendMessageA(CategoryList(), LVM_GETITEMCOUNT, 0, 0), 4);
}

TEST_F(MainWindowTest, ManyRowCommandsLeaveNoSelectionOnOtherServers) {
    struct Case {
        const char* what;
        std::vector<int> selected;  // empty: every row, by Ctrl+A
        int command;
        std::vector<std::string> left;
        std::vector<std::string> moved;
    };
    const Case cases[] = {
        {"remove some", {0, 2}, IDM_REMOVE_SERVER, {"b:2", "d:4"}, {}},
        {"move some", {1, 3}, IDM_MOVE_FIRST + 1, {"a:1", "c:3"}, {"b:2", "d:4"}},
        {"remove all", {}, IDM_REMOVE_SERVER, {}, {}},
        {"move all", {}, IDM_MOVE_FIRST + 1, {}, {"a:1", "b:2", "c:3", "d:4"}},
    };
    HWND list = ShownServerList();
    for (const Case& c : cases) {
        main->catalogue.lists[MyProxyServersSlot].Clear();
        main->catalogue.lists[NewSlot].Clear();
        main->catalogueView.ServerListReset(MyProxyServersSlot);
        main->catalogueView.ServerListReset(NewSlot);
        AddServers(MyProxyServersSlot, {"a:1", "b:2", "c:3", "d:4"});
        if (c.selected.empty()) {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0x80;
            SetKeyboardState(keys);
            SendMessageA(list, WM_KEYDOWN, 'A', 0);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
            EXPECT_EQ(ListView_GetSelectedCount(list), 4u) << c.what;
        }
        for (int row : c.selected) Select(list, row);
        Command(c.command);
        EXPECT_EQ(Column(list, ServerAddress), c.left) << c.what;
        EXPECT_EQ(ListView_GetSelectedCount(list), 0u) << c.what;
        EXPECT_EQ(Column(main->serverLists[NewSlot], ServerAddress), c.moved) << c.what;
        EXPECT_EQ(StatusBarText(1), "Total: " + std::to_string(c.left.size()) + "   Socks: 0   Http: " +
                                        std::to_string(c.left.size()))
            << c.what;
        EXPECT_EQ(Column(CategoryList(), 0),
                  (std::vector<std::string>{"My Proxy Servers(" + std::to_string(c.left.size()) + ")",
                                            "New(" + std::to_string(c.moved.size()) + ")", "Dead(0)"}))
            << c.what;
        // A server added afterwards comes unselected.
        AddServers(MyProxyServersSlot, {"z:9"});
        EXPECT_EQ(ListView_GetSelectedCount(list), 0u) << c.what;
    }
}

TEST_F(MainWindowTest, RowsMovedIntoAHiddenListClearItsSelection) {
    AddServers(MyProxyServersSlot, {"a:1"});
    AddServers(NewSlot, {"n:1", "n:2", "n:3"});
    HWND target = main->serverLists[NewSlot];
    ASSERT_FALSE(GetWindowLongA(target, GWL_STYLE) & WS_VISIBLE);
    Select(target, 1);
    Select(target, 2);
    Select(ShownServerList(), 0);
    Command(IDM_MOVE_FIRST + 1);  // "New"
    EXPECT_EQ(ListView_GetSelectedCount(target), 0u);
    EXPECT_EQ(Column(target, ServerAddress), (std::vector<std::string>{"n:1", "n:2", "n:3", "a:1"}));
    EXPECT_FALSE(GetWindowLongA(target, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(MainWindowTest, CtrlASelectsEveryRowOfTheServerAndPortListsOnly) {
    AddServers(MyProxyServersSlot, {"a:1", "b:2", "c:3"});
    AddPort("one", "9801");
    AddPort("two", "9802");
    AddCategory(&main->catalogue, "Work");
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    struct Case {
        HWND list;
        bool control;
        UINT selected;
    };
    const Case cases[] = {
        {ShownServerList(), false, 0}, {ShownServerList(), true, 3}, {PortList(), true, 2}, {CategoryList(), true, 0}};
    for (const Case& c : cases) {
        ListView_SetItemState(c.list, -1, 0, LVIS_SELECTED);
        keys[VK_CONTROL] = c.control ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(c.list, WM_KEYDOWN, 'A', 0);
        EXPECT_EQ(ListView_GetSelectedCount(c.list), c.selected);
    }
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

TEST_F(MainWindowTest, RemovingTheShownCategoryClearsItsCounts) {
    AddCategory(&main->catalogue, "Work");
    AddServers(0, {"a:1", "b:2"}, Socks);
    Select(CategoryList(), 3);
    ASSERT_EQ(StatusBarText(1), "Total: 2   Socks: 2   Http: 0");
    Command(IDM_REMOVE_CATEGORY);
    EXPECT_EQ(ShownServerList(), main->serverLists[0]);
    EXPECT_EQ(StatusBarText(1), "Total: 0   Socks: 0   Http: 0");
}

TEST_F(MainWindowTest, CountsFollowTheShownCategory) {
    AddServers(MyProxyServersSlot, {"a:1", "b:2"}, Socks);
    AddServers(MyProxyServersSlot, {"c:3"}, Http);
    AddServers(DeadSlot, {"d:4"}, Http);
    Select(CategoryList(), 0);
    EXPECT_EQ(StatusBarText(1), "Total: 3   Socks: 2   Http: 1");
    Select(CategoryList(), 2);
    EXPECT_EQ(ShownServerList(), main->serverLists[DeadSlot]);
    EXPECT_EQ(StatusBarText(1), "Total: 1   Socks: 0   Http: 1");
}

TEST_F(MainWindowTest, RemovingPortsDeletesEverySelectedRow) {
    AddPort("One", "9801");
    AddPort("Two", "9802");
    AddPort("Three", "9803");
    EXPECT_EQ(Column(PortList(), PortName), (std::vector<std::string>{"Three", "Two", "One"}));
    Select(PortList(), 0);
    Select(PortList(), 1);
    SendMessageA(PortList(), WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(Column(PortList(), PortName), (std::vector<std::string>{"One"}));
    EXPECT_EQ(Column(PortList(), PortStatus), (std::vector<std::string>{"Disabled"}));
}

TEST_F(MainWindowTest, EscapeHidesAndShowManagerBringsTheWindowBackUnchanged) {
    AddServers(MyProxyServersSlot, {"a:1"});
    ASSERT_TRUE(IsWindowVisible(window));
    SetFocus(ShownServerList());
    PostMessageA(ShownServerList(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages(window);
    EXPECT_FALSE(IsWindowVisible(window));
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_NE(MainWindowOf(window), nullptr) << "closing only hides";

    Command(IDM_SHOW_MANAGER);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Column(ShownServerList(), ServerAddress), (std::vector<std::string>{"a:1"}));
}

TEST_F(MainWindowTest, CommandLineEndingInHStaysHiddenUntilShowManager) {
    DestroyMainWindow(window);
    Open("C:\\Tessaron\\Tessaron.exe h");
    EXPECT_FALSE(IsWindowVisible(window));
    ShowWindow(window, SW_SHOWNORMAL);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    EXPECT_FALSE(IsWindowVisible(window));
    Command(IDM_SHOW_MANAGER);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(MainWindowTest, CallsFromAnotherThreadRunOnTheWindowThread) {
    struct Call {
        HWND window;
        DWORD ranOn;
    };
    static Call call;
    call = {window, 0};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            RunOnWindowThread(call.window, [](void* argument) { ((Call*)argument)->ranOn = GetCurrentThreadId(); },
                              &call);
            return 0;
        },
        nullptr, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(thread);
    EXPECT_EQ(call.ranOn, GetCurrentThreadId());
}

// The monitor's pass reaches the rows through the window thread; the test
// thread serves its calls while it waits.
static bool WaitForPortStatus(HWND window, HWND list, const char* status, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        PumpMessages(window);
        if (CellText(list, 0, PortStatus) == status) return true;
    }
    return false;
}

TEST_F(MainWindowTest, PortMonitorShowsWhetherTheRelayEventExists) {
    AddPort("Monitored", "39817");
    HANDLE relay = CreateEventA(nullptr, FALSE, FALSE, "Local\\Tessaron10_Port39817_Event");
    ASSERT_NE(relay, nullptr);
    StartPortMonitor(&main->monitor, &main->portListThread, &main->ports, &main->host);
    EXPECT_TRUE(WaitForPortStatus(window, PortList(), "Enabled", 3000));
    CloseHandle(relay);
    EXPECT_TRUE(WaitForPortStatus(window, PortList(), "Disabled", 3000));
}

TEST_F(MainWindowTest, SplitterDragStartsOnlyWithTheLeftButtonAlone) {
    RECT horizontal, vertical;
    GetWindowRect(GetDlgItem(window, IDC_SPLITTER_TOP), &horizontal);
    GetWindowRect(GetDlgItem(window, IDC_SPLITTER_LEFT), &vertical);
    MapWindowPoints(nullptr, window, (POINT*)&horizontal, 2);
    MapWindowPoints(nullptr, window, (POINT*)&vertical, 2);
    POINT onHorizontal = {vertical.right + 50, horizontal.top + 2};
    POINT onVertical = {vertical.left + 2, horizontal.bottom + 50};
    POINT onBoth = {vertical.left + 2, horizontal.top + 2};
    struct Case {
        POINT at;
        WPARAM keys;
        int drag;
    };
    const Case cases[] = {
        {onHorizontal, MK_LBUTTON, DraggingHorizontal},
        {onHorizontal, MK_LBUTTON | MK_CONTROL, SplitterIdle},
        {onVertical, MK_LBUTTON, DraggingVertical},
        {onVertical, MK_LBUTTON | MK_SHIFT, SplitterIdle},
        {onVertical, 0, SplitterIdle},
        {onBoth, MK_LBUTTON, DraggingHorizontal},
    };
    for (const Case& c : cases) {
        main->splitterDrag = SplitterIdle;
        SendMessageA(window, WM_LBUTTONDOWN, c.keys, MAKELPARAM(c.at.x, c.at.y));
        EXPECT_EQ(main->splitterDrag, c.drag) << c.at.x << "," << c.at.y << " keys " << c.keys;
        ClipCursor(nullptr);
    }
}

TEST_F(MainWindowTest, ReleasedDragPutsTheProxyListBelowTheBar) {
    RECT client;
    GetClientRect(window, &client);
    POINT target = {client.right / 2, client.bottom / 2};
    ClientToScreen(window, &target);
    SetCursorPos(target.x, target.y);
    main->splitterDrag = DraggingHorizontal;  // as a press on the bar leaves it
    SendMessageA(window, WM_TIMER, 0, 0);     // the button reads up: the drag ends
    EXPECT_EQ(main->splitterDrag, SplitterIdle);
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    RECT caption;
    GetWindowRect(GetDlgItem(window, IDC_PROXY_CAPTION), &caption);
    MapWindowPoints(nullptr, window, (POINT*)&caption, 2);
    EXPECT_EQ(caption.top, cursor.y + 7);
    RECT list;
    GetWindowRect(ShownServerList(), &list);
    MapWindowPoints(nullptr, window, (POINT*)&list, 2);
    EXPECT_EQ(list.top, caption.bottom);
}

// True when a timer message for the window arrives within the time.
static bool TimerArrives(HWND window, DWORD milliseconds) {
    MSG message;
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5)) {
        if (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_NOREMOVE)) return true;
    }
    return false;
}

TEST_F(MainWindowTest, TheDragTimerRunsOnlyWhileABarIsDragged) {
    EXPECT_FALSE(TimerArrives(window, 300));  // idle: nothing wakes the window
    RECT horizontal, vertical;
    GetWindowRect(GetDlgItem(window, IDC_SPLITTER_TOP), &horizontal);
    GetWindowRect(GetDlgItem(window, IDC_SPLITTER_LEFT), &vertical);
    MapWindowPoints(nullptr, window, (POINT*)&horizontal, 2);
    MapWindowPoints(nullptr, window, (POINT*)&vertical, 2);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(vertical.right + 50, horizontal.top + 2));
    ASSERT_EQ(main->splitterDrag, DraggingHorizontal);
    EXPECT_TRUE(TimerArrives(window, 1000));
    PumpMessages(window);  // the first tick reads the button up and ends the drag
    EXPECT_EQ(main->splitterDrag, SplitterIdle);
    PumpMessages(window);
    EXPECT_FALSE(TimerArrives(window, 300));
}

// Where the system puts a maximised window of its default kind.
static RECT PlainMaximizedRect() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TessaronPlainWindow";
    RegisterClassA(&windowClass);
    HWND plain = CreateWindowA("TessaronPlainWindow", "plain", WS_OVERLAPPEDWINDOW, 100, 100, 500, 400, nullptr,
                               nullptr, windowClass.hInstance, nullptr);
    ShowWindow(plain, SW_MAXIMIZE);
    RECT rect;
    GetWindowRect(plain, &rect);
    DestroyWindow(plain);
    return rect;
}

// Its title bar on the screen, its frame just beyond the work area's edges.
TEST_F(MainWindowTest, MaximisedWindowSitsLikeAnyOtherWindow) {
    RECT plain = PlainMaximizedRect();
    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, plain.left);
    EXPECT_EQ(rect.top, plain.top);
    EXPECT_EQ(rect.right, plain.right);
    EXPECT_EQ(rect.bottom, plain.bottom);
}

TEST_F(MainWindowTest, MinimisedWindowStoresItsRestoredRectangle) {
    MoveWindow(window, 50, 60, 640, 480, TRUE);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));
    EXPECT_FALSE(main->state.IsMaximized());
    WindowRect rect = main->state.OuterRect();
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.top, 60);
    EXPECT_EQ(rect.width, 640);
    EXPECT_EQ(rect.height, 480);
}

// config.ini's keys as "section/key" and their texts.
typedef std::map<std::string, std::string> SettingsValues;

static std::string SettingsText(const SettingsValues& values) {
    std::map<std::string, std::string> sections;
    for (const auto& value : values) {
        size_t slash = value.first.find('/');
        sections[value.first.substr(0, slash)] += value.first.substr(slash + 1) + "=" + value.second + "\r\n";
    }
    std::string text;
    for (const auto& section : sections) text += "[" + section.first + "]\r\n" + section.second;
    return text;
}

// A file as the manager saves it.
static const SettingsValues SoundSettings = {
    {"window/left", "10"},          {"window/top", "20"},
    {"window/width", "700"},        {"window/height", "550"},
    {"window/spliter_top", "200"},  {"window/spliter_left", "250"},
    {"main/autorun", "0"},          {"main/ports_count", "1"},
    {"network/acceptfromlocalcomputer", "1"},
    {"port0/name", "Web"},          {"port0/port", "9800"},
    {"port0/status", "0"},          {"port0/server", "None"},
};

static const char* const WindowKeys[] = {"window/left", "window/top", "window/width", "window/height",
                                         "window/spliter_top", "window/spliter_left"};

static Box ClientBoxOf(HWND window, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, (POINT*)&rect, 2);
    return Box{rect.left, rect.top, rect.right, rect.bottom};
}

// What a list keeps in sight at least, either way.
const int VisibleListSize = 50;

// The window as the start loads it: not shown yet.
class StoredSettingsTest : public MainWindowTest {
protected:
    void SetUp() override { Open("Tessaron.exe h"); }
    // What the start does with config.ini: load it, then lay the window out.
    void Load(const SettingsValues& values) {
        while (!main->ports.rows.empty()) RemovePortRow(&main->ports, 0);
        IniProfile settings(SettingsText(values));
        MemoryStorage storage;
        LoadState(&main->catalogue, &settings, &storage, &main->state, &main->flags);
        LayOutWindow(main);
    }
    // What Exit would write.
    IniProfile Saved() {
        IniProfile saved("");
        MemoryStorage storage;
        SaveState(&main->catalogue, &saved, &storage, &main->state, &main->flags);
        return saved;
    }
    Box WorkArea() {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
        return Box{monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom};
    }
    // No larger than the work area and mostly on it; the three lists in
    // sight in the client area.
    void ExpectUsable() {
        RECT rect;
        GetWindowRect(window, &rect);
        Box work = WorkArea();
        EXPECT_LE(rect.right - rect.left, Width(work));
        EXPECT_LE(rect.bottom - rect.top, Height(work));
        RECT workRect = {work.left, work.top, work.right, work.bottom}, seen;
        IntersectRect(&seen, &rect, &workRect);
        EXPECT_GE(seen.right - seen.left, MinimumWindowSize / 2) << rect.left << "," << rect.top;
        EXPECT_GE(seen.bottom - seen.top, MinimumWindowSize / 2) << rect.left << "," << rect.top;
        RECT client;
        GetClientRect(window, &client);
        const HWND lists[] = {CategoryList(), PortList(), ShownServerList()};
        for (HWND list : lists) {
            Box box = ClientBoxOf(window, list);
            RECT listRect = {box.left, box.top, box.right, box.bottom}, shown;
            IntersectRect(&shown, &listRect, &client);
            EXPECT_GE(shown.right - shown.left, VisibleListSize) << "list " << GetDlgCtrlID(list);
            EXPECT_GE(shown.bottom - shown.top, VisibleListSize) << "list " << GetDlgCtrlID(list);
        }
    }
};

// Each key of a sound file in turn given a value no save writes: the window
// still fits the screen, shows its three lists, and saves them so.
TEST_F(StoredSettingsTest, DamagedValuesStillGiveAUsableWindow) {
    const char* const keys[] = {"window/left",        "window/top",          "window/width",     "window/height",
                                "window/spliter_top", "window/spliter_left", "main/ports_count", "main/autorun",
                                "network/acceptfromlocalcomputer"};
    const char* const values[] = {"-50", "999999", "100000", "2147483647", "-2147483648", "99999999999",
                                  "-99999999999", "abc", "-1", ""};
    for (const char* key : keys) {
        for (const char* value : values) {
            SCOPED_TRACE(std::string(key) + "=" + value);
            SettingsValues damaged = SoundSettings;
            damaged[key] = value;
            Load(damaged);
            ExpectUsable();
            EXPECT_LE((int)main->ports.rows.size(), MappedPortLimit);
            IniProfile saved = Saved();
            EXPECT_EQ(saved.ReadInt("window", "spliter_top", 0), main->state.SplitterTop());
            EXPECT_EQ(saved.ReadInt("window", "spliter_left", 0), main->state.SplitterLeft());
        }
    }
}

// The same with every key damaged at once.
TEST_F(StoredSettingsTest, AllValuesDamagedAtOnce) {
    const char* const values[] = {"-50", "999999", "2147483647", "-2147483648", "abc"};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        SettingsValues damaged = SoundSettings;
        for (const char* key : WindowKeys) damaged[key] = value;
        damaged["main/ports_count"] = value;
        Load(damaged);
        ExpectUsable();
    }
}

// A window on a monitor since unplugged: wholly off the screen.
TEST_F(StoredSettingsTest, RectangleOffEveryMonitorOpensOnTheWorkArea) {
    Box work = WorkArea();
    struct Case {
        int left;
        int top;
    };
    const Case cases[] = {{work.right + 100, 20}, {-2000, 20}, {10, work.bottom + 10}, {-5000, -5000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
        SettingsValues stored = SoundSettings;
        stored["window/left"] = std::to_string(c.left);
        stored["window/top"] = std::to_string(c.top);
        Load(stored);
        RECT rect;
        GetWindowRect(window, &rect);
        EXPECT_GE(rect.left, work.left);
        EXPECT_GE(rect.top, work.top);
        EXPECT_LE(rect.right, work.right);
        EXPECT_LE(rect.bottom, work.bottom);
        EXPECT_EQ(rect.right - rect.left, 700);
        EXPECT_EQ(rect.bottom - rect.top, 550);
    }
}

// A file the manager wrote loads and saves unchanged: the defaults, a
// window partly off the screen, and bars at the far ends of their drags.
TEST_F(StoredSettingsTest, SoundValuesLoadAndSaveUnchanged) {
    SettingsValues farBars = SoundSettings;
    {
        Load(SoundSettings);
        RECT rect, client = {0, 0, 0, 0};
        GetWindowRect(window, &rect);
        ClientToScreen(window, (POINT*)&client);
        Box horizontal = HorizontalDragArea(Box{rect.left, rect.top, rect.right, rect.bottom});
        Box vertical = VerticalDragArea(Box{rect.left, rect.top, rect.right, rect.bottom});
        farBars["window/spliter_top"] = std::to_string(horizontal.bottom - 1 - client.top);
        farBars["window/spliter_left"] = std::to_string(vertical.right - 1 - client.left);
    }
    SettingsValues nearBars = farBars;
    nearBars["window/left"] = "-250";
    nearBars["window/spliter_top"] = "150";
    nearBars["window/spliter_left"] = "180";
    for (const SettingsValues& stored : {SoundSettings, farBars, nearBars}) {
        Load(stored);
        IniProfile saved = Saved();
        for (const char* key : WindowKeys) {
            std::string name = std::string(key).substr(7);
            char text[32] = "";
            saved.ReadText("window", name.c_str(), "", text, sizeof text);
            EXPECT_EQ(text, stored.at(key)) << key;
        }
    }
}

// The vertical bar dragged far right, then the window made narrower: the
// bar comes back so that the lists right of it stay in sight.
TEST_F(StoredSettingsTest, NarrowerWindowBringsTheBarsBack) {
    Load(SoundSettings);
    RECT rect;
    GetWindowRect(window, &rect);
    main->splitterDrag = DraggingVertical;
    SetCursorPos(rect.right - DragMarginFar - 1, (rect.top + rect.bottom) / 2);
    SendMessageA(window, WM_TIMER, 0, 0);
    ASSERT_EQ(main->splitterDrag, SplitterIdle);
    SetWindowPos(window, nullptr, 0, 0, MinimumWindowSize, MinimumWindowSize, SWP_NOMOVE | SWP_NOZORDER);
    ExpectUsable();
    Load(SoundSettings);
    main->splitterDrag = DraggingHorizontal;
    SetCursorPos((rect.left + rect.right) / 2, rect.bottom - DragMarginFar - 1);
    SendMessageA(window, WM_TIMER, 0, 0);
    SetWindowPos(window, nullptr, 0, 0, MinimumWindowSize, MinimumWindowSize, SWP_NOMOVE | SWP_NOZORDER);
    ExpectUsable();
}
