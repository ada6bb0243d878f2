// The installer that `make package` built, used as a user uses it: installed
// silently into this wine prefix's user profile, the installed manager
// started and ended, and everything removed again by the uninstaller that
// "Apps and features" lists. The user's documents folder points at a folder
// of the test's own meanwhile.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "tests/support/loopback_sockets.h"
#include "tests/support/private_documents.h"
#include "tests/support/programs.h"

static const char* const SetupName = PRODUCT_NAME "-" PRODUCT_VERSION "-setup.exe";
static const char* const ManagerTitle = PRODUCT_NAME " " PRODUCT_VERSION;
static const char* const ManagerClass = "#32770";  // the main window is a dialog
static const char* const ManagerProgram = "Tessaron.exe";
static const char* const RelayProgram = "TessaronRelay.exe";
static const char* const UninstallerProgram = "uninstall.exe";
static const char* const UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" PRODUCT_NAME;
static const char* const AutorunValue = PRODUCT_NAME;
// What the package holds, as make-package staged it.
static const char* const PackageFiles[] = {"Tessaron.exe", "TessaronRelay.exe", "help.chm", "readme.txt"};

static const DWORD SetupWaitMs = 90000;  // a silent setup or uninstall on a slow machine
static const DWORD WindowWaitMs = 30000;
static const DWORD ExitWaitMs = 10000;
static const DWORD ListenWaitMs = 10000;
static const DWORD FileFreeWaitMs = 5000;  // a relay ends within half a second of its manager
static const DWORD NotEnded = 0xFFFFFFFF;

static bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (condition()) return true;
        if (GetTickCount() - start >= milliseconds) return false;
    }
}

static std::string WithBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

static std::string PackagePath(const std::string& name) { return WithBackslashes(PACKAGE_DIR) + "\\" + name; }

// make-package's copy of the files that went into the zip and the installer.
static std::string StagedFile(const std::string& name) { return PackagePath("files\\" + name); }

static std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

static std::string InstallFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\" PRODUCT_NAME; }
static std::string InstalledFile(const char* name) { return InstallFolder() + "\\" + name; }
static std::string StartMenuEntry() { return ShellFolder(CSIDL_PROGRAMS) + "\\" PRODUCT_NAME ".lnk"; }

static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static bool ReadWholeFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[1 << 16];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}

static bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}

static bool KeyExists(HKEY root, const char* key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

// A string value under HKEY_CURRENT_USER; false when there is none (or it is
// no string).
static bool ReadString(const char* key, const char* name, std::string* text) {
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return false;
    *text = value;
    return true;
}

static bool ReadDword(const char* key, const char* name, DWORD* number) {
    DWORD size = sizeof *number;
    return RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, number, &size) == ERROR_SUCCESS;
}

static void WriteString(const char* key, const char* name, const std::string& text) {
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(handle);
}

// Runs a program to its end; its exit code, or NotEnded when it did not end
// in time (it is ended then).
static DWORD RunToEnd(const std::string& program, const std::string& arguments) {
    PROCESS_INFORMATION process = {};
    if (!StartProgramFile(program, arguments, &process)) return NotEnded;
    DWORD code = NotEnded;
    if (WaitForSingleObject(process.hProcess, SetupWaitMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

// The target file of a shell link; empty when it cannot be read.
static std::string ShortcutTarget(const std::string& link) {
    std::string target;
    CoInitialize(nullptr);
    IShellLinkA* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void**)&shellLink))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
            char path[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return target;
}

static bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The manager's main window, by class and title as the uninstaller finds it.
static HWND FindManagerWindow(DWORD processId) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, ManagerClass, ManagerTitle)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

// The manager's settings with one mapped port and no saved window place,
// so that a saved place shows that the manager saved at Exit.
static void WriteSettings(const std::string& file, int autorun, const std::string& port, bool enabled) {
    std::string text = "[main]\r\nautorun=" + std::to_string(autorun) +
                       "\r\nports_count=1\r\n[port0]\r\nname=Test\r\nport=" + port +
                       "\r\nstatus=" + (enabled ? "1" : "0") + "\r\nserver=None\r\n";
    ASSERT_TRUE(WriteWholeFile(file, text));
}

static std::string StoredText(const std::string& file, const char* section, const char* key) {
    char text[256] = "";
    GetPrivateProfileStringA(section, key, "", text, sizeof text, file.c_str());
    return text;
}

// Removes an installation whatever state it is in: the files (once the
// relays have let go of theirs), the Start menu entry and the uninstall key.
static void RemoveInstallation() {
    std::string relay = InstalledFile(RelayProgram);
    WaitUntil([&] { return !Exists(relay) || DeleteFileA(relay.c_str()); }, FileFreeWaitMs);
    RemoveTree(InstallFolder());
    DeleteFileA(StartMenuEntry().c_str());
    SHDeleteKeyA(HKEY_CURRENT_USER, UninstallKey);
}

