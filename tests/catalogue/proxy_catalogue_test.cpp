#include "manager/catalogue/proxy_catalogue.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "catalogue_fixture.h"

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { InitCatalogue(&catalogue, &view); }
    ProxyCatalogue catalogue;
    RecordingView view;
};

struct AddressCase {
    const char* address;
    bool accepted;
};

static std::ostream& operator<<(std::ostream& out, const AddressCase& c) { return out << "\"" << c.address << "\""; }

class AddServerAddressTest : public CatalogueTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddServerAddressTest, AcceptsOnlyAddressesWithAPortThatReadsNonZero) {
    int outcome = AddServerRow(&catalogue, MyProxyServersSlot, GetParam().address, Http, StatusCodeUntested);
    if (GetParam().accepted) {
        ASSERT_EQ(outcome, 0);
        EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).text[ServerAddress], GetParam().address);
    } else {
        EXPECT_EQ(outcome, AddInvalid);
        EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Addresses, AddServerAddressTest,
                         ::testing::Values(AddressCase{"host:0", false}, AddressCase{"host:abc", false},
                                           AddressCase{"host", false}, AddressCase{"", false},
                                           AddressCase{":8080", true}, AddressCase{"host:8080x", true},
                                           AddressCase{"host:-5", true}, AddressCase{"host:70000", true},
                                           AddressCase{"a b:1", true},
                                           // Not representable in the catalogue file:
                                           AddressCase{"semi;colon:80", false}, AddressCase{"host:80;", false},
                                           AddressCase{"host:80\r", false}, AddressCase{"ho\nst:80", false}));

struct RowCodesCase {
    int typeFlag;
    int statusCode;
    const char* type;
    const char* status;
    int icon;
};

static std::ostream& operator<<(std::ostream& out, const RowCodesCase& c) {
    return out << c.typeFlag << "/" << c.statusCode;
}

class AddServerCodesTest : public CatalogueTest, public ::testing::WithParamInterface<RowCodesCase> {};

TEST_P(AddServerCodesTest, GivesTypeStatusAndIcon) {
    const RowCodesCase& c = GetParam();
    ASSERT_EQ(AddServerRow(&catalogue, NewSlot, "10.0.0.1:3128", c.typeFlag, c.statusCode), 0);
    const ProxyServer& row = catalogue.lists[NewSlot].Row(0);
    EXPECT_EQ(row.text[ServerTypeColumn], c.type);
    EXPECT_EQ(row.text[ServerStatus], c.status);
    EXPECT_EQ(row.text[ServerDelay], "");
    EXPECT_EQ(row.text[ServerLastCheck], "");
    EXPECT_EQ(row.icon, c.icon);
}

INSTANTIATE_TEST_SUITE_P(Codes, AddServerCodesTest,
                         ::testing::Values(RowCodesCase{0, 0, "Http", "Untested", 2}, RowCodesCase{1, 1, "Socks", "Dead", 1},
                                           RowCodesCase{0, 2, "Http", "Alive", 0}, RowCodesCase{5, 7, "Socks", "", 2},
                                           RowCodesCase{-1, -1, "Socks", "", 2}));

TEST(StatusIcon, FollowsExactStatusTexts) {
    EXPECT_EQ(StatusIcon("Alive"), 0);
    EXPECT_EQ(StatusIcon("Enabled"), 0);
    EXPECT_EQ(StatusIcon("Dead"), 1);
    EXPECT_EQ(StatusIcon("Disabled"), 1);
    EXPECT_EQ(StatusIcon("alive"), 2);
    EXPECT_EQ(StatusIcon("Testing"), 2);
    EXPECT_EQ(StatusIcon(""), 2);
}

TEST_F(CatalogueTest, DuplicatesIgnoreLetterCaseWithinOneListOnly) {
    ASSERT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "gate:80", Http, 0), 0);
    EXPECT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "GATE:80", Http, 0), AddDuplicate);
    EXPECT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "gate:80", Socks, 2), AddDuplicate);
    EXPECT_EQ(AddServerRow(&catalogue, NewSlot, "GATE:80", Http, 0), 0);
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 1);

    // The index follows removals and edits of the address.
    RemoveServerRow(&catalogue, MyProxyServersSlot, 0);
    EXPECT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "GATE:80", Http, 0), 0);
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerAddress, "other:81");
    EXPECT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "gate:80", Http, 0), 1);
    EXPECT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "OTHER:81", Http, 0), AddDuplicate);
}

TEST_F(CatalogueTest, AddressesAreCutTo255Characters) {
    std::string longAddress = "h:80" + std::string(400, 'x');
    ASSERT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, longAddress.c_str(), Http, 0), 0);
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).text[ServerAddress].size(), 255u);
    EXPECT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, longAddress.c_str(), Http, 0), AddDuplicate);
}

TEST_F(CatalogueTest, MoveKeepsStatusAndEmptiesDelayAndLastCheck) {
    catalogue.currentSlot = DeadSlot;
    ASSERT_EQ(AddServerRow(&catalogue, DeadSlot, "10.0.0.9:8080", Socks, StatusCodeDead), 0);
    SetServerText(&catalogue, DeadSlot, 0, ServerDelay, "312");
    SetServerText(&catalogue, DeadSlot, 0, ServerLastCheck, "2009.7.30 13:4");
    MoveServerToCategory(&catalogue, 0, MyProxyServersSlot);
    EXPECT_EQ(catalogue.lists[DeadSlot].Count(), 0);
    ASSERT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 1);
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "10.0.0.9:8080|Socks|Dead||");
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).icon, ImageDead);
}

