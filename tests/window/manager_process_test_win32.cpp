// The real Tessaron.exe with the real TessaronRelay.exe, in a documents
// folder of the test's own: the manager's lists and dialogs are read and
// driven from this process through their window messages, and its relays
// carry traffic between this process's clients and upstream servers, all on
// 127.0.0.1.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "tests/support/fake_proxy.h"
#include "tests/support/loopback_sockets.h"
#include "tests/support/private_documents.h"
#include "tests/support/programs.h"
#include "tests/support/web_service.h"

static const char* const ManagerWindowTitle = "Tessaron 1.05";
static const char* const RelayMessageCaption = "Tessaron 1.0";
static const DWORD WindowWaitMs = 30000;
static const DWORD StatusWaitMs = 3000;   // the monitor's second, and a relay's start
static const DWORD ListenWaitMs = 5000;   // a relay launched until it listens
static const DWORD ExitWaitMs = 10000;
static const DWORD ManyRelaysWaitMs = 15000;  // sixteen relays launched at once on a slow machine
// A dialog or message box until its window is gone: wine without a window
// manager waits up to 2 s for a closed window to be unmapped.
static const DWORD WindowCloseWaitMs = 6000;
static const int DragAttempts = 3;

static bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (condition()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
    }
}

static bool RelayRuns(const std::string& port) {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, ("Local\\Tessaron10_Port" + port + "_Event").c_str());
    if (event == nullptr) return false;
    CloseHandle(event);
    return true;
}

// A list view of another process: its item records live in that process.
class RemoteList {
public:
    RemoteList(HANDLE process, HWND list) : process(process), list(list) {
        memory = (BYTE*)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteList() { VirtualFreeEx(process, memory, 0, MEM_RELEASE); }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    std::string Text(int row, int column) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = (LPSTR)(memory + TextOffset);
        item.cchTextMax = TextSize;
        WriteProcessMemory(process, memory, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)memory);
        char text[TextSize] = "";
        ReadProcessMemory(process, memory + TextOffset, text, sizeof text - 1, nullptr);
        return text;
    }

    int Count() { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }

    // The row whose cell in the column reads the text; -1 when there is none.
    int Find(int column, const std::string& text) {
        for (int row = 0; row < Count(); ++row)
            if (Text(row, column) == text) return row;
        return -1;
    }

    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < Count(); ++row) texts.push_back(Text(row, column));
        return texts;
    }

    void Select(int row) { SetSelected(row, true); }
    void SelectAll() { SetSelected(-1, true); }

    // The row alone, as a click on it selects it.
    void SelectOnly(int row) {
        SetSelected(-1, false);
        SetSelected(row, true);
    }

    bool WaitForText(int row, int column, const char* text, DWORD milliseconds) {
        return WaitUntil([&] { return Text(row, column) == text; }, milliseconds);
    }

private:
    void SetSelected(int row, bool selected) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = selected ? LVIS_SELECTED : 0;
        WriteProcessMemory(process, memory, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)memory);
    }

    static const int TextOffset = 512;
    static const int TextSize = 256;
    HANDLE process;
    HWND list;
    BYTE* memory;
};

// A top-level window of the process with the title (the main window, shown
// or not, or a shown dialog); nullptr when none came within the time.
static HWND WaitForProcessWindow(DWORD processId, const char* title, bool shownOnly, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProcessWindow(processId, title, shownOnly)) != nullptr; }, milliseconds);
    return found;
}

static BOOL CALLBACK FindShownServerList(HWND child, LPARAM argument) {
    if (GetDlgCtrlID(child) == IDC_SERVER_LIST && (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) {
        *(HWND*)argument = child;
        return FALSE;
    }
    return TRUE;
}

// A child's rectangle in its parent's client coordinates.
static RECT ClientRectOf(HWND parent, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, (POINT*)&rect, 2);
    return rect;
}

static bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " to " + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// One request passes up and one answer comes back through a relayed connection.
static void ExpectRoundTrip(SOCKET client, SOCKET upstream, const std::string& tag) {
    ASSERT_TRUE(SendAll(client, "ping " + tag));
    EXPECT_EQ(ReceiveBytes(upstream, 5 + tag.size(), StatusWaitMs), "ping " + tag);
    ASSERT_TRUE(SendAll(upstream, "pong " + tag));
    EXPECT_EQ(ReceiveBytes(client, 5 + tag.size(), StatusWaitMs), "pong " + tag);
}

// A client connection through a mapped port and the relay's connection that
// arrives at the upstream for it.
struct RelayedPair {
    SOCKET client = INVALID_SOCKET;
    SOCKET upstream = INVALID_SOCKET;
    RelayedPair(int port, TestServer* server) {
        client = ConnectTo(port);
        if (client != INVALID_SOCKET) upstream = server->Accept(StatusWaitMs);
    }
    RelayedPair(const RelayedPair&) = delete;
    RelayedPair& operator=(const RelayedPair&) = delete;
    ~RelayedPair() {
        if (client != INVALID_SOCKET) closesocket(client);
        if (upstream != INVALID_SOCKET) closesocket(upstream);
    }
    bool Up() const { return client != INVALID_SOCKET && upstream != INVALID_SOCKET; }
};

// The four texts of a mapped port as config.ini stores them.
struct StoredPort {
    std::string name;
    std::string port;
    std::string status;  // "1" or "0"
    std::string server;
};

class ManagerProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA winsock;
        WSAStartup(MAKEWORD(2, 2), &winsock);
    }

    void SetUp() override { ASSERT_TRUE(documents.Redirect("tessaron-manager", true)); }

    void TearDown() override {
        EndManager();
        // Relays end within half a second of their manager; none may outlive
        // the test and hold the shared table for the next manager.
        WaitUntil(
            [&] {
                for (const std::string& port : usedPorts)
                    if (RelayRuns(port)) return false;
                return true;
            },
            ExitWaitMs);
        // The manager writes its start-at-logon value: the prefix gets back what it had.
        autorun.Restore();
        // Give an ending relay time to let go of its files, then clean up.
        Sleep(500);
        documents.Restore();
    }

    std::string Settings() { return documents.Settings(); }
    std::string Catalogue() { return documents.Catalogue(); }

    // A port number on which nothing listens, new to this test.
    std::string NewPort() {
        std::string port;
        do port = std::to_string(UnusedPort());
        while (!usedPorts.insert(port).second);
        return port;
    }

    // The mapped ports and user categories of config.ini; no start-at-logon value.
    void WriteSettings(const std::vector<StoredPort>& ports, const std::vector<std::string>& categories = {}) {
        std::string path = Settings();
        const char* file = path.c_str();
        WritePrivateProfileStringA("main", "autorun", "0", file);
        WritePrivateProfileStringA("main", "ports_count", std::to_string(ports.size()).c_str(), file);
        for (size_t i = 0; i < ports.size(); ++i) {
            std::string section = "port" + std::to_string(i);
            WritePrivateProfileStringA(section.c_str(), "name", ports[i].name.c_str(), file);
            WritePrivateProfileStringA(section.c_str(), "port", ports[i].port.c_str(), file);
            WritePrivateProfileStringA(section.c_str(), "status", ports[i].status.c_str(), file);
            WritePrivateProfileStringA(section.c_str(), "server", ports[i].server.c_str(), file);
        }
        for (size_t i = 0; i < categories.size(); ++i)
            WritePrivateProfileStringA("categories", ("cat" + std::to_string(i)).c_str(), categories[i].c_str(), file);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    }

    // One stopped port on the number; no start-at-logon value.
    void WriteSettings(const std::string& port) { WriteSettings({{"Test", port, "0", "None"}}); }

    // proxylist.dat, one "address;type;status;delay;lastcheck;slot" a line.
    void WriteCatalogue(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        HANDLE file = CreateFileA(Catalogue().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
        CloseHandle(file);
    }

    std::string StoredText(const char* section, const char* key) {
        char text[256] = "";
        GetPrivateProfileStringA(section, key, "", text, sizeof text, Settings().c_str());
        return text;
    }

    bool Start(PROCESS_INFORMATION* process, const char* arguments = "") {
        return StartProgram("Tessaron.exe", arguments, process);
    }

    // A manager started hidden has its window too.
    HWND WaitForWindow() { return WaitForProcessWindow(manager.dwProcessId, ManagerWindowTitle, false, WindowWaitMs); }

    // Starts the manager and waits for its window and its first port row.
    void Launch(const char* arguments = "") {
        EndManager();
        ASSERT_TRUE(Start(&manager, arguments));
        window = WaitForWindow();
        ASSERT_NE(window, nullptr) << "no manager window";
        ports.reset(new RemoteList(manager.hProcess, GetDlgItem(window, IDC_PORT_LIST)));
        categories.reset(new RemoteList(manager.hProcess, GetDlgItem(window, IDC_CATEGORY_LIST)));
        ASSERT_TRUE(WaitUntil([&] { return ports->Count() > 0; }, StatusWaitMs)) << "no port rows";
    }

    // "Exit" from the File menu: the manager saves and ends with code 0.
    void ExitManager() {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        ASSERT_EQ(WaitForSingleObject(manager.hProcess, ExitWaitMs), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(manager.hProcess, &code);
        EXPECT_EQ(code, 0u);
        EndManager();
    }

    void EndManager() {
        ports.reset();
        categories.reset();
        if (manager.hProcess == nullptr) return;
        if (WaitForSingleObject(manager.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(manager.hProcess, 1);
        WaitForSingleObject(manager.hProcess, 5000);
        CloseHandle(manager.hProcess);
        CloseHandle(manager.hThread);
        manager = PROCESS_INFORMATION{};
    }

    void Command(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    // Runs a command that opens a modal dialog, fills the dialog's boxes and
    // presses OK; true when the dialog came and went.
    bool RunDialog(int command, const char* title, const std::vector<std::pair<int, std::string>>& boxes,
                   std::vector<std::pair<int, std::string>>* shown = nullptr) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        HWND dialog = WaitForProcessWindow(manager.dwProcessId, title, true, StatusWaitMs);
        if (dialog == nullptr) return false;
        for (const auto& box : boxes) {
            if (shown != nullptr) {
                char text[256] = "";
                GetDlgItemTextA(dialog, box.first, text, sizeof text);
                shown->push_back({box.first, text});
            }
            SetDlgItemTextA(dialog, box.first, box.second.c_str());
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(dialog, IDOK));
        return WaitUntil([&] { return !IsWindow(dialog); }, WindowCloseWaitMs);
    }

    HWND ShownServerList() {
        HWND found = nullptr;
        EnumChildWindows(window, FindShownServerList, (LPARAM)&found);
        return found;
    }

    RECT ChildRect(int id) { return ClientRectOf(window, GetDlgItem(window, id)); }

    // Drags a splitter bar the way the window follows a drag: the button goes
    // down on the bar, the bar follows the cursor (the horizontal bar to its
    // y, the vertical one to its x), and the drag ends at the timer tick that
    // finds the button up, here the next one. The window can still see the
    // cursor where an earlier move left it: the drags of both bars use one
    // point, and a drag that went astray is made again.
    bool DragSplitter(int barId, POINT to) {
        bool horizontal = barId == IDC_SPLITTER_TOP;
        for (int attempt = 0; attempt < DragAttempts; ++attempt) {
            RECT bar = ChildRect(barId);
            RECT other = ChildRect(horizontal ? IDC_SPLITTER_LEFT : IDC_SPLITTER_TOP);
            POINT grip = horizontal ? POINT{other.right + 40, bar.top + 3} : POINT{bar.left + 2, other.bottom + 40};
            POINT cursor = to;
            ClientToScreen(window, &cursor);
            SetCursorPos(cursor.x, cursor.y);
            PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grip.x, grip.y));
            if (WaitUntil(
                    [&] {
                        RECT now = ChildRect(barId);
                        return horizontal ? now.top == to.y : now.left == to.x;
                    },
                    StatusWaitMs))
                return true;
        }
        return false;
    }

    PrivateDocuments documents;
    SavedUserValue autorun{UserRunKey, "Tessaron"};
    std::set<std::string> usedPorts;
    PROCESS_INFORMATION manager = {};
    HWND window = nullptr;
    std::unique_ptr<RemoteList> ports;
    std::unique_ptr<RemoteList> categories;
};

enum PortColumn { NameColumn, NumberColumn, StatusColumn, ServerColumn };
enum ServerColumnIndex { AddressColumn, TypeColumn, ServerStatusColumn, DelayColumn, LastCheckColumn };

// ---- start-up, single instance, hidden start ----

TEST_F(ManagerProcessTest, EnabledPortShowsEnabledWithinASecondAndExitSavesIt) {
    std::string port = NewPort();
    WriteSettings(port);
    Launch();
    ASSERT_TRUE(ports->WaitForText(0, NameColumn, "Test", StatusWaitMs));
    EXPECT_EQ(ports->Text(0, NumberColumn), port);
    EXPECT_EQ(ports->Text(0, StatusColumn), "Disabled");

    // A second manager finds the first and leaves at once.
    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(Start(&second));
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 10000), WAIT_OBJECT_0);
    DWORD secondCode = 1;
    GetExitCodeProcess(second.hProcess, &secondCode);
    EXPECT_EQ(secondCode, 0u);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);

    ports->Select(0);
    Command(IDM_ENABLE_PORT);
    EXPECT_TRUE(ports->WaitForText(0, StatusColumn, "Enabled", StatusWaitMs));
    EXPECT_TRUE(RelayRuns(port));

    ExitManager();
    EXPECT_EQ(GetPrivateProfileIntA("port0", "status", -1, Settings().c_str()), 1);
    // The relay notices that its manager is gone.
    EXPECT_TRUE(WaitUntil([&] { return !RelayRuns(port); }, StatusWaitMs));
}

