#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/window/layout.h"
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
