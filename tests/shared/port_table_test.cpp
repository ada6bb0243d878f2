#include "shared/port_table.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

TEST(PortEventName, PutsThePortTextUnchangedIntoTheName) {
    char name[KernelNameSize];
    PortEventName("9800", name);
    EXPECT_STREQ(name, "Local\\Tessaron10_Port9800_Event");
    PortEventName("9800x", name);
    EXPECT_STREQ(name, "Local\\Tessaron10_Port9800x_Event");
    PortEventName("", name);
    EXPECT_STREQ(name, "Local\\Tessaron10_Port_Event");
}

TEST(PortEventName, CutsALongPortTextToTheBuffer) {
    std::string longText(1000, '7');
    char name[KernelNameSize + 8];
    std::memset(name, 'Z', sizeof name);
    PortEventName(longText.c_str(), name);
    EXPECT_EQ(std::strlen(name), (size_t)KernelNameSize - 1);
    EXPECT_EQ(name[KernelNameSize], 'Z');  // nothing written past the buffer
}

class PortTableTest : public ::testing::Test {
protected:
    void SetUp() override { std::memset(&table, 0, sizeof table); }
    void Use(int index, int port) {
        table.ports[index].inUse = 1;
        table.ports[index].port = port;
    }
    SharedPortTable table;
};

TEST_F(PortTableTest, FindPortEntryTakesTheFirstInUseEntryWithThePort) {
    EXPECT_EQ(FindPortEntry(&table, 9800), NoPortEntry);
    table.ports[0].port = 9800;  // not in use: passed over
    Use(3, 9800);
    Use(7, 9800);
    Use(5, 9801);
    EXPECT_EQ(FindPortEntry(&table, 9800), 3);
    EXPECT_EQ(FindPortEntry(&table, 9801), 5);
    EXPECT_EQ(FindPortEntry(&table, 9802), NoPortEntry);
    table.ports[3].inUse = 0;
    EXPECT_EQ(FindPortEntry(&table, 9800), 7);
    Use(15, 1);
    EXPECT_EQ(FindPortEntry(&table, 1), 15);
}

TEST_F(PortTableTest, FindFreePortEntryTakesTheLowestFreeOne) {
    EXPECT_EQ(FindFreePortEntry(&table), 0);
    Use(0, 1);
    Use(1, 2);
    EXPECT_EQ(FindFreePortEntry(&table), 2);
    for (int i = 0; i < PortEntryCount; ++i) Use(i, i + 1);
    EXPECT_EQ(FindFreePortEntry(&table), NoPortEntry);
}

TEST_F(PortTableTest, ServerTextIsCutTo63Characters) {
    std::string exact(63, 'h');
    SetEntryServer(&table.ports[0], exact.c_str());
    EXPECT_EQ(std::string(table.ports[0].server), exact);
    std::string tooLong(70, 'h');
    SetEntryServer(&table.ports[0], tooLong.c_str());
    EXPECT_EQ(std::string(table.ports[0].server), std::string(63, 'h'));
    EXPECT_EQ(table.ports[0].enabled, 0);  // the cut does not spill into the next field
}

TEST_F(PortTableTest, ReadEntryServerNeverReadsPastTheField) {
    // A table written by something other than the manager may lack the terminator.
    std::memset(table.ports[2].server, 'x', PortServerSize);
    table.ports[2].enabled = 0x41414141;
    char buffer[256];
    ReadEntryServer(&table.ports[2], buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), std::string(63, 'x'));
    char small[5];
    ReadEntryServer(&table.ports[2], small, sizeof small);
    EXPECT_STREQ(small, "xxxx");
}

TEST_F(PortTableTest, LayoutMatchesTheByteOffsets) {
    WriteTableHeader(&table);
    Use(1, 9800);
    SetEntryServer(&table.ports[1], "10.0.0.5:3128");
    table.ports[1].enabled = 1;
    const unsigned char* bytes = (const unsigned char*)&table;
    EXPECT_EQ(std::memcmp(bytes, "SDF", 4), 0);
    const unsigned char* entry = bytes + 4 + 76 * 1;
    EXPECT_EQ(entry[0], 1);                                 // inUse, little-endian
    EXPECT_EQ(entry[4] | (entry[5] << 8), 9800);            // port
    EXPECT_STREQ((const char*)entry + 8, "10.0.0.5:3128");  // server
    EXPECT_EQ(entry[72], 1);                                // enabled
}