TEST_F(ManagerProcessTest, StartedWithHStaysHiddenUntilShowManager) {
    WriteSettings(NewPort());
    Launch(" h");
    ASSERT_TRUE(ports->WaitForText(0, NameColumn, "Test", StatusWaitMs));
    Sleep(1500);  // the modal loop has gone idle more than once
    EXPECT_FALSE(IsWindowVisible(window));
    Command(IDM_SHOW_MANAGER);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(ManagerProcessTest, FirstStartWithoutSettingsShowsTheDefaultPortAndWritesTheDefaults) {
    Launch();
    ASSERT_EQ(ports->Count(), 1);
    EXPECT_EQ(ports->Text(0, NameColumn), "Default");
    EXPECT_EQ(ports->Text(0, NumberColumn), "9800");
    EXPECT_EQ(ports->Text(0, StatusColumn), "Disabled");
    EXPECT_EQ(ports->Text(0, ServerColumn), "None");
    EXPECT_FALSE(RelayRuns("9800"));

    EXPECT_EQ(StoredText("main", "ports_count"), "1");
    EXPECT_EQ(StoredText("port0", "name"), "Default");
    EXPECT_EQ(StoredText("port0", "port"), "9800");
    EXPECT_EQ(StoredText("port0", "status"), "0");
    EXPECT_EQ(StoredText("port0", "server"), "None");
    // autorun defaults to on: the manager's own path, quoted, started hidden.
    char command[MAX_PATH * 2] = "";
    DWORD size = sizeof command;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, UserRunKey, "Tessaron", RRF_RT_REG_SZ, nullptr, command, &size),
              ERROR_SUCCESS);
    std::string expected = "\"" + ProgramFolder() + "Tessaron.exe\" h";
    EXPECT_EQ(_stricmp(command, expected.c_str()), 0) << command;
}

// ---- relayed traffic and server switches ----

TEST_F(ManagerProcessTest, EnabledPortRelaysAndASwitchMovesOnlyTheNextConnections) {
    TestServer first, second;
    std::string port = NewPort();
    WriteSettings({{"Web", port, "0", first.Address()}});
    WriteCatalogue({first.Address() + ";0;0;;;16", second.Address() + ";0;0;;;16"});
    Launch();

    ports->SelectOnly(0);
    Command(IDM_ENABLE_PORT);
    ASSERT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs)) << "the relay does not listen";
    RelayedPair old(std::stoi(port), &first);
    ASSERT_TRUE(old.Up()) << "no connection reached the first upstream";
    ExpectRoundTrip(old.client, old.upstream, "first");

    RemoteList servers(manager.hProcess, ShownServerList());
    int row = servers.Find(AddressColumn, second.Address());
    ASSERT_GE(row, 0) << "the second server is not listed";
    servers.SelectOnly(row);
    Command(IDM_SWITCH_SERVER);
    EXPECT_EQ(ports->Text(0, ServerColumn), second.Address());
    Sleep(500);  // the relay re-reads its entry when its event is set

    RelayedPair next(std::stoi(port), &second);
    ASSERT_TRUE(next.Up()) << "the next connection did not reach the new upstream";
    EXPECT_EQ(first.Accept(0), INVALID_SOCKET);
    ExpectRoundTrip(next.client, next.upstream, "second");
    // The connection opened before the switch still talks to the old upstream.
    ExpectRoundTrip(old.client, old.upstream, "still first");
}

// ---- stopping and moving relays ----

TEST_F(ManagerProcessTest, DisableAndRemoveEndTheRelayOfARunningPort) {
    struct Case {
        const char* command;
        int id;
        int row;
        int rowsAfter;
    };
    const Case cases[] = {
        {"Disable Port", IDM_DISABLE_PORT, 0, 2},
        {"Remove", IDM_REMOVE_PORT, 1, 1},
    };
    std::string numbers[] = {NewPort(), NewPort()};
    WriteSettings({{"Off", numbers[0], "1", "None"}, {"Gone", numbers[1], "1", "None"}});
    Launch();
    for (const std::string& number : numbers)
        ASSERT_TRUE(WaitForListening(std::stoi(number), ListenWaitMs)) << "port " << number << " has no relay";
    for (int row = 0; row < 2; ++row) ASSERT_TRUE(ports->WaitForText(row, StatusColumn, "Enabled", StatusWaitMs));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string& number = numbers[c.row];
        ports->SelectOnly(c.row);
        Command(c.id);
        EXPECT_TRUE(WaitUntil([&] { return !RelayRuns(number); }, StatusWaitMs)) << "the relay still runs";
        EXPECT_TRUE(WaitUntil([&] { return !IsListening(std::stoi(number)); }, StatusWaitMs));
        EXPECT_EQ(ports->Count(), c.rowsAfter);
    }
    // The disabled port stays listed, stopped.
    EXPECT_EQ(ports->Text(0, NameColumn), "Off");
    EXPECT_TRUE(ports->WaitForText(0, StatusColumn, "Disabled", StatusWaitMs));
}

TEST_F(ManagerProcessTest, EditingTheNumberOfARunningPortMovesItsRelayAndANewNameLeavesItAlone) {
    TestServer upstream;
    std::string before = NewPort(), after = NewPort();
    WriteSettings({{"Moving", before, "1", upstream.Address()}});
    Launch();
    ASSERT_TRUE(WaitForListening(std::stoi(before), ListenWaitMs)) << "the relay does not listen";
    ASSERT_TRUE(ports->WaitForText(0, StatusColumn, "Enabled", StatusWaitMs));

    ports->SelectOnly(0);
    std::vector<std::pair<int, std::string>> shown;
    ASSERT_TRUE(RunDialog(IDM_EDIT_PORT, "Edit Mapped Port", {{IDC_PORT_NAME, "Moving"}, {IDC_PORT_NUMBER, after}},
                          &shown));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].second, "Moving");  // the dialog shows the row
    EXPECT_EQ(shown[1].second, before);
    EXPECT_EQ(ports->Text(0, NumberColumn), after);

    EXPECT_TRUE(WaitUntil([&] { return !RelayRuns(before); }, StatusWaitMs)) << "the old relay still runs";
    EXPECT_TRUE(WaitUntil([&] { return !IsListening(std::stoi(before)); }, StatusWaitMs));
    SOCKET refused = ConnectTo(std::stoi(before));
    EXPECT_EQ(refused, INVALID_SOCKET) << "the old port still accepts";
    if (refused != INVALID_SOCKET) closesocket(refused);

    ASSERT_TRUE(WaitForListening(std::stoi(after), ListenWaitMs)) << "no relay on the new number";
    EXPECT_TRUE(ports->WaitForText(0, StatusColumn, "Enabled", StatusWaitMs));
    RelayedPair moved(std::stoi(after), &upstream);
    ASSERT_TRUE(moved.Up()) << "the new port does not relay";
    ExpectRoundTrip(moved.client, moved.upstream, "moved");

    // Only the name: the relay, and the connection it carries, stay.
    ASSERT_TRUE(RunDialog(IDM_EDIT_PORT, "Edit Mapped Port", {{IDC_PORT_NAME, "Renamed"}, {IDC_PORT_NUMBER, after}}));
    EXPECT_EQ(ports->Text(0, NameColumn), "Renamed");
    Sleep(500);  // a relay told to end would be gone by now
    EXPECT_TRUE(RelayRuns(after));
    ExpectRoundTrip(moved.client, moved.upstream, "renamed");
}

// ---- the limits of the shared table and of the port itself ----

