#include "manager/ports/mapped_ports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>


// Plays the relays: a relay "runs" while its event name is in the set.
class FakeRelays : public RelayHost {
public:
    int OpenPortEvent(const char* eventName) override {
        opened = eventName;
        return running.count(eventName) != 0;
    }
    void SetAndClosePortEvent() override { signalled.push_back(Short(opened)); }
    void ClosePortEvent() override {}
    void StartRelay(const char* portText) override {
        started.push_back(portText);
        if (whileStarting) whileStarting();
        if (slowStart) {
            living.insert(std::atoi(portText));
            return;
        }
        char name[KernelNameSize];
        PortEventName(portText, name);
        running.insert(name);
    }
    int RelayProcessLives(int port) override { return living.count(port) != 0; }
    int RelayRuns(const char* portText) override {
        char name[KernelNameSize];
        PortEventName(portText, name);
        return running.count(name) != 0;
    }
    void Run(const char* portText) {
        char name[KernelNameSize];
        PortEventName(portText, name);
        running.insert(name);
    }
    void End(const char* portText) {
        char name[KernelNameSize];
        PortEventName(portText, name);
        running.erase(name);
        living.erase(std::atoi(portText));
    }
    static std::string Short(const std::string& name) {
        return name.substr(std::strlen("Local\\Tessaron10_Port"), name.size() - std::strlen("Local\\Tessaron10_Port") -
                                                                       std::strlen("_Event"));
    }
    // With slowStart a started relay's process lives but has no event yet,
    // as right after its launch.
    bool slowStart = false;
    // Runs inside each launch: the window may serve other calls meanwhile.
    std::function<void()> whileStarting;
    std::set<int> living;
    std::set<std::string> running;
    std::string opened;
    std::vector<std::string> started;
    std::vector<std::string> signalled;
};

class MappedPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitPortList(&list, nullptr);
        std::memset(&table, 0, sizeof table);
    }
    void Add(const char* name, const char* number, const char* status = "Disabled", const char* server = "None") {
        MappedPort port;
        port.text[PortName] = name;
        port.text[PortNumber] = number;
        port.text[PortStatus] = status;
        port.text[PortServer] = server;
        AppendPortRow(&list, port);
    }
    std::vector<std::string> Numbers() const {
        std::vector<std::string> numbers;
        for (const MappedPort& row : list.rows) numbers.push_back(row.text[PortNumber]);
        return numbers;
    }
    MappedPortList list;
    SharedPortTable table;
    FakeRelays relays;
};

TEST_F(MappedPortsTest, NewPortGoesOnTopStoppedAndSameValueIsRefused) {
    AddMappedPort(&list, "Web", "9800");
    AddMappedPort(&list, "Mail", "9801");
    AddMappedPort(&list, "Again", "09800");
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0].text[PortName], "Mail");
    EXPECT_EQ(list.rows[0].text[PortStatus], "Disabled");
    EXPECT_EQ(list.rows[0].text[PortServer], "None");
    EXPECT_TRUE(relays.started.empty());
}

TEST_F(MappedPortsTest, EnablingWritesTheEntryThenStartsTheRelay) {
    Add("Web", "9800x", "Disabled", "10.0.0.5:3128");
    SetPortEnabled(&list, 0, 1, &table, &relays);
    EXPECT_EQ(relays.started, std::vector<std::string>{"9800x"});
    EXPECT_TRUE(relays.signalled.empty());  // the relay creates its event itself
    EXPECT_EQ(table.ports[0].inUse, 1);
    EXPECT_EQ(table.ports[0].port, 9800);
    EXPECT_STREQ(table.ports[0].server, "10.0.0.5:3128");
    EXPECT_EQ(table.ports[0].enabled, 1);

    // Again while it runs: only the event is set.
    SetPortEnabled(&list, 0, 1, &table, &relays);
    EXPECT_EQ(relays.started.size(), 1u);
    EXPECT_EQ(relays.signalled, std::vector<std::string>{"9800x"});

    SetPortEnabled(&list, 0, 0, &table, &relays);
    EXPECT_EQ(table.ports[0].inUse, 0);
    EXPECT_EQ(table.ports[0].enabled, 0);
}

TEST_F(MappedPortsTest, DisablingAStoppedPortDoesNothing) {
    Add("Web", "9800");
    SetPortEnabled(&list, 0, 0, &table, &relays);
    EXPECT_TRUE(relays.started.empty());
    EXPECT_TRUE(relays.signalled.empty());
    EXPECT_EQ(table.ports[0].inUse, 0);
}

TEST_F(MappedPortsTest, SeventeenthRunningPortStaysStopped) {
    for (int i = 0; i < 17; ++i) {
        std::string number = std::to_string(9000 + i);
        Add("p", number.c_str());
        SetPortEnabled(&list, i, 1, &table, &relays);
    }
    EXPECT_EQ(relays.started.size(), 16u);
    for (int i = 0; i < PortEntryCount; ++i) EXPECT_EQ(table.ports[i].port, 9000 + i);
}