TEST(PackageSetup, AsksForNoAdministratorRights) {
    HMODULE setup = LoadLibraryExA(PackagePath(SetupName).c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(setup, nullptr) << "no installer at " << PackagePath(SetupName);
    HRSRC found = FindResourceA(setup, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // the manifest
    ASSERT_NE(found, nullptr);
    std::string manifest((const char*)LockResource(LoadResource(setup, found)), SizeofResource(setup, found));
    FreeLibrary(setup);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA winsock;
        WSAStartup(MAKEWORD(2, 2), &winsock);
    }

    void SetUp() override {
        // A run that was killed may have left its installation behind.
        RemoveInstallation();
        ASSERT_TRUE(documents.Redirect("tessaron-package", true));
    }

    void TearDown() override {
        EndManager();
        RemoveInstallation();
        autorun.Restore();
        documents.Restore();
    }

    void Install() {
        ASSERT_TRUE(Exists(PackagePath(SetupName))) << "no installer at " << PackagePath(SetupName);
        ASSERT_EQ(RunToEnd(PackagePath(SetupName), " /S"), 0u);
    }

    // Runs the uninstaller silently, as "Apps and features" registers it. An
    // NSIS uninstaller copies itself to a temporary folder and returns at
    // once, unless _?= gives it its folder: then it does the work itself and
    // returns when done, but cannot remove its own file. So a copy of it runs
    // from a temporary folder, given the folder with _?=.
    DWORD Uninstall() {
        std::string command, folder;
        if (!ReadString(UninstallKey, "QuietUninstallString", &command) ||
            !ReadString(UninstallKey, "InstallLocation", &folder) || command.empty() || command[0] != '"')
            return NotEnded;
        size_t quote = command.find('"', 1);
        if (quote == std::string::npos) return NotEnded;
        std::string program = command.substr(1, quote - 1);
        std::string arguments = command.substr(quote + 1);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string copy = std::string(temp) + "tessaron-uninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
        if (!CopyFileA(program.c_str(), copy.c_str(), FALSE)) return NotEnded;
        DWORD code = RunToEnd(copy, arguments + " _?=" + folder);
        DeleteFileA(copy.c_str());
        return code;
    }

    bool StartManager() { return StartProgramFile(InstalledFile(ManagerProgram), "", &manager); }

    HWND WaitForManagerWindow() {
        HWND window = nullptr;
        WaitUntil([&] { return (window = FindManagerWindow(manager.dwProcessId)) != nullptr; }, WindowWaitMs);
        return window;
    }

    // The manager's exit code once it has ended, or NotEnded.
    DWORD ManagerExitCode() {
        DWORD code = NotEnded;
        if (WaitForSingleObject(manager.hProcess, ExitWaitMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(manager.hProcess, &code);
        return code;
    }

    void EndManager() {
        if (manager.hProcess == nullptr) return;
        if (WaitForSingleObject(manager.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(manager.hProcess, 1);
        WaitForSingleObject(manager.hProcess, ExitWaitMs);
        CloseHandle(manager.hProcess);
        CloseHandle(manager.hThread);
        manager = PROCESS_INFORMATION{};
    }

    PrivateDocuments documents;
    SavedUserValue autorun{UserRunKey, AutorunValue};
    PROCESS_INFORMATION manager = {};
};

TEST_F(PackageTest, SilentSetupInstallsThePackageStartMenuEntryAndUninstallEntry) {
    Install();

    for (const char* name : PackageFiles) {
        SCOPED_TRACE(name);
        std::string staged, installed;
        ASSERT_TRUE(ReadWholeFile(StagedFile(name), &staged));
        ASSERT_TRUE(ReadWholeFile(InstalledFile(name), &installed)) << InstalledFile(name);
        EXPECT_FALSE(installed.empty());
        EXPECT_TRUE(installed == staged);
    }
    EXPECT_TRUE(Exists(InstalledFile(UninstallerProgram)));

    // The readme opens in Notepad: Windows line ends throughout.
    std::string readme;
    ASSERT_TRUE(ReadWholeFile(InstalledFile("readme.txt"), &readme));
    for (size_t at = readme.find('\n'); at != std::string::npos; at = readme.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && readme[at - 1] == '\r') << "a bare LF at byte " << at;

    EXPECT_TRUE(SamePath(ShortcutTarget(StartMenuEntry()), InstalledFile(ManagerProgram)))
        << StartMenuEntry() << " leads to \"" << ShortcutTarget(StartMenuEntry()) << "\"";

    std::string uninstaller = InstalledFile(UninstallerProgram);
    const struct {
        const char* name;
        std::string value;
    } strings[] = {
        {"DisplayName", PRODUCT_NAME},
        {"DisplayVersion", PRODUCT_VERSION},
        {"Publisher", PRODUCT_PUBLISHER},
        {"DisplayIcon", InstalledFile(ManagerProgram) + ",0"},
        {"InstallLocation", InstallFolder()},
        {"UninstallString", "\"" + uninstaller + "\""},
        {"QuietUninstallString", "\"" + uninstaller + "\" /S"},
    };
    for (const auto& expected : strings) {
        std::string value;
        EXPECT_TRUE(ReadString(UninstallKey, expected.name, &value)) << expected.name;
        EXPECT_TRUE(SamePath(value, expected.value)) << expected.name << ": " << value;
    }
    for (const char* flag : {"NoModify", "NoRepair"}) {
        DWORD value = 0;
        EXPECT_TRUE(ReadDword(UninstallKey, flag, &value)) << flag;
        EXPECT_EQ(value, 1u) << flag;
    }
    // In KiB: at least what the files take, and not far more.
    DWORD filesBytes = 0;
    for (const char* name : {"Tessaron.exe", "TessaronRelay.exe", "help.chm", "readme.txt", "uninstall.exe"}) {
        std::string bytes;
        ReadWholeFile(InstalledFile(name), &bytes);
        filesBytes += (DWORD)bytes.size();
    }
    DWORD estimated = 0;
    EXPECT_TRUE(ReadDword(UninstallKey, "EstimatedSize", &estimated));
    EXPECT_GE(estimated, filesBytes / 1024);
    EXPECT_LE(estimated, filesBytes / 1024 + 64);

    // Only the current user's part of the registry: no administrator rights.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
}

TEST_F(PackageTest, InstalledManagerRunsItsInstalledRelayAndExitsWithCodeZero) {
    Install();
    std::string port = std::to_string(UnusedPort());
    WriteSettings(documents.Settings(), 0, port, true);
    ASSERT_TRUE(StartManager());
    HWND window = WaitForManagerWindow();
    ASSERT_NE(window, nullptr) << "no window \"" << ManagerTitle << "\"";
    // The enabled port's relay, started from the installed relay program.
    EXPECT_TRUE(WaitForListening(std::stoi(port), ListenWaitMs));

    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    EXPECT_EQ(ManagerExitCode(), 0u);
    EXPECT_NE(StoredText(documents.Settings(), "window", "width"), "") << "not saved at Exit";
}

TEST_F(PackageTest, SilentUninstallRemovesTheInstallationAndKeepsTheData) {
    Install();
    // The user's data, and the start-at-logon value as the manager writes it.
    std::string data = "[main]\r\nautorun=1\r\n";
    ASSERT_TRUE(WriteWholeFile(documents.Settings(), data));
    WriteString(UserRunKey, AutorunValue, "\"" + InstalledFile(ManagerProgram) + "\" h");

    ASSERT_EQ(Uninstall(), 0u);

    EXPECT_FALSE(Exists(InstallFolder()));
    EXPECT_FALSE(Exists(StartMenuEntry()));
    std::string value;
    EXPECT_FALSE(ReadString(UserRunKey, AutorunValue, &value)) << value;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
    std::string kept;
    EXPECT_TRUE(ReadWholeFile(documents.Settings(), &kept));
    EXPECT_EQ(kept, data);
}

TEST_F(PackageTest, UninstallEndsTheRunningManagerWhichSavesFirst) {
    Install();
    // Started at logon by default: the manager writes its Run value at start.
    WriteSettings(documents.Settings(), 1, std::to_string(UnusedPort()), false);
    ASSERT_TRUE(StartManager());
    ASSERT_NE(WaitForManagerWindow(), nullptr) << "no window \"" << ManagerTitle << "\"";
    // Written once the manager has read its settings.
    std::string value;
    ASSERT_TRUE(WaitUntil([&] { return ReadString(UserRunKey, AutorunValue, &value); }, WindowWaitMs));
    EXPECT_TRUE(SamePath(value, "\"" + InstalledFile(ManagerProgram) + "\" h")) << value;

    ASSERT_EQ(Uninstall(), 0u);

    EXPECT_EQ(ManagerExitCode(), 0u) << "the manager was not ended through File > Exit";
    EXPECT_NE(StoredText(documents.Settings(), "window", "width"), "") << "not saved at Exit";
    EXPECT_FALSE(Exists(InstallFolder()));
    EXPECT_FALSE(ReadString(UserRunKey, AutorunValue, &value)) << value;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
}
