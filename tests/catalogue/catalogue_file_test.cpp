#include "manager/catalogue/catalogue_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue_fixture.h"

class CatalogueFileTest : public ::testing::Test {
protected:
    void SetUp() override { InitCatalogue(&catalogue, nullptr); }

    void Load(const std::string& text) {
        storage.text = text;
        storage.exists = true;
        ReadCatalogue(&catalogue, &settings, &storage);
    }
    // Writes the catalogue and reads it back into a new one, as a restart does.
    void Restart() {
        WriteCatalogue(&catalogue, &settings, &storage);
        InitCatalogue(&catalogue, nullptr);
        ReadCatalogue(&catalogue, &settings, &storage);
        RefreshCategoryLabels(&catalogue);
    }
    std::vector<std::string> Rows(int slot) const {
        std::vector<std::string> rows;
        for (int row = 0; row < catalogue.lists[slot].Count(); ++row) rows.push_back(RowSummary(catalogue, slot, row));
        return rows;
    }

    ProxyCatalogue catalogue;
    MapProfile settings;
    MemoryStorage storage;
};

TEST_F(CatalogueFileTest, ReadsTheDocumentedExampleLine) {
    Load("10.0.0.1:3128;0;2;312;2009.7.30 13:4;16\r\n");
    ASSERT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 1);
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "10.0.0.1:3128|Http|Alive|312|2009.7.30 13:4");
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).icon, ImageAlive);
}

struct BreaksCase {
    const char* name;
    std::string text;
};

class CatalogueBreaksTest : public CatalogueFileTest, public ::testing::WithParamInterface<BreaksCase> {};

TEST_P(CatalogueBreaksTest, LoadsTheSameServersWhateverTheLineBreaks) {
    Load(GetParam().text);
    std::vector<std::string> expected = {"a:1|Http|Untested||", "b:2|Socks|Dead|9|x"};
    EXPECT_EQ(Rows(MyProxyServersSlot), expected);
    EXPECT_EQ(catalogue.lists[NewSlot].Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, CatalogueBreaksTest,
    ::testing::Values(BreaksCase{"CrLf", "a:1;0;0;;;16\r\nb:2;1;1;9;x;16\r\nc:3;0;0;;;17\r\n"},
                      BreaksCase{"LfOnly", "a:1;0;0;;;16\nb:2;1;1;9;x;16\nc:3;0;0;;;17\n"},
                      BreaksCase{"LfCr", "a:1;0;0;;;16\n\rb:2;1;1;9;x;16\n\rc:3;0;0;;;17\n\r"},
                      BreaksCase{"CrCr", "a:1;0;0;;;16\r\rb:2;1;1;9;x;16\r\rc:3;0;0;;;17"},
                      BreaksCase{"BlankLine", "a:1;0;0;;;16\r\n\r\nb:2;1;1;9;x;16\r\n\r\nc:3;0;0;;;17\r\n"},
                      BreaksCase{"NoFinalBreak", "a:1;0;0;;;16\r\nb:2;1;1;9;x;16\r\nc:3;0;0;;;17"}),
    [](const ::testing::TestParamInfo<BreaksCase>& info) { return std::string(info.param.name); });

TEST_F(CatalogueFileTest, MalformedLinesAreSkippedAndNothingElseIsLost) {
    static const char file[] =
                     "ok1:1;0;0;;;16\r\n"
                     "short:2;0;0;;\r\n"        // five fields
                     "short:3\r\n"              // one field
                     "slot:4;0;0;;;19\r\n"      // no such slot
                     "slot:5;0;0;;;-1\r\n"
                     "noport;0;0;;;16\r\n"      // Invalid address
                     "ok1:1;1;1;;;16\r\n"       // duplicate
                     "extra:6;1;2;3;4;16;more\r\n"  // fields beyond six are not read
                     "nul:7;0;0;;;16\0x\r\n"    // a NUL byte: only this line goes
                     "ok2:8;1;0;;;16\r\n";
    Load(std::string(file, sizeof file - 1));
    std::vector<std::string> expected = {"ok1:1|Http|Untested||", "extra:6|Socks|Alive|3|4", "ok2:8|Socks|Untested||"};
    EXPECT_EQ(Rows(MyProxyServersSlot), expected);
}

TEST_F(CatalogueFileTest, UnknownStatusCodeBecomesEmptyAndReadsBackUntested) {
    Load("odd:1;0;7;;;16\r\n");
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "odd:1|Http|||");
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Row(0).icon, ImageOther);
    Restart();
    EXPECT_EQ(storage.text, "odd:1;0;;;;16\r\n");
    EXPECT_EQ(RowSummary(catalogue, MyProxyServersSlot, 0), "odd:1|Http|Untested||");
}

