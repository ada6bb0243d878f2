#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "manager/window/layout.h"
#include "manager/window/save_message.h"
#include "manager/window/server_sort.h"
#include "manager/window/status_counts.h"

class SortTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitCatalogue(&catalogue, nullptr);
        InitSortState(&state);
    }
    void Row(const char* address, const char* delay, const char* lastCheck) {
        int row = AddServerRow(&catalogue, MyProxyServersSlot, address, Http, 0);
        SetServerText(&catalogue, MyProxyServersSlot, row, ServerDelay, delay);
        SetServerText(&catalogue, MyProxyServersSlot, row, ServerLastCheck, lastCheck);
    }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        const ServerList& list = catalogue.lists[MyProxyServersSlot];
        for (int row = 0; row < list.Count(); ++row) texts.push_back(list.Row(row).text[column]);
        return texts;
    }
    ProxyCatalogue catalogue;
    SortState state;
};

TEST_F(SortTest, DelaySortsByValueAndTheSecondClickReverses) {
    Row("a:1", "120", "");
    Row("b:1", "95", "");
    Row("c:1", "", "");
    Row("d:1", "1000", "");
    SortServerColumn(&catalogue, MyProxyServersSlot, &state, ServerDelay);
    EXPECT_EQ(Column(ServerDelay), (std::vector<std::string>{"", "95", "120", "1000"}));
    SortServerColumn(&catalogue, MyProxyServersSlot, &state, ServerDelay);
    EXPECT_EQ(Column(ServerDelay), (std::vector<std::string>{"1000", "120", "95", ""}));
    SortServerColumn(&catalogue, MyProxyServersSlot, &state, ServerDelay);
    EXPECT_EQ(Column(ServerDelay), (std::vector<std::string>{"", "95", "120", "1000"}));
}

TEST_F(SortTest, TextColumnsIgnoreCaseAndLastCheckSortsAsText) {
    Row("beta:1", "", "2026.9.30 10:0");
    Row("Alpha:1", "", "2026.10.1 10:0");
    Row("alpha:2", "", "2026.9.4 10:0");
    SortServerColumn(&catalogue, MyProxyServersSlot, &state, ServerAddress);
    EXPECT_EQ(Column(ServerAddress), (std::vector<std::string>{"Alpha:1", "alpha:2", "beta:1"}));
    SortServerColumn(&catalogue, MyProxyServersSlot, &state, ServerLastCheck);
    // As text, the first of October comes before the thirtieth of September.
    EXPECT_EQ(Column(ServerLastCheck), (std::vector<std::string>{"2026.10.1 10:0", "2026.9.30 10:0", "2026.9.4 10:0"}));
}

TEST_F(SortTest, StateIsPerColumnAndSharedAcrossLists) {
    Row("b:1", "", "");
    Row("a:1", "", "");
    AddServerRow(&catalogue, NewSlot, "y:1", Http, 0);
    AddServerRow(&catalogue, NewSlot, "z:1", Http, 0);
    SortServerColumn(&catalogue, MyProxyServersSlot, &state, ServerAddress);  // ascending
    SortServerColumn(&catalogue, NewSlot, &state, ServerAddress);             // the next click: descending
    EXPECT_EQ(catalogue.lists[NewSlot].Row(0).text[ServerAddress], "z:1");
    EXPECT_EQ(state.key[ServerAddress], 0);
    EXPECT_EQ(state.key[ServerDelay], 6);
}

TEST(ServerCounts, CountsExactTypeTexts) {
    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    AddServerRow(&catalogue, NewSlot, "a:1", Http, 0);
    AddServerRow(&catalogue, NewSlot, "b:1", Socks, 0);
    AddServerRow(&catalogue, NewSlot, "c:1", Socks, 0);
    SetServerText(&catalogue, NewSlot, 2, ServerTypeColumn, "socks");
    EXPECT_EQ(ServerCountsText(catalogue.lists[NewSlot]), "Total: 3   Socks: 1   Http: 1");
    EXPECT_EQ(ServerCountsText(catalogue.lists[DeadSlot]), "Total: 0   Socks: 0   Http: 0");
}