TEST_F(ManagerProcessTest, SeventeenthRunningPortStaysDisabled) {
    const int TableEntries = 16;
    std::vector<StoredPort> stored;
    for (int i = 0; i <= TableEntries; ++i) stored.push_back({"P" + std::to_string(i), NewPort(), "1", "None"});
    WriteSettings(stored);
    Launch();
    ASSERT_EQ(ports->Count(), TableEntries + 1);
    const std::string& extra = stored[TableEntries].port;

    EXPECT_TRUE(WaitUntil(
        [&] {
            for (int i = 0; i < TableEntries; ++i)
                if (!RelayRuns(stored[i].port)) return false;
            return true;
        },
        ManyRelaysWaitMs))
        << "not all sixteen relays run";
    for (int i = 0; i < TableEntries; ++i) {
        EXPECT_TRUE(ports->WaitForText(i, StatusColumn, "Enabled", StatusWaitMs)) << "row " << i;
        EXPECT_TRUE(WaitForListening(std::stoi(stored[i].port), ListenWaitMs)) << "row " << i;
    }
    EXPECT_FALSE(RelayRuns(extra));
    EXPECT_EQ(ports->Text(TableEntries, StatusColumn), "Disabled");

    // Enabling it by hand with sixteen relays running does nothing either.
    ports->SelectOnly(TableEntries);
    Command(IDM_ENABLE_PORT);
    Sleep(StatusWaitMs);
    EXPECT_FALSE(RelayRuns(extra));
    EXPECT_EQ(ports->Text(TableEntries, StatusColumn), "Disabled");
    for (int i = 0; i < TableEntries; ++i) EXPECT_TRUE(RelayRuns(stored[i].port)) << "row " << i;
}

static BOOL CALLBACK CollectText(HWND child, LPARAM parameter) {
    char text[512];
    if (GetWindowTextA(child, text, sizeof text) > 0) *(std::string*)parameter += std::string(text) + "\n";
    return TRUE;
}

static HWND WaitForRelayMessage(DWORD milliseconds) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = FindWindowA(nullptr, RelayMessageCaption);
            return box != nullptr;
        },
        milliseconds);
    return box;
}

TEST_F(ManagerProcessTest, RelayThatCannotBindShowsItsMessageAndThePortTurnsDisabledOnceItIsDismissed) {
    std::string port = NewPort();
    // Another program holds the port on all interfaces.
    SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_port = htons((u_short)std::stoi(port));
    ASSERT_EQ(bind(holder, (sockaddr*)&any, sizeof any), 0);
    listen(holder, 1);
    WriteSettings(port);
    Launch();

    ports->SelectOnly(0);
    Command(IDM_ENABLE_PORT);
    HWND box = WaitForRelayMessage(ListenWaitMs);
    ASSERT_NE(box, nullptr) << "no message box";
    DWORD owner = 0;
    GetWindowThreadProcessId(box, &owner);
    EXPECT_NE(owner, manager.dwProcessId);  // the relay's, not the manager's
    std::string texts;
    EnumChildWindows(box, CollectText, (LPARAM)&texts);
    EXPECT_NE(texts.find("Can't bind to port " + port + ". Another application uses this port."), std::string::npos)
        << texts;
    // While the message is shown the relay exists, and the manager shows it so.
    EXPECT_TRUE(ports->WaitForText(0, StatusColumn, "Enabled", StatusWaitMs));

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, WindowCloseWaitMs));
    EXPECT_TRUE(ports->WaitForText(0, StatusColumn, "Disabled", StatusWaitMs));
    EXPECT_FALSE(RelayRuns(port));

    // Once the port is free, enabling it again starts a relay that listens.
    closesocket(holder);
    Command(IDM_ENABLE_PORT);
    EXPECT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs)) << "no relay after the port came free";
    EXPECT_TRUE(ports->WaitForText(0, StatusColumn, "Enabled", StatusWaitMs));
}

struct OtherWindowSearch {
    DWORD processId;
    HWND except;
    std::vector<std::string> titles;
};

static BOOL CALLBACK CollectOtherShownWindow(HWND window, LPARAM argument) {
    OtherWindowSearch* search = (OtherWindowSearch*)argument;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || window == search->except || !IsWindowVisible(window)) return TRUE;
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    search->titles.push_back(title);
    return TRUE;
}

// The titles of the process's shown top-level windows besides the one given.
static std::vector<std::string> OtherShownWindows(DWORD processId, HWND except) {
    OtherWindowSearch search = {processId, except, {}};
    EnumWindows(CollectOtherShownWindow, (LPARAM)&search);
    return search.titles;
}

TEST_F(ManagerProcessTest, RelayProgramThatCannotBeLaunchedShowsNoMessageAndItsPortsStayDisabled) {
    struct Case {
        const char* name;
        const char* relayFile;  // what lies where the relay program belongs; null: nothing
    };
    const Case cases[] = {
        {"missing", nullptr},
        {"damaged", "not a program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A copy of the manager in a folder of its own.
        std::string folder = documents.Path() + "\\" + c.name;
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        std::string program = folder + "\\Tessaron.exe";
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "Tessaron.exe").c_str(), program.c_str(), FALSE));
        if (c.relayFile != nullptr) {
            HANDLE file = CreateFileA((folder + "\\TessaronRelay.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            DWORD written = 0;
            WriteFile(file, c.relayFile, (DWORD)std::strlen(c.relayFile), &written, nullptr);
            CloseHandle(file);
        }
        std::string numbers[] = {NewPort(), NewPort()};
        WriteSettings({{"One", numbers[0], "1", "None"}, {"Two", numbers[1], "1", "None"}});
        EndManager();
        ASSERT_TRUE(StartProgramFile(program, "", &manager));

        // A message per failed launch would come before the window shows.
        std::vector<std::string> others;
        WaitUntil(
            [&] {
                window = FindProcessWindow(manager.dwProcessId, ManagerWindowTitle, true);
                others = OtherShownWindows(manager.dwProcessId, window);
                // The main window may show between the two looks.
                if (window == nullptr && !others.empty()) {
                    window = FindProcessWindow(manager.dwProcessId, ManagerWindowTitle, true);
                    others = OtherShownWindows(manager.dwProcessId, window);
                }
                return window != nullptr || !others.empty();
            },
            WindowWaitMs);
        EXPECT_EQ(others, std::vector<std::string>{}) << "the manager showed a message";
        if (window == nullptr) {
            ADD_FAILURE() << "the main window did not show";
            EndManager();
            continue;
        }
        ports.reset(new RemoteList(manager.hProcess, GetDlgItem(window, IDC_PORT_LIST)));
        ASSERT_EQ(ports->Count(), 2);
        for (int row = 0; row < 2; ++row) EXPECT_TRUE(ports->WaitForText(row, StatusColumn, "Disabled", StatusWaitMs));

        // Enabling by hand shows nothing either.
        ports->SelectOnly(0);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_ENABLE_PORT, 0), 0);
        Sleep(StatusWaitMs);
        EXPECT_EQ(OtherShownWindows(manager.dwProcessId, window), std::vector<std::string>{});
        EXPECT_EQ(ports->Text(0, StatusColumn), "Disabled");
        for (const std::string& number : numbers) EXPECT_FALSE(RelayRuns(number));
        EndManager();
    }
}

// ---- Exit saves, the next start restores ----