TEST_F(CatalogueFileTest, ServerUnderTestIsStoredUntested) {
    AddServerRow(&catalogue, NewSlot, "t:1", Socks, StatusCodeAlive);
    SetServerText(&catalogue, NewSlot, 0, ServerStatus, "Testing");
    Restart();
    EXPECT_EQ(storage.text, "t:1;1;0;;;17\r\n");
    EXPECT_EQ(RowSummary(catalogue, NewSlot, 0), "t:1|Socks|Untested||");
}

TEST_F(CatalogueFileTest, WritesListsBySlotThenUserCategoriesInListOrder) {
    settings.values["categories/cat5"] = "Five(9)";
    settings.values["categories/cat2"] = "Two(9)";
    Load("u5:1;0;0;;;5\r\nd:1;0;1;;;18\r\nu2:1;0;0;;;2\r\nm:1;0;2;1;t;16\r\nn:1;1;0;;;17\r\n");
    AddCategory(&catalogue, "Zero");  // lowest free slot: 0, listed last
    AddServerRow(&catalogue, 0, "z:1", Http, 0);
    RefreshCategoryLabels(&catalogue);
    settings.writes.clear();
    WriteCatalogue(&catalogue, &settings, &storage);
    EXPECT_EQ(storage.text,
              "m:1;0;2;1;t;16\r\nn:1;1;0;;;17\r\nd:1;0;1;;;18\r\n"
              "u2:1;0;0;;;2\r\nu5:1;0;0;;;5\r\nz:1;0;0;;;0\r\n");
    std::vector<std::string> writes;
    for (int slot = 0; slot < UserSlotCount; ++slot) writes.push_back("categories/cat" + std::to_string(slot) + "=");
    writes.push_back("categories/cat2=Two(1)");
    writes.push_back("categories/cat5=Five(1)");
    writes.push_back("categories/cat0=Zero(1)");
    EXPECT_EQ(settings.writes, writes);
}

TEST_F(CatalogueFileTest, RestartShowsUserCategoriesInSlotOrderAndEmptyOnesSurvive) {
    AddCategory(&catalogue, "First");   // slot 0
    AddCategory(&catalogue, "Second");  // slot 1
    AddCategory(&catalogue, "Third");   // slot 2
    RemoveCategory(&catalogue, 3);      // frees slot 0
    AddCategory(&catalogue, "Fourth");  // slot 0 again, listed last
    AddServerRow(&catalogue, 1, "s:1", Http, 0);
    RefreshCategoryLabels(&catalogue);
    Restart();
    std::vector<std::string> expected = {"My Proxy Servers(0)", "New(0)", "Dead(0)", "Fourth(0)", "Second(1)", "Third(0)"};
    EXPECT_EQ(Labels(catalogue), expected);
    AddCategory(&catalogue, "Later");
    EXPECT_EQ(catalogue.categories.back().slot, 3);
}

