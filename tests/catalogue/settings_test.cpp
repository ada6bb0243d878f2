#include "manager/catalogue/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue_fixture.h"
#include "manager/window/stored_ports.h"
#include "manager/catalogue/ini_profile.h"

// Plays the main window: records what the load does and answers the save.
class FakeManager : public ManagerStateAccess {
public:
    int IsMaximized() override { return maximized; }
    WindowRect OuterRect() override { return rect; }
    void PlaceWindow(const WindowRect& placed) override {
        rect = placed;
        Note("place " + std::to_string(placed.left) + "," + std::to_string(placed.top) + " " +
             std::to_string(placed.width) + "x" + std::to_string(placed.height));
    }
    void SizeWindow(int width, int height) override {
        rect.width = width;
        rect.height = height;
        Note("size " + std::to_string(width) + "x" + std::to_string(height));
    }
    int SplitterTop() override { return splitterTop; }
    int SplitterLeft() override { return splitterLeft; }
    void PlaceSplitters(int top, int left) override {
        splitterTop = top;
        splitterLeft = left;
        Note("splitters " + std::to_string(top) + "," + std::to_string(left));
    }
    int MappedPortCount() override { return (int)ports.size(); }
    // Rows as the window shows them.
    StoredPort MappedPortRow(int row) override { return StoredFromPort(ports[row]); }
    void AppendMappedPort(const StoredPort& stored) override {
        MappedPort port = PortFromStored(stored);
        ports.push_back(port);
        Note("port " + port.text[PortName] + "|" + port.text[PortNumber] + "|" + port.text[PortStatus] + "|" +
             port.text[PortServer]);
    }
    void SetLocalOnly(uint8_t value) override { Note("localOnly " + std::to_string(value)); }
    void SetAutorun(int flag) override { Note("autorun " + std::to_string(flag)); }

    void Note(const std::string& what) { calls.push_back(what); }
    int maximized = 0;
    WindowRect rect = {0, 0, 0, 0};
    int splitterTop = 0;
    int splitterLeft = 0;
    std::vector<MappedPort> ports;
    std::vector<std::string> calls;
};

static MappedPort Port(const char* name, const char* number, const char* status, const char* server) {
    MappedPort port;
    port.text[PortName] = name;
    port.text[PortNumber] = number;
    port.text[PortStatus] = status;
    port.text[PortServer] = server;
    return port;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { InitCatalogue(&catalogue, nullptr); }
    void Load() { LoadState(&catalogue, &settings, &storage, &manager, &flags); }
    void Save() { SaveState(&catalogue, &settings, &storage, &manager, &flags); }

    ProxyCatalogue catalogue;
    MapProfile settings;
    MemoryStorage storage;
    FakeManager manager;
    ManagerFlags flags = {0, 0};
};

TEST_F(SettingsTest, FirstRunWritesTheDefaultsInOrderAndLoadsPortDefault) {
    WriteFirstRunDefaults(&settings);
    std::vector<std::string> writes = {"port0/name=Default", "port0/port=9800", "port0/status=0", "port0/server=None",
                                       "main/ports_count=1"};
    EXPECT_EQ(settings.writes, writes);

    Load();
    std::vector<std::string> calls = {"localOnly 1", "autorun 1", "port Default|9800|Disabled|None", "size 600x500",
                                      "splitters 150,180"};
    EXPECT_EQ(manager.calls, calls);
    EXPECT_EQ(flags.autorun, 1);
    EXPECT_EQ(flags.acceptLocal, 1);
}

TEST_F(SettingsTest, LoadsStoredValuesInTheirOrder) {
    settings.values = {{"categories/cat1", "Work(4)"},
                       {"main/autorun", "0"},
                       {"network/acceptfromlocalcomputer", "2"},
                       {"main/ports_count", "3"},
                       {"port0/name", "Web"}, {"port0/port", "9800"}, {"port0/status", "1"}, {"port0/server", "a:1"},
                       {"port1/name", "Mail"}, {"port1/port", "9801x"}, {"port1/status", "0"}, {"port1/server", "None"},
                       {"port2/name", "Odd"}, {"port2/port", "9802"}, {"port2/status", "maybe"}, {"port2/server", "b:2"},
                       {"port3/name", "Leftover"}, {"port3/port", "9803"},
                       {"window/left", "10"}, {"window/top", "20"}, {"window/width", "700"}, {"window/height", "550"},
                       {"window/spliter_top", "200"}, {"window/spliter_left", "250"}};
    Load();
    std::vector<std::string> calls = {"localOnly 1",
                                      "autorun 0",
                                      "port Web|9800|Enabled|a:1",
                                      "port Mail|9801x|Disabled|None",
                                      "port Odd|9802|maybe|b:2",
                                      "place 10,20 700x550",
                                      "splitters 200,250"};
    EXPECT_EQ(manager.calls, calls);
    EXPECT_EQ(flags.acceptLocal, 2);
    ASSERT_EQ(catalogue.categories.size(), 4u);
    EXPECT_EQ(catalogue.categories[3].name, "Work");
}

