// The tray icon, Preferences, the About box and Contents through the real
// main window in the test's own thread: the tray's callback messages, the
// icon's record as the shell gets it, the dialogs driven from a helper
// thread, and what reaches the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "manager/window/about_box_win32.h"
#include "manager/window/about_links.h"
#include "manager/window/main_window_win32.h"
#include "tests/window/dialog_visit_win32.h"
#include "tests/window/test_window_win32.h"

struct IconCall {
    DWORD message;
    NOTIFYICONDATAA record;
};
static std::vector<IconCall> iconCalls;
static BOOL WINAPI RecordIconCall(DWORD message, NOTIFYICONDATAA* data) {
    iconCalls.push_back(IconCall{message, *data});
    return TRUE;
}

static std::vector<std::string> opened;
static void RecordOpened(const char* target) { opened.push_back(target); }

class SmallFeaturesTest : public ::testing::Test {
protected:
    void Open(const char* commandLine) {
        window = CreateTestMainWindow(&table, commandLine);
        ASSERT_NE(window, nullptr);
        main = MainWindowOf(window);
        main->notifyIcon = RecordIconCall;
        main->shellOpen = RecordOpened;
        iconCalls.clear();
        opened.clear();
    }
    void TearDown() override {
        if (window != nullptr) DestroyMainWindow(window);
    }

    void Tray(UINT mouseMessage) { SendMessageA(window, TrayCallbackMessage, 0, (LPARAM)mouseMessage); }

    SharedPortTable table = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
};

// ---- tray icon ----

TEST_F(SmallFeaturesTest, TheIconRecordIsTheShellsFirstVersionAndComesBackWithANewNotificationArea) {
    Open("");
    const NOTIFYICONDATAA& record = main->trayRecord;
    EXPECT_EQ(record.cbSize, (DWORD)NOTIFYICONDATAA_V1_SIZE);
    EXPECT_EQ(record.hWnd, window);
    EXPECT_EQ(record.uID, 0u);
    EXPECT_EQ(record.uFlags, 7u);  // message, icon and tip
    EXPECT_EQ(record.uCallbackMessage, 11024u);
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_STREQ(record.szTip, "Tessaron");

    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_EQ(iconCalls.size(), 1u) << "the icon was not added again";
    EXPECT_EQ(iconCalls[0].message, (DWORD)NIM_ADD);
    EXPECT_EQ(iconCalls[0].record.hWnd, window);
    EXPECT_EQ(iconCalls[0].record.uCallbackMessage, 11024u);

    DestroyMainWindow(window);
    window = nullptr;
    ASSERT_EQ(iconCalls.size(), 2u);
    EXPECT_EQ(iconCalls[1].message, (DWORD)NIM_DELETE);
}

TEST_F(SmallFeaturesTest, ALeftPressShowsAHiddenManagerAndOtherMouseMessagesDoNothing) {
    Open("Tessaron.exe h");
    ASSERT_FALSE(IsWindowVisible(window));
    for (UINT ignored : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDBLCLK}) {
        Tray(ignored);
        EXPECT_FALSE(IsWindowVisible(window)) << "mouse message " << ignored;
    }
    Tray(WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(main->startHidden, 0);
}

struct MenuSearch {
    DWORD thread;
    HWND found;
};

static BOOL CALLBACK FindPopupMenu(HWND window, LPARAM argument) {
    MenuSearch* search = (MenuSearch*)argument;
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32768" || !IsWindowVisible(window)) return TRUE;
    if (GetWindowThreadProcessId(window, nullptr) != search->thread) return TRUE;
    search->found = window;
    return FALSE;
}

struct MenuVisit {
    HWND owner;
    HMENU shown = nullptr;
    bool ownerVisible = true;
};

