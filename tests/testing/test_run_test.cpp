// The rows of a test run: what the probes write into them, and what the
// closing of the Testing Servers dialog does with them.
#include "manager/testing/test_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/catalogue/catalogue_texts.h"
#include "tests/catalogue/catalogue_fixture.h"

static const CheckTime SomeTime = {2009, 12, 1, 14, 3};

class TestRunTest : public ::testing::Test {
protected:
    void SetUp() override { InitCatalogue(&catalogue, &view); }

    // Rows of "My Proxy Servers" (the current list): "address type status".
    void Add(const char* address, int typeFlag, int statusCode) {
        ASSERT_GE(AddServerRow(&catalogue, MyProxyServersSlot, address, typeFlag, statusCode), 0) << address;
    }
    void Open(const std::vector<int>& selected) { OpenTestRun(&run, &catalogue, selected, TestingSettings()); }
    std::string Cell(int slot, int row, int column) const { return catalogue.lists[slot].Row(row).text[column]; }
    std::vector<std::string> Addresses(int slot) const {
        std::vector<std::string> addresses;
        for (int row = 0; row < catalogue.lists[slot].Count(); ++row)
            addresses.push_back(Cell(slot, row, ServerAddress));
        return addresses;
    }

    RecordingView view;
    ProxyCatalogue catalogue;
    TestRun run;
};

TEST_F(TestRunTest, OpeningTakesTheSelectedRowsAndClearsTheCounts) {
    Add("10.0.0.1:80", Http, StatusCodeUntested);
    Add("10.0.0.2:80", Http, StatusCodeUntested);
    Add("10.0.0.3:80", Socks, StatusCodeUntested);
    run.tested = run.alive = run.dead = 5;
    run.cancel = 1;
    int before = run.number;
    Open({2, 0, 7});  // a row that does not exist is left out
    EXPECT_EQ(run.number, before + 1);
    EXPECT_EQ(run.cancel, 0);
    EXPECT_EQ(run.tested + run.alive + run.dead, 0);
    EXPECT_EQ(run.rows, (std::vector<int>{2, 0}));
    EXPECT_EQ(run.addresses, (std::vector<std::string>{"10.0.0.3:80", "10.0.0.1:80"}));
    EXPECT_EQ(run.socks, (std::vector<int>{1, 0}));
    EXPECT_EQ(run.request, "GET http://www.example.com/ HTTP/1.1\nHost: www.example.com:80\nConnection: close\n\n");
}

TEST_F(TestRunTest, MarkingARowTestingEmptiesItsDelayAndTellsTheProbe) {
    Add("10.0.0.1:80", Http, StatusCodeAlive);
    Add("10.0.0.2:1080", Socks, StatusCodeUntested);
    Add("10.0.0.3:1080", Socks, StatusCodeUntested);
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerDelay, "120");
    SetServerText(&catalogue, MyProxyServersSlot, 2, ServerTypeColumn, "socks");  // only "Socks" greets
    Open({0, 1, 2});
    EXPECT_EQ(MarkRowTesting(&run, 0), 0);
    EXPECT_EQ(MarkRowTesting(&run, 1), 1);
    EXPECT_EQ(MarkRowTesting(&run, 2), 0);
    EXPECT_EQ(MarkRowTesting(&run, 3), -1);
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "10.0.0.1:80|Http|Testing||");
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).icon, ImageOther);
}

TEST_F(TestRunTest, VerdictsWriteDelayStatusAndLastCheckAndCount) {
    Add("10.0.0.1:80", Http, StatusCodeUntested);
    Add("10.0.0.2:80", Http, StatusCodeUntested);
    Add("10.0.0.3:80", Http, StatusCodeUntested);
    Open({0, 1, 2});
    for (int row = 0; row < 3; ++row) MarkRowTesting(&run, row);
    ApplyVerdict(&run, ProbeVerdict{run.number, 0, 1, 87}, SomeTime);
    ApplyVerdict(&run, ProbeVerdict{run.number, 1, 0, 412}, SomeTime);  // a reply that fails the rule
    ApplyVerdict(&run, ProbeVerdict{run.number, 2, 0, -1}, CheckTime{2009, 3, 7, 9, 5});
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "10.0.0.1:80|Http|Alive|87|2009.12.1 14:3");
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 1), "10.0.0.2:80|Http|Dead|412|2009.12.1 14:3");
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 2), "10.0.0.3:80|Http|Dead||2009.3.7 9:5");
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).icon, ImageAlive);
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(1).icon, ImageDead);
    EXPECT_EQ(run.tested, 3);
    EXPECT_EQ(run.alive, 1);
    EXPECT_EQ(run.dead, 2);
}

