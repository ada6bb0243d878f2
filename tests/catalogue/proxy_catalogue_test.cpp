#include "manager/catalogue/proxy_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    EXPECT_EQ(StatusIcon("Dead"), 1);
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

// Any name survives, parentheses and all: the count is the label's, not
// the name's.
TEST_F(CatalogueTest, LabelsCarryCountsAndKeepTheWholeName) {
    AddCategory(&catalogue, "Work");
    AddCategory(&catalogue, "Fast (EU)");
    AddCategory(&catalogue, "(odd");
    AddCategory(&catalogue, "a(b)(c)");
    for (const char* address : {"a:1", "b:2", "c:3"}) AddServerRow(&catalogue, 0, address, Http, 0);
    AddServerRow(&catalogue, 1, "d:4", Http, 0);
    AddServerRow(&catalogue, NewSlot, "e:5", Http, 0);
    RefreshCategoryLabels(&catalogue);
    std::vector<std::string> expected = {"My Proxy Servers(0)", "New(1)", "Dead(0)", "Work(3)",
                                         "Fast (EU)(1)", "(odd(0)", "a(b)(c)(0)"};
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
    EXPECT_EQ(CategoryLabel(catalogue.categories[1]), "Fresh(0)");
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

// ---- operations over many rows ----

struct BulkCase {
    const char* name;
    std::vector<std::string> source;  // "address|type|status" rows of My Proxy Servers
    std::vector<std::string> target;  // rows already in New
    std::vector<int> rows;            // the rows handed over, as a view might give them
};

static std::ostream& operator<<(std::ostream& out, const BulkCase& c) { return out << c.name; }

// Rows as written, even a second row of the same address (as an edit can
// leave one), so that every rule is exercised; the view hears nothing of it.
static void Fill(ProxyCatalogue* catalogue, int slot, const std::vector<std::string>& rows) {
    CatalogueObserver* observer = catalogue->observer;
    catalogue->observer = nullptr;
    for (const std::string& text : rows) {
        size_t bar = text.find('|');
        size_t bar2 = text.find('|', bar + 1);
        int type = text.compare(bar + 1, bar2 - bar - 1, "Http") == 0 ? Http : Socks;
        std::string placeholder = "placeholder:" + std::to_string(catalogue->lists[slot].Count() + 1);
        int row = AddServerRow(catalogue, slot, placeholder.c_str(), type, StatusCodeUntested);
        SetServerText(catalogue, slot, row, ServerAddress, text.substr(0, bar).c_str());
        SetServerText(catalogue, slot, row, ServerStatus, text.substr(bar2 + 1).c_str());
        SetServerText(catalogue, slot, row, ServerDelay, "12");
        SetServerText(catalogue, slot, row, ServerLastCheck, "2026.12.10 9:5");
    }
    catalogue->observer = observer;
}

static std::vector<std::string> Rows(const ProxyCatalogue& catalogue, int slot) {
    std::vector<std::string> rows;
    for (int row = 0; row < catalogue.lists[slot].Count(); ++row) rows.push_back(RowSummary(catalogue, slot, row));
    return rows;
}

// The rows as the one-by-one rule handles them: marked rows, the lowest
// first, rescanning from row 0 after every change.
static void OneByOne(ProxyCatalogue* catalogue, const std::vector<int>& rows, bool move) {
    int slot = catalogue->currentSlot;
    std::vector<char> marked(catalogue->lists[slot].Count(), 0);
    for (int row : rows)
        if (row >= 0 && row < (int)marked.size()) marked[row] = 1;
    for (;;) {
        auto first = std::find(marked.begin(), marked.end(), 1);
        if (first == marked.end()) return;
        int row = (int)(first - marked.begin());
        marked.erase(first);
        if (move) MoveServerToCategory(catalogue, row, NewSlot);
        else RemoveServerRow(catalogue, slot, row);
    }
}

class BulkRowsTest : public ::testing::TestWithParam<BulkCase> {
protected:
    void Prepare(ProxyCatalogue* catalogue, RecordingView* view) {
        InitCatalogue(catalogue, view);
        Fill(catalogue, MyProxyServersSlot, GetParam().source);
        Fill(catalogue, NewSlot, GetParam().target);
    }
    ProxyCatalogue bulk, single;
    RecordingView bulkView, singleView;
};

TEST_P(BulkRowsTest, MoveEndsAsOneByOneWithOneResetPerList) {
    Prepare(&bulk, &bulkView);
    Prepare(&single, &singleView);
    MoveServersToCategory(&bulk, GetParam().rows, NewSlot);
    OneByOne(&single, GetParam().rows, true);
    EXPECT_EQ(Rows(bulk, MyProxyServersSlot), Rows(single, MyProxyServersSlot));
    EXPECT_EQ(Rows(bulk, NewSlot), Rows(single, NewSlot));
    // The address index follows: every address now in New is a duplicate there.
    for (int row = 0; row < bulk.lists[NewSlot].Count(); ++row)
        EXPECT_TRUE(bulk.lists[NewSlot].ContainsAddress(bulk.lists[NewSlot].Row(row).text[ServerAddress].c_str()));
    std::vector<std::string> expected;
    if (Rows(single, MyProxyServersSlot).size() != GetParam().source.size()) expected.push_back("reset 16");
    if (Rows(single, NewSlot).size() != GetParam().target.size()) expected.push_back("reset 17");
    EXPECT_EQ(bulkView.events, expected);
}

TEST_P(BulkRowsTest, RemoveEndsAsOneByOneWithOneReset) {
    Prepare(&bulk, &bulkView);
    Prepare(&single, &singleView);
    RemoveServerRows(&bulk, MyProxyServersSlot, GetParam().rows);
    OneByOne(&single, GetParam().rows, false);
    EXPECT_EQ(Rows(bulk, MyProxyServersSlot), Rows(single, MyProxyServersSlot));
    std::vector<std::string> expected;
    if (Rows(single, MyProxyServersSlot).size() != GetParam().source.size()) expected.push_back("reset 16");
    EXPECT_EQ(bulkView.events, expected);
    // Removed addresses may come again; kept ones are still duplicates.
    for (const std::string& row : GetParam().source) {
        std::string address = row.substr(0, row.find('|'));
        bool kept = false;
        for (const std::string& left : Rows(bulk, MyProxyServersSlot)) kept = kept || left.find(address + "|") == 0;
        EXPECT_EQ(bulk.lists[MyProxyServersSlot].ContainsAddress(address.c_str()) != 0, kept) << address;
    }
}

static const std::vector<std::string> FiveServers = {"a:1|Http|Alive", "b:2|Socks|Dead", "c:3|Http|Testing",
                                                     "d:4|Socks|Untested", "e:5|Http|"};

INSTANTIATE_TEST_SUITE_P(
    Cases, BulkRowsTest,
    ::testing::Values(
        BulkCase{"all", FiveServers, {}, {0, 1, 2, 3, 4}},
        BulkCase{"some", FiveServers, {"x:9|Http|Alive"}, {1, 3}},
        BulkCase{"none", FiveServers, {"x:9|Http|Alive"}, {}},
        BulkCase{"unordered_repeated_and_missing_rows", FiveServers, {}, {4, 0, 4, -1, 5, 99, 2}},
        BulkCase{"onto_duplicates", FiveServers, {"B:2|Http|Alive", "e:5|Socks|Dead"}, {0, 1, 4}},
        BulkCase{"every_row_a_duplicate", {"a:1|Http|Alive", "b:2|Http|Alive"}, {"a:1|Socks|Dead", "B:2|Http|"}, {0, 1}},
        BulkCase{"same_address_twice_in_the_move", {"a:1|Http|Alive", "A:1|Socks|Dead", "b:2|Http|Dead"}, {}, {0, 1, 2}}),
    [](const ::testing::TestParamInfo<BulkCase>& info) { return std::string(info.param.name); });

TEST_F(CatalogueTest, BulkMoveToTheCurrentListDoesNothing) {
    Fill(&catalogue, MyProxyServersSlot, FiveServers);
    MoveServersToCategory(&catalogue, {0, 1}, MyProxyServersSlot);
    MoveServersToCategory(&catalogue, {0, 1}, CategorySlotCount);
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 5);
    EXPECT_TRUE(view.events.empty());
}