TEST(Layout, WindowCorrections) {
    struct Case {
        Box window;
        Box corrected;
    } cases[] = {
        {{100, 100, 400, 300}, {100, 100, 500, 500}},       // 300 x 200 snaps to 400 x 400
        {{-350, 10, 250, 610}, {0, 10, 600, 610}},          // left edge at -350 jumps to 0
        {{-250, 10, 350, 610}, {-250, 10, 350, 610}},       // at -250 it stays
        {{10, -301, 610, 299}, {10, 0, 610, 600}},
        {{-400, -400, -100, -100}, {0, 0, 400, 400}},
    };
    for (const Case& c : cases) {
        Box got = CorrectWindow(c.window);
        EXPECT_EQ(got.left, c.corrected.left);
        EXPECT_EQ(got.top, c.corrected.top);
        EXPECT_EQ(got.right, c.corrected.right);
        EXPECT_EQ(got.bottom, c.corrected.bottom);
    }
}

TEST(Layout, PlacesThePanesAroundTheBars) {
    LayoutInput in;
    in.client = {0, 0, 600, 450};
    in.statusBarHeight = 20;
    in.verticalBar = {180, 0, 187, 65535};
    in.horizontalBar = {0, 150, 65535, 157};
    in.proxyCaption = {140, 103, 527, 119};
    in.portCaption = {140, 5, 525, 21};
    in.categoryList = {2, 21, 116, 403};
    in.portList = {140, 21, 525, 94};
    LayoutResult out = LayOut(in);
    EXPECT_EQ(out.proxyCaption.left, 190);
    EXPECT_EQ(out.proxyCaption.top, 157);  // the bar's bottom edge
    EXPECT_EQ(Height(out.proxyCaption), 16);
    EXPECT_EQ(out.serverList.left, 190);
    EXPECT_EQ(out.serverList.top, 173);
    EXPECT_EQ(out.serverList.right, 190 + 600 - 187 - 6);
    EXPECT_EQ(out.serverList.bottom, 430);
    EXPECT_EQ(out.portCaption.left, 190);
    EXPECT_EQ(out.portCaption.top, 5);
    EXPECT_EQ(out.categoryList.right, 180);
    EXPECT_EQ(out.categoryList.bottom, 430);
    EXPECT_EQ(out.portList.top, 21);
    EXPECT_EQ(out.portList.bottom, 157 - 5);
}

TEST(Layout, DragLimitsAndStart) {
    Box window = {100, 50, 700, 650};
    Box h = HorizontalDragArea(window);
    EXPECT_EQ(h.top, 230);
    EXPECT_EQ(h.bottom, 500);
    EXPECT_EQ(h.left, 100);
    Box v = VerticalDragArea(window);
    EXPECT_EQ(v.left, 280);
    EXPECT_EQ(v.right, 550);
    EXPECT_TRUE(StartsDrag(0x0001));
    EXPECT_FALSE(StartsDrag(0x0001 | 0x0008));  // with Ctrl
    EXPECT_FALSE(StartsDrag(0x0001 | 0x0004));  // with Shift
    EXPECT_FALSE(StartsDrag(0x0002));
}

TEST(Layout, BarsAreHeldWhereADragCouldPutThem) {
    // A window whose client area begins 4 pixels right of and 42 below its
    // top-left corner: the drags reach client y 138 to 407 and x 176 to 445.
    Box window = {100, 50, 700, 650};
    const int clientTop = 92, clientLeft = 104;
    struct Case {
        int stored;
        int top;
        int left;
    } cases[] = {
        {150, 150, 176}, {180, 180, 180}, {300, 300, 300}, {138, 138, 176}, {407, 407, 407}, {445, 407, 445},
        {-50, 138, 176}, {999999, 407, 445}, {INT_MIN, 138, 176}, {INT_MAX, 407, 445},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HeldSplitterTop(c.stored, window, clientTop), c.top) << c.stored;
        EXPECT_EQ(HeldSplitterLeft(c.stored, window, clientLeft), c.left) << c.stored;
    }
}