// config.ini deleted, damaged or from another computer: the servers of a
// slot it names no category for come under "Category N" and are saved; a
// slot without servers stays free for the next new category.
TEST_F(CatalogueFileTest, ServersOfASlotWithoutANameGetACategoryAndAreSaved) {
    settings.values["categories/cat1"] = "Named(1)";
    Load("orphan:1;0;2;40;x;4\r\nnamed:1;0;0;;;1\r\nmine:1;0;0;;;16\r\nbad;0;0;;;7\r\n");
    RefreshCategoryLabels(&catalogue);
    EXPECT_EQ(Labels(catalogue), (std::vector<std::string>{"My Proxy Servers(1)", "New(0)", "Dead(0)", "Named(1)",
                                                           "Category 5(1)"}));
    EXPECT_EQ(catalogue.categories.back().slot, 4);
    EXPECT_EQ(catalogue.slotInUse[7], 0) << "a slot whose only line was refused";
    AddCategory(&catalogue, "New one");
    EXPECT_EQ(catalogue.categories.back().slot, 0);
    Restart();
    EXPECT_EQ(storage.text, "mine:1;0;0;;;16\r\nnamed:1;0;0;;;1\r\norphan:1;0;2;40;x;4\r\n");
    EXPECT_EQ(settings.values["categories/cat4"], "Category 5(1)");
    EXPECT_EQ(settings.values["categories/cat0"], "New one(0)");
    EXPECT_EQ(RowSummary(catalogue, 4, 0), "orphan:1|Http|Alive|40|x");
}

// A name with parentheses of its own keeps them through any number of
// restarts; only a trailing "(digits)" is the stored count.
TEST_F(CatalogueFileTest, NamesWithParenthesesSurviveRestarts) {
    settings.values["categories/cat0"] = "EU (fast)";
    settings.values["categories/cat1"] = "Top(5)(2)";
    settings.values["categories/cat2"] = "(7)";
    Load("a:1;0;0;;;0\r\n");
    RefreshCategoryLabels(&catalogue);
    for (int restart = 0; restart < 3; ++restart) {
        SCOPED_TRACE(restart);
        EXPECT_EQ(Labels(catalogue), (std::vector<std::string>{"My Proxy Servers(0)", "New(0)", "Dead(0)",
                                                               "EU (fast)(1)", "Top(5)(0)", "(7)(0)"}));
        Restart();
    }
    EXPECT_EQ(settings.values["categories/cat0"], "EU (fast)(1)");
    EXPECT_EQ(catalogue.categories[3].name, "EU (fast)");
}

TEST(StoredCategoryName, ATrailingCountIsCutAndNothingElse) {
    struct Case {
        const char* stored;
        const char* name;
    } cases[] = {{"Work(3)", "Work"},       {"Work", "Work"},           {"EU (fast)", "EU (fast)"},
                 {"EU (fast)(0)", "EU (fast)"}, {"a(b)(12)", "a(b)"},   {"Work()", "Work()"},
                 {"Work(3)x", "Work(3)x"},   {"Work(-3)", "Work(-3)"},  {"(3)", "(3)"},
                 {"W(3", "W(3"},             {"W(3a)", "W(3a)"},        {"Work (3)", "Work "}};
    for (const Case& c : cases) EXPECT_EQ(StoredCategoryName(c.stored), c.name) << c.stored;
    // A name of 255 characters and its count: the whole name comes back.
    std::string longName(RowTextSize - 1, 'n');
    EXPECT_EQ(StoredCategoryName((longName + "(12345)").c_str()), longName);
}

// The longest name keeps every character through config.ini, whose value
// is longer than a label may be.
TEST_F(CatalogueFileTest, TheLongestNameSurvivesWithItsCount) {
    std::string longName(RowTextSize - 1, 'n');
    AddCategory(&catalogue, longName.c_str());
    AddServerRow(&catalogue, 0, "a:1", Http, 0);
    RefreshCategoryLabels(&catalogue);
    EXPECT_EQ(CategoryLabel(catalogue.categories[3]).size(), (size_t)RowTextSize - 1);
    Restart();
    EXPECT_EQ(catalogue.categories[3].name, longName);
}