// Finds the open popup menu, notes it and closes it with Escape.
static DWORD WINAPI VisitTrayMenu(void* argument) {
    MenuVisit* visit = (MenuVisit*)argument;
    MenuSearch search = {GetWindowThreadProcessId(visit->owner, nullptr), nullptr};
    if (!WaitUntil(
            [&] {
                EnumWindows(FindPopupMenu, (LPARAM)&search);
                return search.found != nullptr;
            },
            StepWaitMs))
        return 0;
    visit->shown = (HMENU)SendMessageA(search.found, MN_GETHMENU, 0, 0);
    visit->ownerVisible = IsWindowVisible(visit->owner) != FALSE;
    PostMessageA(search.found, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(visit->owner, WM_CANCELMODE, 0, 0);
    return 0;
}

TEST_F(SmallFeaturesTest, ARightPressOpensTheTrayMenuWithoutShowingTheManager) {
    Open("Tessaron.exe h");
    MenuVisit visit;
    visit.owner = window;
    HANDLE helper = CreateThread(nullptr, 0, VisitTrayMenu, &visit, 0, nullptr);
    ASSERT_NE(helper, nullptr);
    Tray(WM_RBUTTONDOWN);
    ServeUntil(helper);
    CloseHandle(helper);
    EXPECT_EQ(visit.shown, main->trayMenu) << "not the tray menu";
    EXPECT_FALSE(visit.ownerVisible);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetMenuItemID(main->trayMenu, 0), (UINT)IDM_SHOW_MANAGER);
    EXPECT_EQ(GetMenuItemID(main->trayMenu, 2), (UINT)IDM_TRAY_EXIT);
}

// ---- Preferences ----

struct PreferencesCase {
    const char* name;
    int localOnly, autorun;   // the flags before
    int tickLocal, tickRun;   // the boxes after the user's clicks
    CloseWay close;
    int wantLocal, wantRun;   // the flags after
};

TEST_F(SmallFeaturesTest, PreferencesShowTheFlagsAndOkAppliesTheBoxesAtOnce) {
    const PreferencesCase cases[] = {
        {"OK after unticking both", 1, 1, 0, 0, CloseByOk, 0, 0},
        {"OK after ticking both", 0, 0, 1, 1, CloseByOk, 1, 1},
        {"Cancel after unticking both", 1, 1, 0, 0, CloseByCancel, 1, 1},
        {"close box after ticking both", 0, 0, 1, 1, CloseByWindowClose, 0, 0},
    };
    Open("");
    for (const PreferencesCase& test : cases) {
        SCOPED_TRACE(test.name);
        main->flags.acceptLocal = test.localOnly;
        main->flags.autorun = test.autorun;
        table.localOnly = (uint8_t)test.localOnly;
        int shownLocal = -1, shownRun = -1;
        DialogVisit visit;
        visit.title = "Preferences";
        visit.close = test.close;
        visit.note = [&](HWND dialog) {
            shownLocal = IsDlgButtonChecked(dialog, IDC_PREF_LOCAL_ONLY) == BST_CHECKED;
            shownRun = IsDlgButtonChecked(dialog, IDC_PREF_AUTORUN) == BST_CHECKED;
            CheckDlgButton(dialog, IDC_PREF_LOCAL_ONLY, test.tickLocal ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, IDC_PREF_AUTORUN, test.tickRun ? BST_CHECKED : BST_UNCHECKED);
        };
        RunCommandWithVisit(window, IDM_PREFERENCES, &visit);
        ASSERT_TRUE(visit.found);
        EXPECT_TRUE(visit.closedAsAsked);
        EXPECT_EQ(shownLocal, test.localOnly);
        EXPECT_EQ(shownRun, test.autorun);
        EXPECT_EQ(main->flags.acceptLocal, test.wantLocal);
        EXPECT_EQ(main->flags.autorun, test.wantRun);
        EXPECT_EQ(table.localOnly, test.wantLocal);
    }
}

// ---- About box and Contents ----

struct AboutSeen {
    std::vector<std::string> linkTexts;
    std::vector<int> hovered;  // over link 1, 2, 3, then off the links
    std::vector<BOOL> cursorSet;  // the hand set over each link
    COLORREF linkColour = 0;
    COLORREF labelColour = 0;
    bool linkBrush = false;
};