TEST_F(TestRunTest, VerdictsOfAnotherRunOrAfterClosingChangeNothing) {
    Add("10.0.0.1:80", Http, StatusCodeUntested);
    Open({0});
    MarkRowTesting(&run, 0);
    ApplyVerdict(&run, ProbeVerdict{run.number - 1, 0, 1, 5}, SomeTime);  // an earlier run's
    ApplyVerdict(&run, ProbeVerdict{run.number, 9, 1, 5}, SomeTime);      // a row that is not there
    EXPECT_EQ(Cell(MyProxyServersSlot, 0, ServerStatus), StatusTestingText);
    EXPECT_EQ(run.tested, 0);
    CloseTestRunRows(&run);
    ApplyVerdict(&run, ProbeVerdict{run.number, 0, 1, 5}, SomeTime);
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "10.0.0.1:80|Http|Untested||");
    EXPECT_EQ(run.tested, 0);
}

TEST_F(TestRunTest, ClosingReturnsTestingRowsAndMovesEveryDeadRowInOnePass) {
    Add("10.0.0.1:80", Http, StatusCodeUntested);   // 0 selected, Dead in this run
    Add("10.0.0.2:80", Http, StatusCodeUntested);   // 1 selected, still Testing
    Add("10.0.0.3:80", Socks, StatusCodeDead);      // 2 not selected, Dead from before
    Add("10.0.0.4:80", Http, StatusCodeAlive);      // 3 selected, Alive
    Add("10.0.0.5:80", Http, StatusCodeAlive);       // 4 selected, never started
    Add("10.0.0.6:80", Http, StatusCodeUntested);   // 5 selected, Dead, but "Dead" holds it
    ASSERT_GE(AddServerRow(&catalogue, DeadSlot, "10.0.0.6:80", Http, StatusCodeDead), 0);
    SetServerText(&catalogue, MyProxyServersSlot, 2, ServerStatus, "DEAD");  // any letter case counts
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerTypeColumn, "HTTP");
    Open({0, 1, 3, 4, 5});
    for (int row : {0, 1, 3, 5}) MarkRowTesting(&run, row);
    ApplyVerdict(&run, ProbeVerdict{run.number, 0, 0, -1}, SomeTime);
    ApplyVerdict(&run, ProbeVerdict{run.number, 3, 1, 20}, SomeTime);
    ApplyVerdict(&run, ProbeVerdict{run.number, 5, 0, -1}, SomeTime);
    view.events.clear();

    CloseTestRunRows(&run);

    EXPECT_EQ(Addresses(MyProxyServersSlot), (std::vector<std::string>{"10.0.0.2:80", "10.0.0.4:80", "10.0.0.5:80"}));
    EXPECT_EQ(Cell(MyProxyServersSlot, 0, ServerStatus), StatusUntestedText);
    EXPECT_EQ(Cell(MyProxyServersSlot, 1, ServerStatus), StatusAliveText);
    EXPECT_EQ(Cell(MyProxyServersSlot, 2, ServerStatus), StatusAliveText);
    // In the order they stood, after what "Dead" held; the type read as
    // http in any case moves as Http, any other as Socks.
    ASSERT_EQ(Addresses(DeadSlot), (std::vector<std::string>{"10.0.0.6:80", "10.0.0.1:80", "10.0.0.3:80"}));
    EXPECT_EQ(RowSummary(catalogue, DeadSlot, 1), "10.0.0.1:80|Http|Dead||");
    EXPECT_EQ(RowSummary(catalogue, DeadSlot, 2), "10.0.0.3:80|Socks|Dead||");
    // One update of each list for the move, whatever the number of rows.
    std::vector<std::string> resets;
    for (const std::string& event : view.events)
        if (event.rfind("reset", 0) == 0) resets.push_back(event);
    EXPECT_EQ(resets, (std::vector<std::string>{"reset 16", "reset 18"}));
}

TEST_F(TestRunTest, ClosingWhileDeadIsShownMovesNothing) {
    ASSERT_GE(AddServerRow(&catalogue, DeadSlot, "10.0.0.1:80", Http, StatusCodeDead), 0);
    ASSERT_GE(AddServerRow(&catalogue, DeadSlot, "10.0.0.2:80", Http, StatusCodeUntested), 0);
    catalogue.currentSlot = DeadSlot;
    Open({1});
    MarkRowTesting(&run, 1);
    ApplyVerdict(&run, ProbeVerdict{run.number, 1, 0, -1}, SomeTime);
    CloseTestRunRows(&run);
    EXPECT_EQ(Addresses(DeadSlot), (std::vector<std::string>{"10.0.0.1:80", "10.0.0.2:80"}));
    EXPECT_EQ(Cell(DeadSlot, 1, ServerStatus), StatusDeadText);
}

TEST(TestingTexts, DialogLinesCarryTheCounts) {
    EXPECT_EQ(TestingProgressText(0, 0), "Testing 0 of 0 servers");
    EXPECT_EQ(TestingProgressText(12, 3000), "Testing 12 of 3000 servers");
    EXPECT_EQ(TestingCountsText(4, 17), "Alive: 4    Dead: 17");
}