static std::string FileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// config.ini held by another program while the manager starts: the user's
// ports are not overwritten by the first-run defaults, and at Exit, once
// free, it is kept beside the new one, and so is the catalogue, whose user
// categories' servers are saved only under the names config.ini holds.
TEST_F(ManagerProcessTest, SettingsHeldAtStartAreNeitherSeededNorLostAtExit) {
    WriteSettings({{"Mine", NewPort(), "0", "None"}}, {"Work(1)"});
    WriteCatalogue({"127.0.0.5:3128;0;0;;;0", "127.0.0.6:8080;0;0;;;16"});
    const std::string settings = FileBytes(Settings()), catalogue = FileBytes(Catalogue());
    HANDLE held = CreateFileA(Settings().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(Start(&manager));
    window = WaitForWindow();
    DWORD_PTR result = 0;
    bool started = window != nullptr &&  // answers once its start is done
                   SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, WindowWaitMs, &result) != 0;
    CloseHandle(held);
    ASSERT_TRUE(started) << "no manager window";
    EXPECT_EQ(FileBytes(Settings()), settings) << "the first-run defaults went into the held file";
    ExitManager();
    EXPECT_EQ(FileBytes(Settings() + ".unread"), settings);
    EXPECT_EQ(FileBytes(Catalogue() + ".unread"), catalogue);
}

TEST_F(ManagerProcessTest, ExitSavesAndTheNextStartRestoresCatalogueRunningPortsGeometryAndSplitters) {
    TestServer upstream;
    std::string alpha = NewPort(), beta = NewPort();
    const std::string socksServer = "127.0.0.3:1080", deadServer = "127.0.0.4:8080", workServer = "127.0.0.5:3128";
    WriteSettings({{"Alpha", alpha, "1", upstream.Address()}, {"Beta", beta, "0", "None"}}, {"Work(1)"});
    WriteCatalogue({upstream.Address() + ";0;2;120;2024-02-01 12:30;16", socksServer + ";1;0;;;16",
                    deadServer + ";0;1;900;2024-01-31 08:00;18", workServer + ";0;0;;;0"});
    Launch();
    ASSERT_TRUE(WaitForListening(std::stoi(alpha), ListenWaitMs)) << "the stored enabled port was not started";

    // Changes of this run: Beta gets a server and runs; a new category takes
    // the socks server; the window moves and grows; both bars move.
    RemoteList servers(manager.hProcess, ShownServerList());
    int server = servers.Find(AddressColumn, upstream.Address());
    ASSERT_GE(server, 0);
    ports->SelectOnly(1);
    servers.SelectOnly(server);
    Command(IDM_SWITCH_SERVER);
    Command(IDM_ENABLE_PORT);
    ASSERT_TRUE(WaitForListening(std::stoi(beta), ListenWaitMs));
    ASSERT_TRUE(ports->WaitForText(1, StatusColumn, "Enabled", StatusWaitMs));

    ASSERT_TRUE(RunDialog(IDM_ADD_CATEGORY, "Add Category", {{IDC_CATEGORY_NAME, "Fresh"}}));
    int fresh = categories->Find(0, "Fresh(0)");
    ASSERT_GE(fresh, 0) << "the new category is not listed";
    int socks = servers.Find(AddressColumn, socksServer);
    ASSERT_GE(socks, 0);
    servers.SelectOnly(socks);
    Command(IDM_MOVE_FIRST + fresh);
    EXPECT_EQ(servers.Find(AddressColumn, socksServer), -1);

    ASSERT_TRUE(SetWindowPos(window, nullptr, 40, 30, 720, 580, SWP_NOZORDER | SWP_NOACTIVATE));
    const POINT barsTo = {260, 230};
    ASSERT_TRUE(DragSplitter(IDC_SPLITTER_TOP, barsTo))
        << "the horizontal bar did not follow: " << Describe(ChildRect(IDC_SPLITTER_TOP));
    ASSERT_TRUE(DragSplitter(IDC_SPLITTER_LEFT, barsTo))
        << "the vertical bar did not follow: " << Describe(ChildRect(IDC_SPLITTER_LEFT));
    RECT outer;
    GetWindowRect(window, &outer);
    RECT top = ChildRect(IDC_SPLITTER_TOP), left = ChildRect(IDC_SPLITTER_LEFT);
    ExitManager();
    EXPECT_EQ(StoredText("window", "spliter_top"), std::to_string(top.top));
    EXPECT_EQ(StoredText("window", "spliter_left"), std::to_string(left.left));
    ASSERT_TRUE(WaitUntil([&] { return !RelayRuns(alpha) && !RelayRuns(beta); }, StatusWaitMs));

    Launch();
    EXPECT_EQ(categories->Column(0),
              (std::vector<std::string>{"My Proxy Servers(1)", "New(0)", "Dead(1)", "Work(1)", "Fresh(1)"}));
    RemoteList restored(manager.hProcess, ShownServerList());
    ASSERT_EQ(restored.Count(), 1);
    EXPECT_EQ(restored.Text(0, AddressColumn), upstream.Address());
    EXPECT_EQ(restored.Text(0, TypeColumn), "Http");
    EXPECT_EQ(restored.Text(0, ServerStatusColumn), "Alive");
    EXPECT_EQ(restored.Text(0, DelayColumn), "120");
    EXPECT_EQ(restored.Text(0, LastCheckColumn), "2024-02-01 12:30");
    struct Shown {
        const char* category;
        std::string address;
        const char* type;
        const char* status;
    };
    const Shown others[] = {
        {"Dead(1)", deadServer, "Http", "Dead"},
        {"Work(1)", workServer, "Http", "Untested"},
        {"Fresh(1)", socksServer, "Socks", "Untested"},
    };
    for (const Shown& other : others) {
        SCOPED_TRACE(other.category);
        int row = categories->Find(0, other.category);
        ASSERT_GE(row, 0);
        categories->SelectOnly(row);
        RemoteList list(manager.hProcess, ShownServerList());
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Text(0, AddressColumn), other.address);
        EXPECT_EQ(list.Text(0, TypeColumn), other.type);
        EXPECT_EQ(list.Text(0, ServerStatusColumn), other.status);
    }

    ASSERT_EQ(ports->Count(), 2);
    struct Port {
        const char* name;
        std::string number;
    };
    const Port running[] = {{"Alpha", alpha}, {"Beta", beta}};
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(running[row].name);
        EXPECT_EQ(ports->Text(row, NameColumn), running[row].name);
        EXPECT_EQ(ports->Text(row, NumberColumn), running[row].number);
        EXPECT_EQ(ports->Text(row, ServerColumn), upstream.Address());
        EXPECT_TRUE(WaitForListening(std::stoi(running[row].number), ListenWaitMs)) << "not running again";
        EXPECT_TRUE(ports->WaitForText(row, StatusColumn, "Enabled", StatusWaitMs));
        RelayedPair pair(std::stoi(running[row].number), &upstream);
        ASSERT_TRUE(pair.Up());
        ExpectRoundTrip(pair.client, pair.upstream, running[row].name);
    }

    RECT reopened;
    GetWindowRect(window, &reopened);
    EXPECT_TRUE(SameRect(reopened, outer)) << Describe(reopened) << " instead of " << Describe(outer);
    EXPECT_EQ(ChildRect(IDC_SPLITTER_TOP).top, top.top);
    EXPECT_EQ(ChildRect(IDC_SPLITTER_LEFT).left, left.left);
    // The lists are laid out along the restored bars.
    EXPECT_EQ(ChildRect(IDC_PROXY_CAPTION).top, ChildRect(IDC_SPLITTER_TOP).bottom);
    EXPECT_EQ(ClientRectOf(window, GetDlgItem(window, IDC_CATEGORY_LIST)).right, left.left);
}