static POINT CentreOf(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The cursor moved to the point, then the box told of it as the system does.
// The pointer moves under X a moment after the call.
static void MoveCursor(POINT at) {
    WaitUntil(
        [&] {
            SetCursorPos(at.x, at.y);
            POINT now = {};
            GetCursorPos(&now);
            return now.x == at.x && now.y == at.y;
        },
        StepWaitMs);
}

static int HoverAt(HWND dialog, POINT at, BOOL* cursorSet) {
    MoveCursor(at);
    POINT client = at;
    ScreenToClient(dialog, &client);
    SendMessageA(dialog, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    *cursorSet = (BOOL)SendMessageA(dialog, WM_SETCURSOR, (WPARAM)dialog, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ((AboutBox*)GetWindowLongPtrA(dialog, DWLP_USER))->hovered;
}

static COLORREF TextColourFor(HWND dialog, HWND control, bool* brush) {
    HDC context = CreateCompatibleDC(nullptr);
    *brush = SendMessageA(dialog, WM_CTLCOLORSTATIC, (WPARAM)context, (LPARAM)control) != 0;
    COLORREF colour = GetTextColor(context);
    DeleteDC(context);
    return colour;
}

TEST_F(SmallFeaturesTest, TheAboutBoxShowsBlueLinksWithTheHandAndAClickOpensTheOneUnderTheCursor) {
    Open("");
    ShowWindow(window, SW_SHOWNORMAL);
    const int links[] = {IDC_ABOUT_WEBSITE, IDC_ABOUT_SUPPORT, IDC_ABOUT_SALES};
    AboutSeen seen;
    DialogVisit visit;
    visit.title = "About Tessaron";
    visit.note = [&](HWND dialog) {
        for (int id : links) seen.linkTexts.push_back(ItemText(dialog, id));
        for (int id : links) {
            BOOL set = FALSE;
            seen.hovered.push_back(HoverAt(dialog, CentreOf(GetDlgItem(dialog, id)), &set));
            seen.cursorSet.push_back(set);
        }
        // A click on the support link, then one off the links.
        POINT support = CentreOf(GetDlgItem(dialog, IDC_ABOUT_SUPPORT));
        MoveCursor(support);
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        RECT box;
        GetWindowRect(dialog, &box);
        BOOL set = TRUE;
        seen.hovered.push_back(HoverAt(dialog, POINT{box.left + 8, box.bottom - 8}, &set));
        SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        seen.linkColour = TextColourFor(dialog, GetDlgItem(dialog, IDC_ABOUT_WEBSITE), &seen.linkBrush);
        // The label "Sales: " stands just before the first link.
        bool labelBrush = false;
        seen.labelColour =
            TextColourFor(dialog, GetWindow(GetDlgItem(dialog, IDC_ABOUT_WEBSITE), GW_HWNDPREV), &labelBrush);
    };
    RunCommandWithVisit(window, IDM_ABOUT, &visit);
    ASSERT_TRUE(visit.found);
    EXPECT_TRUE(visit.closedAsAsked);
    EXPECT_EQ(seen.linkTexts, (std::vector<std::string>{ShownLinkText(AboutLinks[0].text), AboutLinks[1].text,
                                                         AboutLinks[2].text}));
    EXPECT_EQ(seen.hovered, (std::vector<int>{1, 2, 3, NoLink}));
    EXPECT_EQ(seen.cursorSet, (std::vector<BOOL>{TRUE, TRUE, TRUE}));
    EXPECT_EQ(opened, std::vector<std::string>{std::string("mailto:") + AboutLinks[1].text});
    EXPECT_EQ(seen.linkColour, RGB(0, 0, 255));
    EXPECT_TRUE(seen.linkBrush);
    EXPECT_NE(seen.labelColour, RGB(0, 0, 255)) << "a label took the links' colour";
}

TEST_F(SmallFeaturesTest, ContentsOpensHelpChmNextToTheProgram) {
    Open("");
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_CONTENTS, 0), 0);
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string expected(program);
    expected = expected.substr(0, expected.rfind('\\') + 1) + "help.chm";
    EXPECT_EQ(opened, std::vector<std::string>{expected});
}