TEST_F(CatalogueFileTest, RoundTripKeepsEveryByteOfAWellFormedFile) {
    settings.values["categories/cat0"] = "Work(2)";
    settings.values["categories/cat3"] = "Fast (EU)(1)";
    const std::string file =
        "10.0.0.1:3128;0;2;312;2009.7.30 13:4;16\r\nproxy.example:8080;1;1;;2010.1.2 3:4;16\r\n"
        "n1:80;0;0;;;17\r\nd1:1080;1;1;30000;2011.12.31 23:59;18\r\n"
        "w1:1;0;0;;;0\r\nw2:2;1;2;5;x;0\r\nf:3;0;0;;;3\r\n";
    Load(file);
    RefreshCategoryLabels(&catalogue);
    WriteCatalogue(&catalogue, &settings, &storage);
    EXPECT_EQ(storage.text, file);
    Restart();
    EXPECT_EQ(storage.text, file);
    EXPECT_EQ(settings.values["categories/cat3"], "Fast (EU)(1)");  // a stored label keeps its name
}

TEST_F(CatalogueFileTest, FilesBeyondOneMebibyteAreReadWhole) {
    std::string file;
    int count = 0;
    while (file.size() < (3u << 20) / 2) {
        file += "host" + std::to_string(count) + ".example:8080;1;2;123;2026.12.10 2:52;17\r\n";
        ++count;
    }
    Load(file);
    EXPECT_EQ(catalogue.lists[NewSlot].Count(), count);
    WriteCatalogue(&catalogue, &settings, &storage);
    EXPECT_EQ(storage.text, file);
}

TEST_F(CatalogueFileTest, AViewHearsOfTheReadRowsOncePerFilledList) {
    RecordingView view;
    InitCatalogue(&catalogue, &view);
    settings.values["categories/cat2"] = "Work";
    Load("a:1;1;0;;;16\r\nb:1;1;2;40;x;2\r\nc:1;0;0;;;16\r\n");
    EXPECT_EQ(view.events, (std::vector<std::string>{"category+ 3", "reset 2", "reset 16"}));
    EXPECT_EQ(Rows(16), (std::vector<std::string>{"a:1|Socks|Untested||", "c:1|Http|Untested||"}));
    // Rows changed afterwards are announced one by one again.
    view.events.clear();
    AddServerRow(&catalogue, NewSlot, "d:1", Http, StatusCodeUntested);
    EXPECT_EQ(view.events, (std::vector<std::string>{"insert 17:0"}));
}

TEST_F(CatalogueFileTest, MissingFileGivesAnEmptyCatalogue) {
    settings.values["categories/cat1"] = "Kept(0)";
    storage.exists = false;
    ReadCatalogue(&catalogue, &settings, &storage);
    EXPECT_EQ(catalogue.categories.size(), 4u);
    for (const ServerList& list : catalogue.lists) EXPECT_EQ(list.Count(), 0);
}

// A file that exists but could not be read is kept at the save, beside the
// new one; a missing or a read one is simply replaced.
TEST_F(CatalogueFileTest, FileThatCouldNotBeReadIsKeptAtTheSave) {
    struct Case {
        bool exists;
        bool unreadable;
        size_t kept;
    };
    const Case cases[] = {{true, true, 1}, {false, false, 0}, {true, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.exists) + " " + std::to_string(c.unreadable));
        InitCatalogue(&catalogue, nullptr);
        storage = MemoryStorage();
        storage.text = "mine:1;0;0;;;16\r\n";
        storage.exists = c.exists;
        storage.unreadable = c.unreadable;
        ReadCatalogue(&catalogue, &settings, &storage);
        EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), c.exists && !c.unreadable ? 1 : 0);
        AddServerRow(&catalogue, NewSlot, "new:1", Http, StatusCodeUntested);
        WriteCatalogue(&catalogue, &settings, &storage);
        ASSERT_EQ(storage.kept.size(), c.kept);
        if (c.kept > 0) {
            EXPECT_EQ(storage.kept[0], "mine:1;0;0;;;16\r\n");
        }
    }
}