TEST_F(CatalogueTest, AddingManyRowsIsAddServerRowForEachWithOneReset) {
    ASSERT_EQ(AddServerRow(&catalogue, NewSlot, "old:80", Http, StatusCodeAlive), 0);
    view.events.clear();
    std::vector<NewServer> servers = {{"a:1", Http, StatusCodeUntested}, {"OLD:80", Socks, StatusCodeDead},
                                      {"bad", Http, StatusCodeUntested}, {"b:2", Socks, StatusCodeAlive},
                                      {"A:1", Http, StatusCodeDead},     {"semi;colon:3", Http, 0}};
    EXPECT_EQ(AddServerRows(&catalogue, NewSlot, servers), 2);
    std::vector<std::string> expected = {"old:80|Http|Alive||", "a:1|Http|Untested||", "b:2|Socks|Alive||"};
    EXPECT_EQ(Rows(catalogue, NewSlot), expected);
    EXPECT_EQ(view.events, std::vector<std::string>{"reset 17"});
    EXPECT_EQ(AddServerRows(&catalogue, NewSlot, {{"a:1", Http, 0}}), 0);
    EXPECT_EQ(AddServerRows(&catalogue, CategorySlotCount, {{"z:1", Http, 0}}), 0);
    EXPECT_EQ(view.events, std::vector<std::string>{"reset 17"});
}
