// The data folder, the two files and the start-at-logon value, for real
// under the Windows API.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue_fixture.h"
#include "manager/catalogue/data_folder.h"
#include "manager/catalogue/data_save.h"
#include "manager/catalogue/settings.h"
#include "manager/catalogue/windows_profile.h"
#include "manager/window/stored_ports.h"
#include "tests/support/private_documents.h"


static std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

static void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A documents folder of the test's own, set where the shell looks it up.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.Redirect("tessaron-documents", false));
        documents = folder.Path();
    }
    void TearDown() override { folder.Restore(); }
    PrivateDocuments folder;
    std::string documents;
};

TEST_F(DataFolderTest, FirstStartCreatesTheFolderAndSeedsTheDefaultsOnce) {
    DataPaths paths;
    PrepareDataFolder(&paths);
    EXPECT_EQ(std::string(paths.folder), documents + "\\Tessaron");
    EXPECT_EQ(std::string(paths.settings), documents + "\\Tessaron\\config.ini");
    EXPECT_EQ(std::string(paths.catalogue), documents + "\\Tessaron\\proxylist.dat");
    EXPECT_NE(GetFileAttributesA(paths.folder) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    WindowsProfile settings(paths.settings);
    char text[256];
    settings.ReadText("port0", "name", "", text, sizeof text);
    EXPECT_STREQ(text, "Default");
    settings.ReadText("port0", "server", "", text, sizeof text);
    EXPECT_STREQ(text, "None");
    EXPECT_EQ(settings.ReadInt("main", "ports_count", 0), 1);

    // An existing file is only probed.
    settings.WriteText("port0", "name", "Mine");
    FlushProfile(paths.settings);
    PrepareDataFolder(&paths);
    WindowsProfile again(paths.settings);
    again.ReadText("port0", "name", "", text, sizeof text);
    EXPECT_STREQ(text, "Mine");
}

// Another program (an antivirus, a sync client) holding a file open,
// sharing it or not.
const DWORD ShareNothing = 0;
const DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class HeldFile {
public:
    HeldFile(const std::string& path, DWORD share) {
        handle =
            CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~HeldFile() { Release(); }
    bool Held() const { return handle != INVALID_HANDLE_VALUE; }
    void Release() {
        if (Held()) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle;
};

static bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static const char* const UserSettings =
    "[main]\r\nports_count=2\r\n[port0]\r\nname=Mine\r\nport=8118\r\nstatus=1\r\nserver=None\r\n"
    "[port1]\r\nname=Other\r\nport=8119\r\nstatus=0\r\nserver=None\r\n[categories]\r\ncat0=Work(1)\r\n";

// Only a missing config.ini gets the first-run defaults: one held by
// another program keeps the user's ports.
TEST_F(DataFolderTest, SettingsFileHeldByAnotherProgramIsNotSeeded) {
    std::string settings = documents + "\\Tessaron\\config.ini";
    CreateDirectoryA((documents + "\\Tessaron").c_str(), nullptr);
    struct Case {
        DWORD share;
        int unread;  // what the save will know of it
    };
    const Case cases[] = {{ShareNothing, 1}, {ShareAll, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.share);
        WriteFileBytes(settings, UserSettings);
        DataPaths paths;
        {
            HeldFile held(settings, c.share);
            ASSERT_TRUE(held.Held());
            PrepareDataFolder(&paths);
        }
        EXPECT_EQ(paths.settingsUnread, c.unread);
        EXPECT_EQ(ReadFileBytes(settings), UserSettings);
    }
}

// The main window's part of the save, fixed.
class StillManager : public ManagerStateAccess {
public:
    int IsMaximized() override { return 0; }
    WindowRect OuterRect() override { return WindowRect{30, 40, 620, 510}; }
    void PlaceWindow(const WindowRect&) override {}
    void SizeWindow(int, int) override {}
    int SplitterTop() override { return 150; }
    int SplitterLeft() override { return 180; }
    void PlaceSplitters(int, int) override {}
    int MappedPortCount() override { return (int)ports.size(); }
    StoredPort MappedPortRow(int row) override { return StoredFromPort(ports[row]); }
    void AppendMappedPort(const StoredPort& port) override { ports.push_back(PortFromStored(port)); }
    void SetLocalOnly(uint8_t) override {}
    void SetAutorun(int) override {}
    std::vector<MappedPort> ports;
};

static SaveOutcome SaveThroughFiles(DataPaths* paths, ProxyCatalogue* catalogue, StillManager* manager) {
    ManagerFlags flags = {1, 1};
    return SaveDataFiles(paths, catalogue, manager, &flags);
}

// The folder's file names, sorted.
static std::vector<std::string> FolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(DataFolderTest, SaveWritesTheSameCatalogueBytesAndKeepsLeftoverSections) {
    DataPaths paths;
    PrepareDataFolder(&paths);
    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    AddCategory(&catalogue, "Work");
    AddServerRow(&catalogue, MyProxyServersSlot, "10.0.0.1:3128", Http, StatusCodeAlive);
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerDelay, "312");
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerLastCheck, "2009.7.30 13:4");
    AddServerRow(&catalogue, 0, "w:1", Socks, StatusCodeDead);
    RefreshCategoryLabels(&catalogue);

    StillManager manager;
    for (const char* number : {"9800", "9801", "9802"}) {
        MappedPort port;
        port.text[PortName] = std::string("p") + number;
        port.text[PortNumber] = number;
        port.text[PortStatus] = "Disabled";
        port.text[PortServer] = "None";
        manager.ports.push_back(port);
    }
    ASSERT_EQ(SaveThroughFiles(&paths, &catalogue, &manager).problem, SaveDone);
    manager.ports.pop_back();
    ASSERT_EQ(SaveThroughFiles(&paths, &catalogue, &manager).problem, SaveDone);

    EXPECT_EQ(ReadFileBytes(paths.catalogue), FormatCatalogueText(&catalogue));
    EXPECT_EQ(ReadFileBytes(paths.catalogue), "10.0.0.1:3128;0;2;312;2009.7.30 13:4;16\r\nw:1;1;1;;;0\r\n");
    // Files that were read are replaced, not kept; nothing else is left.
    EXPECT_EQ(FolderFiles(paths.folder), (std::vector<std::string>{"config.ini", "proxylist.dat"}));

    WindowsProfile settings(paths.settings);
    char text[256];
    EXPECT_EQ(settings.ReadInt("main", "ports_count", 0), 2);
    settings.ReadText("port2", "name", "", text, sizeof text);
    EXPECT_STREQ(text, "p9802");  // left from the earlier save, unread
    settings.ReadText("categories", "cat0", "", text, sizeof text);
    EXPECT_STREQ(text, "Work(1)");
    EXPECT_EQ(settings.ReadInt("window", "width", 0), 620);

    // And back: the next start sees what was saved.
    ProxyCatalogue loaded;
    InitCatalogue(&loaded, nullptr);
    FileCatalogueStorage storage(paths.catalogue);
    StillManager next;
    ManagerFlags flags = {0, 0};
    LoadState(&loaded, &settings, &storage, &next, &flags);
    EXPECT_EQ(FormatCatalogueText(&loaded), FormatCatalogueText(&catalogue));
    EXPECT_EQ(next.ports.size(), 2u);
}

// Both files held while the manager starts and free again at its Exit: the
// save, made from what could be read (nothing), keeps each old file beside
// the new one, and never over a file kept earlier.
TEST_F(DataFolderTest, FilesUnreadAtStartAreKeptBesideTheSavedOnes) {
    std::string folder = documents + "\\Tessaron";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string catalogues[] = {"kept:1;0;2;40;2009.7.30 13:4;16\r\nw:2;1;0;;;0\r\n", "second:1;0;0;;;17\r\n"};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        WriteFileBytes(folder + "\\config.ini", UserSettings);
        WriteFileBytes(folder + "\\proxylist.dat", catalogues[round]);
        DataPaths paths;
        ProxyCatalogue catalogue;
        InitCatalogue(&catalogue, nullptr);
        StillManager manager;
        {
            HeldFile heldSettings(folder + "\\config.ini", ShareNothing);
            HeldFile heldCatalogue(folder + "\\proxylist.dat", ShareNothing);
            ASSERT_TRUE(heldSettings.Held() && heldCatalogue.Held());
            PrepareDataFolder(&paths);
            WindowsProfile settings(paths.settings);
            FileCatalogueStorage storage(paths.catalogue);
            ManagerFlags flags = {0, 0};
            LoadState(&catalogue, &settings, &storage, &manager, &flags);
        }
        EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 0);
        EXPECT_TRUE(manager.ports.empty());
        AddServerRow(&catalogue, NewSlot, "added:1", Http, StatusCodeUntested);
        ASSERT_EQ(SaveThroughFiles(&paths, &catalogue, &manager).problem, SaveDone);
        EXPECT_EQ(paths.settingsUnread, 0);
        EXPECT_EQ(catalogue.fileUnread, 0);

        EXPECT_EQ(ReadFileBytes(paths.catalogue), "added:1;0;0;;;17\r\n");
        WindowsProfile saved(paths.settings);
        EXPECT_EQ(saved.ReadInt("main", "ports_count", -1), 0);
    }
    EXPECT_EQ(ReadFileBytes(folder + "\\proxylist.dat.unread"), catalogues[0]);
    EXPECT_EQ(ReadFileBytes(folder + "\\proxylist.dat.unread2"), catalogues[1]);
    EXPECT_EQ(ReadFileBytes(folder + "\\config.ini.unread"), UserSettings);
    EXPECT_EQ(ReadFileBytes(folder + "\\config.ini.unread2"), UserSettings);
}