TEST_F(MappedPortsTest, RelaysStillStartingKeepTheirEntriesFromASeventeenthPort) {
    relays.slowStart = true;
    for (int i = 0; i <= PortEntryCount; ++i) Add("p", std::to_string(9000 + i).c_str(), "Enabled");
    StartEnabledPorts(&list, &table, &relays);
    EXPECT_EQ(relays.started.size(), 16u);
    for (int i = 0; i < PortEntryCount; ++i) {
        EXPECT_EQ(table.ports[i].inUse, 1);
        EXPECT_EQ(table.ports[i].port, 9000 + i);
    }
}

TEST_F(MappedPortsTest, EntryLeftByARelayThatEndedIsReused) {
    Add("Web", "9800", "Disabled", "a:1");
    SetPortEnabled(&list, 0, 1, &table, &relays);
    relays.End("9800");  // e.g. it could not bind, and ended by itself
    SetPortText(&list, 0, PortServer, "b:2");
    SetPortEnabled(&list, 0, 1, &table, &relays);
    EXPECT_EQ(relays.started.size(), 2u);
    EXPECT_STREQ(table.ports[0].server, "b:2");
    EXPECT_EQ(table.ports[1].inUse, 0);  // no second entry for the same port
}

TEST_F(MappedPortsTest, FullTableFreesEntriesWithoutARunningRelay) {
    for (int i = 0; i < PortEntryCount; ++i) {
        std::string number = std::to_string(9000 + i);
        Add("p", number.c_str());
        SetPortEnabled(&list, i, 1, &table, &relays);
    }
    relays.End("9003");
    relays.End("9007");
    Add("late", "9100");
    SetPortEnabled(&list, PortEntryCount, 1, &table, &relays);
    EXPECT_EQ(relays.started.back(), "9100");
    EXPECT_EQ(table.ports[3].port, 9100);
    EXPECT_EQ(table.ports[7].inUse, 0);
    EXPECT_EQ(table.ports[8].inUse, 1);  // running relays keep theirs
}

TEST_F(MappedPortsTest, SwitchGoesToEverySelectedRowAndToRunningRelaysOnly) {
    Add("a", "9800");
    Add("b", "9801");
    Add("c", "9802");
    SetPortEnabled(&list, 0, 1, &table, &relays);
    SetPortEnabled(&list, 2, 1, &table, &relays);
    SwitchSelectedPorts(&list, {0, 1, 2}, "10.0.0.9:8080", &table, &relays);
    for (const MappedPort& row : list.rows) EXPECT_EQ(row.text[PortServer], "10.0.0.9:8080");
    EXPECT_STREQ(table.ports[0].server, "10.0.0.9:8080");
    EXPECT_STREQ(table.ports[1].server, "10.0.0.9:8080");
    EXPECT_EQ(relays.signalled, (std::vector<std::string>{"9800", "9802"}));

    // The stopped one starts later with the server it was given.
    SetPortEnabled(&list, 1, 1, &table, &relays);
    EXPECT_STREQ(table.ports[2].server, "10.0.0.9:8080");
}

// A 60-character host with ":3128", cut to the entry's 63 characters,
// would reach the relay as port 31: such a server neither starts a port
// nor switches one, and the ports keep what they had.
TEST_F(MappedPortsTest, ServerLongerThanAnEntryNeitherStartsNorSwitches) {
    std::string fits = std::string(58, 'h') + ":3128";     // 63 characters
    std::string tooLong = std::string(60, 'h') + ":3128";  // 65
    Add("a", "9800", "Disabled", tooLong.c_str());
    Add("b", "9801", "Disabled", fits.c_str());
    Add("c", "9802", "Enabled", "None");
    EXPECT_EQ(SetPortEnabled(&list, 0, 1, &table, &relays), PortServerTooLong);
    EXPECT_TRUE(relays.started.empty());
    EXPECT_EQ(FindFreePortEntry(&table), 0) << "no entry taken";
    EXPECT_EQ(SetPortEnabled(&list, 1, 1, &table, &relays), PortsDone);
    EXPECT_EQ(std::string(table.ports[0].server), fits);
    EXPECT_EQ(SetPortEnabled(&list, 2, 1, &table, &relays), PortsDone);

    relays.signalled.clear();
    EXPECT_EQ(SwitchSelectedPorts(&list, {1, 2}, tooLong.c_str(), &table, &relays), PortServerTooLong);
    EXPECT_EQ(list.rows[1].text[PortServer], fits);
    EXPECT_EQ(list.rows[2].text[PortServer], "None");
    EXPECT_EQ(std::string(table.ports[0].server), fits);
    EXPECT_STREQ(table.ports[1].server, "None");
    EXPECT_TRUE(relays.signalled.empty());

    // Started together: the others start, the outcome tells of the one refused.
    relays.started.clear();
    EXPECT_EQ(SetSelectedPortsEnabled(&list, {0, 1, 2}, 1, &table, &relays), PortServerTooLong);
    EXPECT_TRUE(relays.started.empty()) << "the other two run already";
    list.rows[0].text[PortStatus] = "Enabled";
    relays.End("9801");
    EXPECT_EQ(StartEnabledPorts(&list, &table, &relays), PortServerTooLong);
    EXPECT_EQ(relays.started, (std::vector<std::string>{}));
    list.rows[1].text[PortStatus] = "Enabled";
    EXPECT_EQ(StartEnabledPorts(&list, &table, &relays), PortServerTooLong);
    EXPECT_EQ(relays.started, (std::vector<std::string>{"9801"}));
}

