// The real Tessaron.exe with the real TessaronRelay.exe, in a documents
// folder of the test's own: the manager's port list is read and driven from
// this process through the list view's messages.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "manager/resources/resource_ids.h"

static const char* const ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
static const char* const ManagerWindowTitle = "Tessaron 1.05";
static const DWORD WindowWaitMs = 30000;
static const DWORD StatusWaitMs = 3000;

static std::string ProgramFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// A TCP port on which nothing listens now.
static int FreePort() {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, (sockaddr*)&address, sizeof address);
    int length = sizeof address;
    getsockname(probe, (sockaddr*)&address, &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

// A list view of another process: its item records live in that process.
class RemoteList {
public:
    RemoteList(HANDLE process, HWND list) : process(process), list(list) {
        memory = (BYTE*)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteList() { VirtualFreeEx(process, memory, 0, MEM_RELEASE); }

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

    void Select(int row) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        WriteProcessMemory(process, memory, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)memory);
    }

    bool WaitForText(int row, int column, const char* text, DWORD milliseconds) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(50)) {
            if (Text(row, column) == text) return true;
        }
        return false;
    }

private:
    static const int TextOffset = 512;
    static const int TextSize = 256;
    HANDLE process;
    HWND list;
    BYTE* memory;
};

struct WindowSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK FindManagerWindow(HWND window, LPARAM argument) {
    WindowSearch* search = (WindowSearch*)argument;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (owner == search->processId && std::string(title) == ManagerWindowTitle) search->found = window;
    return search->found == nullptr;
}

class ManagerProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        documents = std::string(temp) + "tessaron-manager-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(documents.c_str(), nullptr);
        CreateDirectoryA((documents + "\\Tessaron").c_str(), nullptr);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ShellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        DWORD size = sizeof saved;
        hadSaved = RegQueryValueExA(key, "Personal", nullptr, nullptr, (BYTE*)saved, &size) == ERROR_SUCCESS;
        RegSetValueExA(key, "Personal", 0, REG_SZ, (const BYTE*)documents.c_str(), (DWORD)documents.size() + 1);
        RegCloseKey(key);
    }

    void TearDown() override {
        if (manager.hProcess != nullptr) {
            if (WaitForSingleObject(manager.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(manager.hProcess, 1);
            WaitForSingleObject(manager.hProcess, 5000);
            CloseHandle(manager.hProcess);
            CloseHandle(manager.hThread);
        }
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, ShellFoldersKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            if (hadSaved) RegSetValueExA(key, "Personal", 0, REG_EXPAND_SZ, (const BYTE*)saved, (DWORD)strlen(saved) + 1);
            else RegDeleteValueA(key, "Personal");
            RegCloseKey(key);
        }
        // Give an ending relay time to let go of its files, then clean up.
        Sleep(1000);
        DeleteFileA(Settings().c_str());
        DeleteFileA((documents + "\\Tessaron\\proxylist.dat").c_str());
        RemoveDirectoryA((documents + "\\Tessaron").c_str());
        RemoveDirectoryA(documents.c_str());
    }

    std::string Settings() { return documents + "\\Tessaron\\config.ini"; }

    // One stopped port on a free number; no start-at-logon value.
    void WriteSettings(const std::string& port) {
        std::string path = Settings();
        const char* file = path.c_str();
        WritePrivateProfileStringA("main", "autorun", "0", file);
        WritePrivateProfileStringA("main", "ports_count", "1", file);
        WritePrivateProfileStringA("port0", "name", "Test", file);
        WritePrivateProfileStringA("port0", "port", port.c_str(), file);
        WritePrivateProfileStringA("port0", "status", "0", file);
        WritePrivateProfileStringA("port0", "server", "None", file);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
    }

    bool Start(PROCESS_INFORMATION* process, const char* arguments = "") {
        std::string program = ProgramFolder() + "Tessaron.exe";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"" + arguments;
        return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, process) != 0;
    }

    HWND WaitForWindow() {
        WindowSearch search = {manager.dwProcessId, nullptr};
        for (DWORD start = GetTickCount(); GetTickCount() - start < WindowWaitMs && search.found == nullptr;
             Sleep(100))
            EnumWindows(FindManagerWindow, (LPARAM)&search);
        return search.found;
    }

    std::string documents;
    char saved[MAX_PATH] = "";
    bool hadSaved = false;
    PROCESS_INFORMATION manager = {};
};

static bool RelayRuns(const std::string& port) {
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, ("Local\\Tessaron10_Port" + port + "_Event").c_str());
    if (event == nullptr) return false;
    CloseHandle(event);
    return true;
}

TEST_F(ManagerProcessTest, EnabledPortShowsEnabledWithinASecondAndExitSavesIt) {
    std::string port = std::to_string(FreePort());
    WriteSettings(port);
    ASSERT_TRUE(Start(&manager));
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr);
    RemoteList ports(manager.hProcess, GetDlgItem(window, IDC_PORT_LIST));
    ASSERT_TRUE(ports.WaitForText(0, 0, "Test", StatusWaitMs));
    EXPECT_EQ(ports.Text(0, 1), port);
    EXPECT_EQ(ports.Text(0, 2), "Disabled");

    // A second manager finds the first and leaves at once.
    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(Start(&second));
    EXPECT_EQ(WaitForSingleObject(second.hProcess, 10000), WAIT_OBJECT_0);
    DWORD secondCode = 1;
    GetExitCodeProcess(second.hProcess, &secondCode);
    EXPECT_EQ(secondCode, 0u);
    CloseHandle(second.hProcess);
    CloseHandle(second.hThread);

    ports.Select(0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_ENABLE_PORT, 0), 0);
    EXPECT_TRUE(ports.WaitForText(0, 2, "Enabled", StatusWaitMs));
    EXPECT_TRUE(RelayRuns(port));

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    ASSERT_EQ(WaitForSingleObject(manager.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(manager.hProcess, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(GetPrivateProfileIntA("port0", "status", -1, Settings().c_str()), 1);
    // The relay notices that its manager is gone.
    for (DWORD start = GetTickCount(); GetTickCount() - start < StatusWaitMs && RelayRuns(port);) Sleep(50);
    EXPECT_FALSE(RelayRuns(port));
}

TEST_F(ManagerProcessTest, StartedWithHStaysHiddenUntilShowManager) {
    WriteSettings(std::to_string(FreePort()));
    ASSERT_TRUE(Start(&manager, " h"));
    HWND window = WaitForWindow();
    ASSERT_NE(window, nullptr);
    RemoteList ports(manager.hProcess, GetDlgItem(window, IDC_PORT_LIST));
    ASSERT_TRUE(ports.WaitForText(0, 0, "Test", StatusWaitMs));
    Sleep(1500);  // the modal loop has gone idle more than once
    EXPECT_FALSE(IsWindowVisible(window));
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_SHOW_MANAGER, 0), 0);
    EXPECT_TRUE(IsWindowVisible(window));
}
