// Export to text file, Import from text file and Copy Server Address
// through the real main window: the file dialogs' requests, the files and
// the clipboard byte for byte, the rows and the status bar.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/catalogue/catalogue_texts.h"
#include "manager/resources/resource_ids.h"
#include "manager/window/list_files_win32.h"
#include "manager/window/main_window_win32.h"
#include "tests/window/dialog_visit_win32.h"
#include "tests/window/list_cells_win32.h"
#include "tests/window/test_window_win32.h"

// What the file dialog was asked, and the file it names (or a cancel).
static OPENFILENAMEA asked;
static std::string askedTitle, askedFilter;
static const size_t FilterBytesRead = 12;
static std::string chosenPath;

static BOOL WINAPI ChooseFile(OPENFILENAMEA* request) {
    asked = *request;
    askedTitle = request->lpstrTitle != nullptr ? request->lpstrTitle : "";
    askedFilter = request->lpstrFilter != nullptr ? std::string(request->lpstrFilter, FilterBytesRead) : "";
    if (chosenPath.empty()) return FALSE;
    lstrcpynA(request->lpstrFile, chosenPath.c_str(), (int)request->nMaxFile);
    return TRUE;
}

static std::string TempPath(const char* name) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "tessaron-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

static void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
}

static std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

static std::string ClipboardText(HWND owner) {
    if (!OpenClipboard(owner)) return "<no clipboard>";
    std::string text = "<no text>";
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data != nullptr) {
        const char* bytes = (const char*)GlobalLock(data);
        if (bytes != nullptr) text = bytes;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

class ListFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateTestMainWindow(&table);
        ASSERT_NE(window, nullptr);
        main = MainWindowOf(window);
        main->saveDialog = ChooseFile;
        main->openDialog = ChooseFile;
        chosenPath.clear();
        asked = OPENFILENAMEA{};
    }
    void TearDown() override {
        DestroyMainWindow(window);
        for (const std::string& path : made) DeleteFileA(path.c_str());
    }

    std::string File(const char* name) {
        made.push_back(TempPath(name));
        return made.back();
    }

    void AddRows(const std::vector<std::string>& addresses, const std::vector<int>& selected = {}) {
        for (const std::string& address : addresses)
            ASSERT_GE(AddServerRow(&main->catalogue, MyProxyServersSlot, address.c_str(), Http, StatusCodeUntested), 0);
        for (int row : selected) ListView_SetItemState(List(), row, LVIS_SELECTED, LVIS_SELECTED);
    }

    HWND List() { return main->serverLists[main->catalogue.currentSlot]; }
    void Command(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    SharedPortTable table = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
    std::vector<std::string> made;
};

// ---- export ----

TEST_F(ListFilesTest, ExportAsksForAFileAsSpecifiedAndReplacesItWithEveryAddress) {
    AddRows({"a:1", "b:2"}, {1});
    chosenPath = File("export.txt");
    WriteBytes(chosenPath, "an older and longer export\r\n");
    Command(IDM_EXPORT);

    EXPECT_EQ(ReadBytes(chosenPath), "a:1\r\nb:2\r\n") << "every row, selected or not, in display order";
    EXPECT_EQ(askedTitle, "Export list");
    // One entry: the description, an empty pattern, the list's end.
    EXPECT_EQ(askedFilter, std::string("All files\0\0\0", FilterBytesRead));
    EXPECT_EQ(asked.hwndOwner, window);
    EXPECT_EQ(asked.nFilterIndex, 1u);
    EXPECT_EQ(asked.nMaxFile, 300u);
    // An existing file is replaced only once the user agrees; the manager's
    // current folder, where a relay started by a short path was looked
    // for, stays.
    EXPECT_EQ(asked.Flags & (OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR), (DWORD)(OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR));
    EXPECT_EQ(asked.lpstrDefExt, nullptr);
}

TEST_F(ListFilesTest, ExportOfAnEmptyCategoryWritesAnEmptyFileAndCancelWritesNothing) {
    chosenPath = File("empty.txt");
    WriteBytes(chosenPath, "x:1\r\n");
    Command(IDM_EXPORT);
    EXPECT_EQ(ReadBytes(chosenPath), "");

    AddRows({"a:1"});
    const std::string kept = chosenPath;
    chosenPath.clear();  // the user cancels
    Command(IDM_EXPORT);
    EXPECT_EQ(ReadBytes(kept), "");
}