// ---- Test Server ----

// Every server of the shown category tested: once the dialog is closed the
// live one stays where it was, the dead ones stand in "Dead" after the one
// it held, and Exit saves them so; config.ini's testing keys stay as the
// user wrote them.
TEST_F(ManagerProcessTest, TestServerKeepsTheLiveServerAndSavesTheDeadOnesUnderDead) {
    const std::string probe = "GET http://probe.test/ HTTP/1.1\nHost: probe.test:80\nConnection: close\n\n";
    FakeProxy alive(AnswerReply, "HTTP/1.1 200 OK\r\n\r\n", probe.size());
    FakeProxy denied(AnswerReply, "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", probe.size());
    const std::string refused = "127.0.0.1:" + NewPort();
    WriteSettings(NewPort());
    const char* const testingKeys[][2] = {{"probes", "4"}, {"timeout", "5"}, {"probehost", "probe.test"}};
    for (const auto& key : testingKeys) WritePrivateProfileStringA("testing", key[0], key[1], Settings().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Settings().c_str());
    WriteCatalogue({alive.Address() + ";0;0;;;16", denied.Address() + ";0;2;80;2024-01-01 10:00;16",
                    refused + ";0;0;;;16", "127.0.0.7:8080;1;1;;;17", "127.0.0.8:3128;0;1;;;18"});
    Launch();

    RemoteList servers(manager.hProcess, ShownServerList());
    ASSERT_EQ(servers.Column(AddressColumn), (std::vector<std::string>{alive.Address(), denied.Address(), refused}));
    servers.SelectAll();
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_TEST_SERVER, 0), 0);
    HWND dialog = WaitForProcessWindow(manager.dwProcessId, "Testing Servers", true, StatusWaitMs);
    ASSERT_NE(dialog, nullptr) << "no Testing Servers dialog";
    auto dialogText = [&](int id) {
        char text[256] = "";
        GetDlgItemTextA(dialog, id, text, sizeof text);
        return std::string(text);
    };
    EXPECT_TRUE(WaitUntil([&] { return dialogText(IDC_TESTING_PROGRESS) == "Testing 3 of 3 servers"; }, WindowWaitMs))
        << dialogText(IDC_TESTING_PROGRESS);
    EXPECT_EQ(dialogText(IDC_TESTING_COUNTS), "Alive: 1    Dead: 2");
    EXPECT_EQ(servers.Column(ServerStatusColumn), (std::vector<std::string>{"Alive", "Dead", "Dead"}));
    EXPECT_EQ(alive.Request(), probe) << "the probe host of config.ini was not used";
    const std::string delay = servers.Text(0, DelayColumn), checked = servers.Text(0, LastCheckColumn);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, WindowCloseWaitMs)) << "the dialog did not close";
    EXPECT_EQ(categories->Column(0), (std::vector<std::string>{"My Proxy Servers(1)", "New(1)", "Dead(3)"}));
    ExitManager();

    EXPECT_FALSE(delay.empty());
    EXPECT_FALSE(checked.empty());
    EXPECT_EQ(FileBytes(Catalogue()), alive.Address() + ";0;2;" + delay + ";" + checked + ";16\r\n" +
                                          "127.0.0.7:8080;1;1;;;17\r\n" + "127.0.0.8:3128;0;1;;;18\r\n" +
                                          denied.Address() + ";0;1;;;18\r\n" + refused + ";0;1;;;18\r\n");
    for (const auto& key : testingKeys) EXPECT_EQ(StoredText("testing", key[0]), key[1]) << key[0];
}

// ---- the web service ----

static std::string DialogText(HWND dialog, int id) {
    char text[1024] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// config.ini names the service; at start the manager asks it for a newer
// version and shows its offer; "Download Proxy List" adds its list to "New",
// and Exit saves them.
TEST_F(ManagerProcessTest, TheConfiguredServiceOffersAnUpdateAndItsListIsDownloadedIntoNew) {
    WebService web;
    web.SetReply("/app/version.php?ver=3",
                 WholeReply("TESSARONVERSION\r\n4\r\n-\r\nSee the web site\r\nTessaron 4 is out\r\nFaster lists.\r\nEND\r\n"));
    web.SetReply("/app/proxylist.php",
                 WholeReply("TESSARONLIST\r\n-SOCKS\r\n192.0.2.1:1080\r\n-HTTP\r\n192.0.2.2:3128\r\nEND\r\n"));
    WriteSettings(NewPort());
    WritePrivateProfileStringA("network", "service", web.Host().c_str(), Settings().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Settings().c_str());
    WriteCatalogue({"192.0.2.2:3128;0;2;50;2024-01-01 10:00;17"});
    Launch();

    HWND offerDialog = WaitForProcessWindow(manager.dwProcessId, "Tessaron 4 is out", true, WindowWaitMs);
    ASSERT_NE(offerDialog, nullptr) << "no update offer";
    EXPECT_EQ(DialogText(offerDialog, IDC_OFFER_MESSAGE), "Faster lists.\r\n");
    EXPECT_EQ(DialogText(offerDialog, IDC_OFFER_CAPTION), "See the web site");
    EXPECT_EQ(DialogText(offerDialog, IDCANCEL), "Close");
    PostMessageA(offerDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(offerDialog); }, WindowCloseWaitMs));

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD_LIST, 0), 0);
    HWND dialog = WaitForProcessWindow(manager.dwProcessId, "Downloading Proxy List", true, StatusWaitMs);
    ASSERT_NE(dialog, nullptr) << "no download dialog";
    EXPECT_TRUE(WaitUntil([&] { return DialogText(dialog, IDC_DOWNLOAD_STATE) == "Download Complete"; },
                          WindowWaitMs))
        << DialogText(dialog, IDC_DOWNLOAD_STATE);
    EXPECT_EQ(DialogText(dialog, IDC_DOWNLOAD_FOUND), "New Proxies found: 1");
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, WindowCloseWaitMs));
    EXPECT_EQ(categories->Column(0), (std::vector<std::string>{"My Proxy Servers(0)", "New(2)", "Dead(0)"}));
    ExitManager();

    ASSERT_EQ(web.Requests(), 2);
    EXPECT_EQ(web.RequestLine(0), "GET /app/version.php?ver=3 HTTP/1.1");
    EXPECT_EQ(web.RequestLine(1), "GET /app/proxylist.php HTTP/1.1");
    EXPECT_EQ(FileBytes(Catalogue()), "192.0.2.2:3128;0;2;50;2024-01-01 10:00;17\r\n192.0.2.1:1080;1;0;;;17\r\n");
    EXPECT_EQ(StoredText("network", "service"), web.Host());
}

// Exit from a manager whose download waits on a silent service: it ends at
// once with code 0 and saves as usual.
TEST_F(ManagerProcessTest, ExitDuringADownloadFromASilentServiceEndsAtOnceAndSaves) {
    WebService web;
    web.SetReply("/app/proxylist.php", SilentReply());
    web.SetReply("/app/version.php?ver=3", SilentReply());
    WriteSettings(NewPort());
    WritePrivateProfileStringA("network", "service", web.Host().c_str(), Settings().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Settings().c_str());
    WriteCatalogue({"192.0.2.5:8080;0;0;;;16"});
    Launch();

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DOWNLOAD_LIST, 0), 0);
    HWND dialog = WaitForProcessWindow(manager.dwProcessId, "Downloading Proxy List", true, StatusWaitMs);
    ASSERT_NE(dialog, nullptr) << "no download dialog";
    ASSERT_TRUE(web.WaitForRequests(2, StatusWaitMs)) << "the update check and the download both wait";
    ExitManager();
    EXPECT_EQ(FileBytes(Catalogue()), "192.0.2.5:8080;0;0;;;16\r\n");
}