static std::string Text(const WindowRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " + std::to_string(rect.width) + "x" +
           std::to_string(rect.height);
}

TEST(Layout, StoredWindowFitsTheWorkArea) {
    const Box work = {0, 0, 1280, 994};  // a taskbar along the bottom
    struct Case {
        WindowRect stored;
        int onAMonitor;
        WindowRect fitted;
    } cases[] = {
        {{10, 20, 700, 550}, 1, {10, 20, 700, 550}},               // fits: unchanged
        {{-250, 900, 700, 550}, 1, {-250, 900, 700, 550}},         // partly off one monitor: left so
        {{10, 20, 700, 999999}, 1, {10, 0, 700, 994}},             // too high: the work area's height
        {{300, 20, 100000, 550}, 1, {0, 20, 1280, 550}},           // too wide
        {{10, 20, 300, 200}, 1, {10, 20, 400, 400}},               // the minimum size
        {{5000, 20, 700, 550}, 0, {580, 20, 700, 550}},            // on no monitor: moved in
        {{-5000, -5000, 700, 550}, 0, {0, 0, 700, 550}},
        {{INT_MAX, INT_MIN, INT_MAX, INT_MIN}, 0, {0, 0, 1280, 400}},
        {{INT_MIN, INT_MAX, -1, INT_MAX}, 0, {0, 0, 400, 994}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(FitWindowRect(c.stored, work, c.onAMonitor)), Text(c.fitted)) << Text(c.stored);
}

TEST(Layout, StoredWindowBoxHoldsItsEdgesWithinInt) {
    Box box = StoredWindowBox(WindowRect{INT_MAX - 10, INT_MIN, 700, -5});
    EXPECT_EQ(box.right, INT_MAX);
    EXPECT_EQ(box.bottom, INT_MIN + MinimumWindowSize);
    box = StoredWindowBox(WindowRect{10, 20, 700, 550});
    EXPECT_EQ(box.right, 710);
    EXPECT_EQ(box.bottom, 570);
}

TEST(Layout, WorkspaceCoordinatesFollowTheTaskbar) {
    Box rect = {10, 20, 650, 500};
    Box shifted = WorkspaceToScreen(rect, Box{0, 0, 1280, 1024}, Box{0, 40, 1280, 1024});  // taskbar on top
    EXPECT_EQ(shifted.top, 60);
    EXPECT_EQ(shifted.bottom, 540);
    EXPECT_EQ(shifted.left, 10);
    Box same = WorkspaceToScreen(Box{1300, 20, 1900, 500}, Box{1280, 0, 2560, 1024}, Box{1280, 0, 2560, 1024});
    EXPECT_EQ(same.left, 1300);
    EXPECT_EQ(same.top, 20);
}

TEST(SaveFailureMessage, NamesTheFolderAndTheReason) {
    const char* folder = "C:\\Users\\Ann\\Documents\\Tessaron";
    struct Case {
        SaveOutcome outcome;
        const char* reason;
    } cases[] = {
        {{SaveFileInUse, CatalogueDataFile, 32}, "proxylist.dat is in use by another program"},
        {{SaveFileReadOnly, SettingsDataFile, 5}, "config.ini is read-only"},
        {{SaveAccessDenied, CatalogueDataFile, 5}, "proxylist.dat may not be written (access denied)"},
        {{SaveDiskFull, SettingsDataFile, 112}, "the disk is full"},
        {{SaveFailed, SettingsDataFile, 1392}, "config.ini could not be written (error 1392)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SaveFailureMessage(folder, c.outcome),
                  std::string("Tessaron could not save its data in ") + folder + ": " + c.reason);
}