// Any nonzero value is local-only, as Preferences shows it: a multiple of
// 256 has a low byte of 0, which the relays would read as "any client".
TEST_F(SettingsTest, EveryNonzeroAcceptLocalValueReachesTheTableAsOne) {
    struct Case {
        const char* stored;
        const char* table;
    } cases[] = {{"1", "localOnly 1"}, {"256", "localOnly 1"}, {"512", "localOnly 1"}, {"-256", "localOnly 1"},
                 {"-1", "localOnly 1"}, {"0", "localOnly 0"},   {"", "localOnly 1"}};
    for (const Case& c : cases) {
        manager.calls.clear();
        settings.values["network/acceptfromlocalcomputer"] = c.stored;
        Load();
        ASSERT_FALSE(manager.calls.empty());
        EXPECT_EQ(manager.calls[0], c.table) << c.stored;
    }
    // The stored value itself goes back as it was.
    settings.values["network/acceptfromlocalcomputer"] = "256";
    Load();
    settings.writes.clear();
    Save();
    EXPECT_EQ(settings.values["network/acceptfromlocalcomputer"], "256");
}

TEST_F(SettingsTest, ZeroWidthIgnoresTheStoredPosition) {
    settings.values = {{"window/left", "10"}, {"window/top", "20"}, {"window/width", "0"}, {"window/height", "550"}};
    Load();
    EXPECT_EQ(manager.calls[manager.calls.size() - 2], "size 600x500");
}

TEST_F(SettingsTest, SaveWritesEverythingAndMapsPortStatuses) {
    manager.rect = {5, 6, 640, 480};
    manager.splitterTop = 160;
    manager.splitterLeft = 190;
    manager.ports = {Port("Web", "9800", "Enabled", "a:1"), Port("Mail", "9801", "Disabled", "None"),
                     Port("Odd", "9802", "maybe", "b:2")};
    flags = {1, 0};
    AddServerRow(&catalogue, MyProxyServersSlot, "m:1", Http, 0);
    Save();
    std::vector<std::string> head = {"window/left=5", "window/top=6", "window/width=640", "window/height=480",
                                     "main/autorun=1", "network/acceptfromlocalcomputer=0", "window/spliter_top=160",
                                     "window/spliter_left=190", "main/ports_count=3"};
    ASSERT_GE(settings.writes.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(settings.writes.begin(), settings.writes.begin() + head.size()), head);
    std::vector<std::string> tail = {"port0/name=Web",   "port0/port=9800",   "port0/status=1",   "port0/server=a:1",
                                     "port1/name=Mail",  "port1/port=9801",   "port1/status=0",   "port1/server=None",
                                     "port2/name=Odd",   "port2/port=9802",   "port2/status=maybe", "port2/server=b:2"};
    EXPECT_EQ(std::vector<std::string>(settings.writes.end() - tail.size(), settings.writes.end()), tail);
    EXPECT_EQ(storage.text, "m:1;0;0;;;16\r\n");
}

TEST_F(SettingsTest, MaximizedWindowKeepsTheGeometryStoredBefore) {
    settings.values = {{"window/left", "10"}, {"window/top", "20"}, {"window/width", "700"}, {"window/height", "550"}};
    manager.maximized = 1;
    manager.rect = {-8, -8, 1296, 1040};
    Save();
    EXPECT_EQ(settings.values["window/left"], "10");
    EXPECT_EQ(settings.values["window/width"], "700");
    for (const std::string& write : settings.writes) EXPECT_NE(write.rfind("window/left", 0), 0u) << write;
}

TEST(SettingsFile, LeftoverPortSectionsStayButAreNotRead) {
    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    IniProfile settings("");
    MemoryStorage storage;
    FakeManager manager;
    ManagerFlags flags = {1, 1};
    manager.ports = {Port("a", "1", "Enabled", "None"), Port("b", "2", "Disabled", "None"),
                     Port("c", "3", "Disabled", "x:1")};
    SaveState(&catalogue, &settings, &storage, &manager, &flags);
    manager.ports.pop_back();
    IniProfile reopened(settings.Text());
    SaveState(&catalogue, &reopened, &storage, &manager, &flags);

    IniProfile next(reopened.Text());
    char name[RowTextSize];
    next.ReadText("port2", "name", "", name, sizeof name);
    EXPECT_STREQ(name, "c");
    FakeManager loaded;
    LoadState(&catalogue, &next, &storage, &loaded, &flags);
    ASSERT_EQ(loaded.ports.size(), 2u);
    EXPECT_EQ(loaded.ports[0].text[PortStatus], "Enabled");
    EXPECT_EQ(loaded.ports[1].text[PortName], "b");
}

// A damaged ports_count reads at most MappedPortLimit sections.
TEST_F(SettingsTest, PortCountIsCapped) {
    struct Case {
        const char* stored;
        size_t rows;
    } cases[] = {{"3", 3}, {"256", 256}, {"257", 256}, {"100000", 256}, {"2147483647", 256}, {"-5", 0}};
    for (const Case& c : cases) {
        manager.ports.clear();
        settings.values["main/ports_count"] = c.stored;
        Load();
        EXPECT_EQ(manager.ports.size(), c.rows) << c.stored;
    }
}