// ---- tray and preferences ----

// "Exit" from the tray menu ends a manager that was never shown, saving it.
TEST_F(ManagerProcessTest, TrayExitSavesAHiddenManager) {
    WriteSettings(NewPort());
    Launch(" h");
    ASSERT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(StoredText("window", "width"), "");
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_TRAY_EXIT, 0), 0);
    ASSERT_EQ(WaitForSingleObject(manager.hProcess, ExitWaitMs), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(manager.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_NE(StoredText("window", "width"), "") << "nothing was saved";
}

// Logoff or shutdown with the manager in the tray: Windows tells the window
// the session ends and then ends the process; what changed is saved first.
TEST_F(ManagerProcessTest, TheSessionsEndSavesAManagerRunningInTheTray) {
    WriteSettings(NewPort());
    Launch(" h");
    EXPECT_EQ(StoredText("window", "width"), "");
    SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_NE(StoredText("window", "width"), "") << "nothing was saved";
}

// The shared port table's first four bytes: the local-only flag, then 'D', 'F', 0.
static std::string TableHead() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "Local\\Tessaron10_Main_FM");
    if (mapping == nullptr) return "<no table>";
    const char* bytes = (const char*)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4);
    std::string head = bytes != nullptr ? std::string(bytes, 4) : "<no view>";
    if (bytes != nullptr) UnmapViewOfFile(bytes);
    CloseHandle(mapping);
    return head;
}

static bool RunValueExists() {
    return RegGetValueA(HKEY_CURRENT_USER, UserRunKey, "Tessaron", RRF_RT_REG_SZ, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

// A client of another address (127.0.0.2) through the port: served, or
// closed at once.
static bool ServesStranger(int port, TestServer* upstream) {
    SOCKET client = ConnectTo(port, "127.0.0.2");
    SOCKET made = upstream->Accept(StatusWaitMs);
    bool served = false;
    if (client != INVALID_SOCKET && made != INVALID_SOCKET && SendAll(client, "ping")) {
        served = ReceiveBytes(made, 4, StatusWaitMs) == "ping";
    }
    if (client != INVALID_SOCKET) closesocket(client);
    if (made != INVALID_SOCKET) closesocket(made);
    return served;
}

TEST_F(ManagerProcessTest, PreferencesReachRunningRelaysAndTheLogonValueAtOnceAndAreStoredAtExit) {
    TestServer upstream;
    std::string port = NewPort();
    WriteSettings({{"Web", port, "1", upstream.Address()}});
    WritePrivateProfileStringA("main", "autorun", "1", Settings().c_str());
    WritePrivateProfileStringA("network", "acceptfromlocalcomputer", "1", Settings().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Settings().c_str());
    Launch();
    ASSERT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs)) << "the relay does not listen";
    EXPECT_EQ(TableHead(), std::string("\1DF\0", 4));
    EXPECT_TRUE(RunValueExists());
    EXPECT_FALSE(ServesStranger(std::stoi(port), &upstream));

    // Both boxes unticked, OK.
    auto setPreferences = [&](bool localOnly, bool autorun) {
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_PREFERENCES, 0), 0);
        HWND dialog = WaitForProcessWindow(manager.dwProcessId, "Preferences", true, StatusWaitMs);
        if (dialog == nullptr) return false;
        SendDlgItemMessageA(dialog, IDC_PREF_LOCAL_ONLY, BM_SETCHECK, localOnly ? BST_CHECKED : BST_UNCHECKED, 0);
        SendDlgItemMessageA(dialog, IDC_PREF_AUTORUN, BM_SETCHECK, autorun ? BST_CHECKED : BST_UNCHECKED, 0);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return WaitUntil([&] { return !IsWindow(dialog); }, WindowCloseWaitMs);
    };
    ASSERT_TRUE(setPreferences(false, false));
    EXPECT_EQ(TableHead(), std::string("\0DF\0", 4));
    EXPECT_FALSE(RunValueExists()) << "the logon value stayed";
    // The relay has been told; it takes the flag before its next client.
    EXPECT_TRUE(WaitUntil([&] { return ServesStranger(std::stoi(port), &upstream); }, StatusWaitMs))
        << "the running relay still refuses other addresses";

    ASSERT_TRUE(setPreferences(true, false));
    EXPECT_EQ(TableHead(), std::string("\1DF\0", 4));
    EXPECT_TRUE(WaitUntil([&] { return !ServesStranger(std::stoi(port), &upstream); }, StatusWaitMs));
    ExitManager();

    EXPECT_EQ(StoredText("main", "autorun"), "0");
    EXPECT_EQ(StoredText("network", "acceptfromlocalcomputer"), "1");
    EXPECT_FALSE(RunValueExists());
}

// ---- the user's data on every way out ----

// The text of a message box (its static text).
static std::string MessageText(HWND box) {
    char text[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

// Exit while proxylist.dat cannot be replaced: the manager says so and asks;
// Retry tries again, Cancel keeps it running and shown with the session's
// changes, and the next Exit, once the file is free, saves them.
TEST_F(ManagerProcessTest, AFailedSaveAsksAndCancelKeepsTheManagerWithTheSessionsChanges) {
    const std::string old = "127.0.0.5:3128;0;0;;;16";
    struct Case {
        const char* name;
        const char* reason;
        std::function<std::function<void()>()> block;  // returns the release
    };
    const Case cases[] = {
        {"held by another program", "proxylist.dat is in use by another program",
         [&] {
             HANDLE held = CreateFileA(Catalogue().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             EXPECT_NE(held, INVALID_HANDLE_VALUE);
             return std::function<void()>([held] { CloseHandle(held); });
         }},
        {"read-only", "proxylist.dat is read-only",
         [&] {
             std::string path = Catalogue();
             SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
             return std::function<void()>([path] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(NewPort());
        WriteCatalogue({old});
        const std::string settings = FileBytes(Settings());
        Launch();
        ASSERT_TRUE(RunDialog(IDM_ADD_SERVER, "Add Server",
                              {{IDC_SERVER_ADDRESS, "127.0.0.9"}, {IDC_SERVER_PORT, "8080"}}));
        ShowWindow(window, SW_HIDE);  // Exit from the tray, the window hidden
        std::function<void()> release = c.block();

        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_TRAY_EXIT, 0), 0);
        HWND box = WaitForProcessWindow(manager.dwProcessId, "Tessaron", true, StatusWaitMs);
        ASSERT_NE(box, nullptr) << "no message";
        EXPECT_EQ(MessageText(box), "Tessaron could not save its data in " + documents.DataFolder() + ": " + c.reason);
        EXPECT_NE(GetDlgItem(box, IDRETRY), nullptr);
        EXPECT_NE(GetDlgItem(box, IDCANCEL), nullptr);

        // Retry while the file is still blocked: asked again.
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDRETRY, BN_CLICKED), (LPARAM)GetDlgItem(box, IDRETRY));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, WindowCloseWaitMs));
        box = WaitForProcessWindow(manager.dwProcessId, "Tessaron", true, StatusWaitMs);
        ASSERT_NE(box, nullptr) << "Retry did not ask again";
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(box, IDCANCEL));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, WindowCloseWaitMs));
        release();
        EXPECT_EQ(WaitForSingleObject(manager.hProcess, 500), (DWORD)WAIT_TIMEOUT) << "Cancel ended the manager";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, StatusWaitMs)) << "not shown";
        EXPECT_EQ(FileBytes(Catalogue()), old + "\r\n");
        EXPECT_EQ(FileBytes(Settings()), settings);

        ExitManager();
        EXPECT_EQ(FileBytes(Catalogue()), old + "\r\n127.0.0.9:8080;0;0;;;16\r\n");
    }
}