TEST_F(MappedPortsTest, EditMovesARunningRelayOnlyWhenTheNumberChanges) {
    Add("Web", "8080", "Enabled");
    SetPortEnabled(&list, 0, 1, &table, &relays);
    EditMappedPort(&list, 0, "Renamed", "08080", &table, &relays);
    EXPECT_EQ(list.rows[0].text[PortName], "Renamed");
    EXPECT_EQ(list.rows[0].text[PortNumber], "8080");  // same value: the text stays
    EXPECT_EQ(relays.started.size(), 1u);
    EXPECT_TRUE(relays.signalled.empty());

    EditMappedPort(&list, 0, "Renamed", "8081", &table, &relays);
    EXPECT_EQ(list.rows[0].text[PortNumber], "8081");
    EXPECT_EQ(relays.signalled, std::vector<std::string>{"8080"});  // the old relay is told to end
    EXPECT_EQ(relays.started.back(), "8081");
    EXPECT_EQ(table.ports[FindPortEntry(&table, 8081)].enabled, 1);
    EXPECT_EQ(FindPortEntry(&table, 8080), NoPortEntry);
}

TEST_F(MappedPortsTest, EditOfAStoppedPortStartsNothing) {
    Add("Web", "8080", "Disabled");
    EditMappedPort(&list, 0, "Web", "8081", &table, &relays);
    EXPECT_EQ(list.rows[0].text[PortNumber], "8081");
    EXPECT_TRUE(relays.started.empty());
}

TEST_F(MappedPortsTest, RemoveStopsAndDeletesEverySelectedRow) {
    Add("a", "1");
    Add("b", "2");
    Add("c", "3");
    Add("d", "4");
    SetPortEnabled(&list, 1, 1, &table, &relays);
    RemoveSelectedPorts(&list, {1, 2}, &table, &relays);
    EXPECT_EQ(Numbers(), (std::vector<std::string>{"1", "4"}));
    EXPECT_EQ(relays.signalled, std::vector<std::string>{"2"});
    EXPECT_EQ(FindPortEntry(&table, 2), NoPortEntry);
}

TEST_F(MappedPortsTest, StartUpStartsExactlyTheEnabledRows) {
    Add("a", "1", "Enabled");
    Add("b", "2", "Disabled");
    Add("c", "3", "enabled");
    Add("d", "4", "Enabled");
    StartEnabledPorts(&list, &table, &relays);
    EXPECT_EQ(relays.started, (std::vector<std::string>{"1", "4"}));
}

TEST_F(MappedPortsTest, StartUpStartsEveryStoredEnabledRowEvenIfTheMonitorMarksThemMeanwhile) {
    Add("a", "1", "Enabled");
    Add("b", "2", "Enabled");
    Add("c", "3", "Enabled");
    // The monitor's first pass, served while the first relay is launched:
    // none of the relays has its event yet.
    relays.slowStart = true;
    relays.whileStarting = [&] {
        for (MappedPort& row : list.rows) row.text[PortStatus] = "Disabled";
    };
    StartEnabledPorts(&list, &table, &relays);
    EXPECT_EQ(relays.started, (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(MappedPortsTest, NotifyAllRelaysSetsOnlyRunningOnes) {
    Add("a", "1");
    Add("b", "2");
    relays.Run("2");
    NotifyAllRelays(&list, &relays);
    EXPECT_EQ(relays.signalled, std::vector<std::string>{"2"});
}

TEST(PortStatusIcon, FollowsExactStatusTexts) {
    EXPECT_EQ(PortStatusIcon("Enabled"), 0);
    EXPECT_EQ(PortStatusIcon("Disabled"), 1);
    EXPECT_EQ(PortStatusIcon("enabled"), 2);
    EXPECT_EQ(PortStatusIcon(""), 2);
}