// Another reader does not keep the manager from reading the catalogue.
TEST_F(DataFolderTest, CatalogueHeldByAnotherReaderIsRead) {
    std::string folder = documents + "\\Tessaron";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string file = "kept:1;0;0;;;16\r\n";
    WriteFileBytes(folder + "\\proxylist.dat", file);
    FileCatalogueStorage storage((folder + "\\proxylist.dat").c_str());
    HeldFile held(folder + "\\proxylist.dat", FILE_SHARE_READ);
    ASSERT_TRUE(held.Held());
    std::string text;
    EXPECT_EQ(storage.ReadCatalogueText(&text), CatalogueRead);
    EXPECT_EQ(text, file);
}

// The two files are one save: when either cannot be replaced (held by
// another program, read-only, no name left for its new file), both old
// files stay byte for byte and nothing is left beside them; once the cause
// is gone, the same save goes through.
TEST_F(DataFolderTest, ASaveThatCannotReplaceBothFilesReplacesNeither) {
    const std::string oldSettings = std::string(UserSettings) + "[testing]\r\nprobes=64\r\n";
    const std::string oldCatalogue = "old:1;0;0;;;16\r\nw:1;0;0;;;0\r\n";
    typedef std::function<void()> Release;
    auto hold = [](const std::string& path) {
        std::shared_ptr<HeldFile> held(new HeldFile(path, ShareNothing));
        EXPECT_TRUE(held->Held());
        return Release([held] { held->Release(); });
    };
    auto readOnly = [](const std::string& path) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        return Release([path] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); });
    };
    // Every name the new file could take is a file of the user's.
    auto noName = [](const std::string& path) {
        for (int n = 1; n <= 100; ++n) WriteFileBytes(path + ".~" + std::to_string(n), "mine");
        return Release([path] {
            for (int n = 1; n <= 100; ++n) DeleteFileA((path + ".~" + std::to_string(n)).c_str());
        });
    };
    struct Case {
        const char* name;
        DataFile blocked;
        SaveProblem problem;
        std::function<Release(const DataPaths&)> block;
    };
    const Case cases[] = {
        {"catalogue held", CatalogueDataFile, SaveFileInUse, [&](const DataPaths& p) { return hold(p.catalogue); }},
        {"settings held", SettingsDataFile, SaveFileInUse, [&](const DataPaths& p) { return hold(p.settings); }},
        {"catalogue read-only", CatalogueDataFile, SaveFileReadOnly,
         [&](const DataPaths& p) { return readOnly(p.catalogue); }},
        {"settings read-only", SettingsDataFile, SaveFileReadOnly,
         [&](const DataPaths& p) { return readOnly(p.settings); }},
        // The catalogue's new file is written first; it goes again.
        {"no name for the new settings", SettingsDataFile, SaveFailed,
         [&](const DataPaths& p) { return noName(p.settings); }},
        {"no name for the new catalogue", CatalogueDataFile, SaveFailed,
         [&](const DataPaths& p) { return noName(p.catalogue); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DataPaths paths;
        PrepareDataFolder(&paths);
        WriteFileBytes(paths.settings, oldSettings);
        WriteFileBytes(paths.catalogue, oldCatalogue);
        ProxyCatalogue catalogue;
        InitCatalogue(&catalogue, nullptr);
        AddCategory(&catalogue, "Renamed");
        AddServerRow(&catalogue, 0, "new:1", Http, StatusCodeUntested);
        StillManager manager;
        std::vector<std::string> before = FolderFiles(paths.folder);

        Release release = c.block(paths);
        std::vector<std::string> blocked = FolderFiles(paths.folder);
        SaveOutcome outcome = SaveThroughFiles(&paths, &catalogue, &manager);
        EXPECT_EQ(outcome.problem, c.problem);
        EXPECT_EQ(outcome.file, c.blocked);
        EXPECT_EQ(FolderFiles(paths.folder), blocked) << "a new file left beside the old ones";
        release();
        EXPECT_EQ(ReadFileBytes(paths.settings), oldSettings);
        EXPECT_EQ(ReadFileBytes(paths.catalogue), oldCatalogue);

        ASSERT_EQ(SaveThroughFiles(&paths, &catalogue, &manager).problem, SaveDone);
        EXPECT_EQ(ReadFileBytes(paths.catalogue), "new:1;0;0;;;0\r\n");
        WindowsProfile saved(paths.settings);
        char text[256];
        saved.ReadText("categories", "cat0", "", text, sizeof text);
        EXPECT_STREQ(text, "Renamed(1)");
        EXPECT_EQ(saved.ReadInt("testing", "probes", 0), 64) << "a key the save never writes";
        EXPECT_EQ(FolderFiles(paths.folder), before);
    }
}

// The new files' temporary names never take a file of the user's.
TEST_F(DataFolderTest, ReplacingAFileLeavesTheUsersOtherFilesAlone) {
    DataPaths paths;
    PrepareDataFolder(&paths);
    std::string target = std::string(paths.folder) + "\\list.txt";
    WriteFileBytes(target, "old");
    const char* const suffixes[] = {".new", ".~1", ".~2"};
    for (const char* suffix : suffixes) WriteFileBytes(target + suffix, std::string("mine") + suffix);
    EXPECT_EQ(ReplaceFileContents(target.c_str(), "a:1\r\n", 5), 1);
    EXPECT_EQ(ReadFileBytes(target), "a:1\r\n");
    for (const char* suffix : suffixes) EXPECT_EQ(ReadFileBytes(target + suffix), std::string("mine") + suffix);
    EXPECT_FALSE(Exists(target + ".~3"));
    // A folder that does not exist: nothing written, 0.
    EXPECT_EQ(ReplaceFileContents((std::string(paths.folder) + "\\none\\list.txt").c_str(), "a", 1), 0);
}

TEST_F(DataFolderTest, LargeCatalogueFileIsReadWhole) {
    DataPaths paths;
    PrepareDataFolder(&paths);
    std::string file;
    for (int i = 0; file.size() < (1u << 20) + 100000; ++i) file += "h" + std::to_string(i) + ":80;0;0;;;17\r\n";
    WriteFileBytes(paths.catalogue, file);
    FileCatalogueStorage storage(paths.catalogue);
    std::string text;
    ASSERT_EQ(storage.ReadCatalogueText(&text), CatalogueRead);
    EXPECT_EQ(text, file);
}

static bool ReadRunValue(std::string* value) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UserRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char data[600];
    DWORD size = sizeof data;
    DWORD type = 0;
    bool found = RegQueryValueExA(key, "Tessaron", nullptr, &type, (BYTE*)data, &size) == ERROR_SUCCESS && type == REG_SZ;
    RegCloseKey(key);
    if (found) *value = data;
    return found;
}

TEST(Autorun, WritesTheQuotedProgramPathWithTheHiddenFlagAndDeletesIt) {
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    SetAutorun(1);
    std::string value;
    ASSERT_TRUE(ReadRunValue(&value));
    EXPECT_EQ(value, "\"" + std::string(program) + "\" h");
    SetAutorun(0);
    EXPECT_FALSE(ReadRunValue(&value));
    SetAutorun(0);  // nothing to delete: still quiet
    EXPECT_FALSE(ReadRunValue(&value));
}