// Retry once the file is free saves and ends the manager.
TEST_F(ManagerProcessTest, RetryAfterTheFileIsFreedSavesAndEnds) {
    WriteSettings(NewPort());
    WriteCatalogue({"127.0.0.5:3128;0;0;;;16"});
    Launch();
    ASSERT_TRUE(RunDialog(IDM_ADD_CATEGORY, "Add Category", {{IDC_CATEGORY_NAME, "Kept"}}));
    HANDLE held = CreateFileA(Settings().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    HWND box = WaitForProcessWindow(manager.dwProcessId, "Tessaron", true, StatusWaitMs);
    CloseHandle(held);
    ASSERT_NE(box, nullptr) << "no message";
    EXPECT_EQ(MessageText(box), "Tessaron could not save its data in " + documents.DataFolder() +
                                    ": config.ini is in use by another program");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDRETRY, BN_CLICKED), (LPARAM)GetDlgItem(box, IDRETRY));
    ASSERT_EQ(WaitForSingleObject(manager.hProcess, ExitWaitMs), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(manager.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EndManager();
    EXPECT_EQ(StoredText("categories", "cat0"), "Kept(0)");
    EXPECT_EQ(FileBytes(Catalogue()), "127.0.0.5:3128;0;0;;;16\r\n");
}

// config.ini deleted or replaced by one that names fewer categories: the
// servers of a slot it does not name come under "Category N" and survive
// Exit; a name with parentheses of its own survives too.
TEST_F(ManagerProcessTest, ServersOfAnUnnamedSlotAndANameWithParenthesesSurviveRestarts) {
    WriteSettings({{"Test", NewPort(), "0", "None"}}, {"EU (fast)"});
    WriteCatalogue({"127.0.0.5:3128;0;0;;;0", "127.0.0.6:8080;1;2;40;2026.12.1 9:5;3"});
    const std::vector<std::string> shown = {"My Proxy Servers(0)", "New(0)", "Dead(0)", "EU (fast)(1)",
                                            "Category 4(1)"};
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        Launch();
        EXPECT_EQ(categories->Column(0), shown);
        int unnamed = categories->Find(0, "Category 4(1)");
        ASSERT_GE(unnamed, 0);
        categories->SelectOnly(unnamed);
        RemoteList list(manager.hProcess, ShownServerList());
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Text(0, AddressColumn), "127.0.0.6:8080");
        EXPECT_EQ(list.Text(0, ServerStatusColumn), "Alive");
        ExitManager();
        EXPECT_EQ(StoredText("categories", "cat0"), "EU (fast)(1)");
        EXPECT_EQ(StoredText("categories", "cat3"), "Category 4(1)");
        EXPECT_EQ(FileBytes(Catalogue()), "127.0.0.5:3128;0;0;;;0\r\n127.0.0.6:8080;1;2;40;2026.12.1 9:5;3\r\n");
    }
}

// ---- values that reach the relays ----

// A number typed with blanks around it names the port's event as the
// relay names it: the port shows Enabled, and Disable ends its relay.
TEST_F(ManagerProcessTest, APortNumberTypedWithBlanksRunsAndStops) {
    TestServer upstream;
    std::string port = NewPort();
    WriteSettings(NewPort());
    Launch();
    ASSERT_TRUE(RunDialog(IDM_ADD_PORT, "Add Mapped Port", {{IDC_PORT_NAME, "Padded"}, {IDC_PORT_NUMBER, " " + port + " "}}));
    int row = ports->Find(NameColumn, "Padded");
    ASSERT_GE(row, 0);
    EXPECT_EQ(ports->Text(row, NumberColumn), port);
    ports->SelectOnly(row);
    Command(IDM_ENABLE_PORT);
    ASSERT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs));
    EXPECT_TRUE(ports->WaitForText(row, StatusColumn, "Enabled", StatusWaitMs));
    Command(IDM_DISABLE_PORT);
    EXPECT_TRUE(WaitUntil([&] { return !RelayRuns(port); }, StatusWaitMs)) << "Disable left the relay running";
    EXPECT_TRUE(ports->WaitForText(row, StatusColumn, "Disabled", StatusWaitMs));
    ExitManager();
    EXPECT_EQ(StoredText("port0", "port"), port);
}

// A stored server longer than the table holds would reach the relay cut (a
// 60-character host with ":3128" as port 31): the port does not start and
// the status bar says why; the others start.
TEST_F(ManagerProcessTest, AStoredServerTooLongForTheTableDoesNotStartItsPort) {
    TestServer upstream;
    std::string longPort = NewPort(), port = NewPort();
    std::string tooLong = std::string(60, 'h') + ":3128";
    WriteSettings({{"Long", longPort, "1", tooLong}, {"Fine", port, "1", upstream.Address()}});
    Launch();
    ASSERT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs));
    // The status bar's window text is its part 0; WM_GETTEXT crosses processes.
    char text[256] = "";
    SendMessageA(GetDlgItem(window, IDC_STATUS_BAR), WM_GETTEXT, sizeof text, (LPARAM)text);
    EXPECT_STREQ(text, "Address too long for a mapped port (63 characters at most)");
    Sleep(StatusWaitMs);
    EXPECT_FALSE(RelayRuns(longPort));
    EXPECT_EQ(ports->Text(0, StatusColumn), "Disabled");
    EXPECT_EQ(ports->Text(0, ServerColumn), tooLong);
}

// Any nonzero acceptfromlocalcomputer is local-only, as Preferences shows
// it: 256, whose low byte is 0, too.
TEST_F(ManagerProcessTest, AcceptLocalOf256ServesOnlyThisComputer) {
    TestServer upstream;
    std::string port = NewPort();
    WriteSettings({{"Web", port, "1", upstream.Address()}});
    WritePrivateProfileStringA("network", "acceptfromlocalcomputer", "256", Settings().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Settings().c_str());
    Launch();
    ASSERT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs));
    EXPECT_EQ(TableHead(), std::string("\1DF\0", 4));
    EXPECT_FALSE(ServesStranger(std::stoi(port), &upstream)) << "a client from 127.0.0.2 was served";
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_PREFERENCES, 0), 0);
    HWND dialog = WaitForProcessWindow(manager.dwProcessId, "Preferences", true, StatusWaitMs);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PREF_LOCAL_ONLY, BM_GETCHECK, 0, 0), BST_CHECKED);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, WindowCloseWaitMs));
    ExitManager();
    EXPECT_EQ(StoredText("network", "acceptfromlocalcomputer"), "256");
}