// The new file is written beside the old one and moved over it: a file that
// cannot be replaced keeps the user's previous export whole.
TEST_F(ListFilesTest, AnExportThatCannotBeWrittenLeavesThePreviousFileWhole) {
    AddRows({"a:1", "b:2"});
    chosenPath = File("held.txt");
    WriteBytes(chosenPath, "the previous export\r\n");
    HANDLE held = CreateFileA(chosenPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Command(IDM_EXPORT);
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(chosenPath), "the previous export\r\n");
    EXPECT_EQ(GetFileAttributesA((chosenPath + ".~1").c_str()), INVALID_FILE_ATTRIBUTES) << "a half file left behind";
}

// The temporary file of an export never takes a file of the user's: one
// named as the old temporary was stays as it was.
TEST_F(ListFilesTest, AnExportLeavesTheUsersFilesBesideItAlone) {
    AddRows({"a:1"});
    chosenPath = File("list.txt");
    WriteBytes(chosenPath, "old\r\n");
    const std::string mine = chosenPath + ".new";
    WriteBytes(mine, "the user's own file\r\n");
    made.push_back(mine);
    Command(IDM_EXPORT);
    EXPECT_EQ(ReadBytes(chosenPath), "a:1\r\n");
    EXPECT_EQ(ReadBytes(mine), "the user's own file\r\n");
}

// ---- copy ----

TEST_F(ListFilesTest, CopyPutsTheSelectedAddressesOnTheClipboard) {
    AddRows({"a:1", "skipped:3", "b:2"}, {0, 2});
    Command(IDM_COPY_ADDRESS);
    EXPECT_EQ(ClipboardText(window), "a:1\r\nb:2\r\n");
}

TEST_F(ListFilesTest, ACopyBeyond64KiBIsWhole) {
    std::vector<NewServer> many;
    std::string expected;
    for (int i = 0; i < 6000; ++i) {
        many.push_back(NewServer{"proxy-" + std::to_string(i) + ".example.test:8080", Http, StatusCodeUntested});
        expected += many.back().address + "\r\n";
    }
    ASSERT_EQ(AddServerRows(&main->catalogue, MyProxyServersSlot, many), 6000);
    ListView_SetItemState(List(), -1, LVIS_SELECTED, LVIS_SELECTED);
    Command(IDM_COPY_ADDRESS);
    ASSERT_GT(expected.size(), 65536u);
    EXPECT_EQ(ClipboardText(window), expected);
}

// ---- import ----

TEST_F(ListFilesTest, ImportAddsTheFilesServersToTheCurrentCategoryAndCountsThem) {
    AddRows({"192.0.2.1:8080"});
    chosenPath = File("import.txt");
    WriteBytes(chosenPath,
               "192.0.2.1:8080\r\n"                   // in the category already
               "socks5://192.0.2.2:1080 # office\n"  // Socks, comment dropped
               "\r\n"
               "   http://proxy.example.test:3128  US\r"
               "not a server\n\r"
               "socks://192.0.2.3:9050\r\n"
               "PROXY.EXAMPLE.TEST:3128\n"            // the same server again
               "192.0.2.4:0\r\n"
               "\t192.0.2.5:80");
    Command(IDM_IMPORT);

    EXPECT_EQ(Column(List(), ServerAddress),
              (std::vector<std::string>{"192.0.2.1:8080", "192.0.2.2:1080", "proxy.example.test:3128", "192.0.2.3:9050",
                                        "192.0.2.5:80"}));
    EXPECT_EQ(Column(List(), ServerTypeColumn), (std::vector<std::string>{"Http", "Socks", "Http", "Socks", "Http"}));
    EXPECT_EQ(Column(List(), ServerStatus),
              (std::vector<std::string>{"Untested", "Untested", "Untested", "Untested", "Untested"}));
    EXPECT_EQ(StatusPart(window, 0), "Imported 4 of 8 servers");
    EXPECT_EQ(StatusPart(window, 1), "Total: 5   Socks: 2   Http: 3");
    EXPECT_EQ(Column(GetDlgItem(window, IDC_CATEGORY_LIST), 0)[0], "My Proxy Servers(5)");
    EXPECT_EQ(asked.Flags & (OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR), (DWORD)(OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR));
}

TEST_F(ListFilesTest, AnImportThatCannotBeReadSaysSoAndCancelChangesNothing) {
    chosenPath = File("missing.txt");
    Command(IDM_IMPORT);
    EXPECT_EQ(StatusPart(window, 0), "The file could not be read");

    SetStatusText(main, 0, nullptr);
    chosenPath.clear();
    Command(IDM_IMPORT);
    EXPECT_EQ(StatusPart(window, 0), "Tessaron 1.05");
    EXPECT_EQ(main->catalogue.lists[MyProxyServersSlot].Count(), 0);
}