TEST_F(CatalogueTest, MoveOfAServerUnderTestArrivesUntested) {
    ASSERT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "a:1", Http, 0), 0);
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerStatus, "Testing");
    MoveServerToCategory(&catalogue, 0, NewSlot);
    EXPECT_EQ(RowSummary(catalogue, NewSlot, 0), "a:1|Http|Untested||");
}

TEST_F(CatalogueTest, MoveOntoADuplicateDropsTheMovedRow) {
    ASSERT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "Dup:80", Http, StatusCodeAlive), 0);
    ASSERT_EQ(AddServerRow(&catalogue, NewSlot, "dup:80", Socks, StatusCodeDead), 0);
    SetServerText(&catalogue, NewSlot, 0, ServerDelay, "77");
    MoveServerToCategory(&catalogue, 0, NewSlot);
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 0);
    ASSERT_EQ(catalogue.lists[NewSlot].Count(), 1);
    EXPECT_EQ(RowSummary(catalogue, NewSlot, 0), "dup:80|Socks|Dead|77|");
}

TEST_F(CatalogueTest, MoveToTheCurrentListDoesNothing) {
    ASSERT_EQ(AddServerRow(&catalogue, MyProxyServersSlot, "a:1", Http, 0), 0);
    SetServerText(&catalogue, MyProxyServersSlot, 0, ServerDelay, "5");
    view.events.clear();
    MoveServerToCategory(&catalogue, 0, MyProxyServersSlot);
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "a:1|Http|Untested|5|");
    EXPECT_TRUE(view.events.empty());
}

TEST_F(CatalogueTest, LabelsCarryCountsAndCutAtTheLastParenthesis) {
    AddCategory(&catalogue, "Work");
    AddCategory(&catalogue, "Fast (EU)");
    AddCategory(&catalogue, "(odd");
    AddCategory(&catalogue, "a(b)(c)");
    for (const char* address : {"a:1", "b:2", "c:3"}) AddServerRow(&catalogue, 0, address, Http, 0);
    AddServerRow(&catalogue, 1, "d:4", Http, 0);
    AddServerRow(&catalogue, NewSlot, "e:5", Http, 0);
    RefreshCategoryLabels(&catalogue);
    std::vector<std::string> expected = {"My Proxy Servers(0)", "New(1)", "Dead(0)", "Work(3)",
                                         "Fast (1)", "(odd(0)", "a(b)(0)"};
    EXPECT_EQ(Labels(catalogue), expected);
    RefreshCategoryLabels(&catalogue);  // counts are replaced, not added to
    EXPECT_EQ(Labels(catalogue), expected);
}

TEST_F(CatalogueTest, SeventeenthCategoryIsNotCreated) {
    for (int i = 0; i < UserSlotCount; ++i) AddCategory(&catalogue, ("c" + std::to_string(i)).c_str());
    EXPECT_EQ(catalogue.categories.size(), (size_t)(BuiltInCategoryCount + UserSlotCount));
    AddCategory(&catalogue, "one too many");
    EXPECT_EQ(catalogue.categories.size(), (size_t)(BuiltInCategoryCount + UserSlotCount));
    for (int i = 0; i < UserSlotCount; ++i) EXPECT_EQ(catalogue.categories[BuiltInCategoryCount + i].slot, i);
}

TEST_F(CatalogueTest, RemovedCategoryFreesItsSlotAndEmptiesItsList) {
    AddCategory(&catalogue, "A");  // slot 0
    AddCategory(&catalogue, "B");  // slot 1
    AddServerRow(&catalogue, 0, "a:1", Http, 0);
    catalogue.currentSlot = 0;
    RemoveCategory(&catalogue, 3);
    EXPECT_EQ(catalogue.slotInUse[0], 0);
    EXPECT_EQ(catalogue.lists[0].Count(), 0);
    EXPECT_EQ(catalogue.currentSlot, 0);  // the shown list stays until another is chosen
    AddCategory(&catalogue, "C");
    ASSERT_EQ(catalogue.categories.back().slot, 0);
    EXPECT_EQ(catalogue.lists[0].Count(), 0);
    std::vector<std::string> expected = {"My Proxy Servers", "New", "Dead", "B", "C"};
    EXPECT_EQ(Labels(catalogue), expected);
}

TEST_F(CatalogueTest, BuiltInCategoriesCanBeRenamedButNotRemoved) {
    AddServerRow(&catalogue, DeadSlot, "a:1", Http, 1);
    for (int i = 0; i < BuiltInCategoryCount; ++i) RemoveCategory(&catalogue, i);
    EXPECT_EQ(catalogue.categories.size(), (size_t)BuiltInCategoryCount);
    EXPECT_EQ(catalogue.lists[DeadSlot].Count(), 1);
    RenameCategory(&catalogue, 1, "Fresh");
    RefreshCategoryLabels(&catalogue);
    EXPECT_EQ(catalogue.categories[1].label, "Fresh(0)");
}

TEST_F(CatalogueTest, ViewHearsOfEveryChange) {
    AddServerRow(&catalogue, MyProxyServersSlot, "a:1", Http, 0);
    AddServerRow(&catalogue, MyProxyServersSlot, "b:2", Http, 0);
    AddServerRow(&catalogue, MyProxyServersSlot, "A:1", Http, 0);  // duplicate: nothing to hear
    MoveServerToCategory(&catalogue, 0, NewSlot);
    AddCategory(&catalogue, "Work");
    RefreshCategoryLabels(&catalogue);
    RemoveCategory(&catalogue, 3);
    std::vector<std::string> expected = {"insert 16:0", "insert 16:1", "remove 16:0", "insert 17:0",
                                         "category+ 3", "label 0",     "label 1",     "label 2",
                                         "label 3",     "category- 3", "reset 0"};
    EXPECT_EQ(view.events, expected);
}
