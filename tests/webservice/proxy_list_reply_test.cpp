#include "manager/webservice/proxy_list_reply.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "manager/catalogue/proxy_catalogue.h"
#include "manager/webservice/fetch_rules.h"
#include "tests/catalogue/catalogue_fixture.h"

// "H address" or "S address" for each server, in order.
static std::vector<std::string> Servers(const ProxyListReply& reply) {
    std::vector<std::string> servers;
    for (const NewServer& server : reply.servers) {
        servers.push_back((server.typeFlag == Http ? "H " : server.typeFlag == Socks ? "S " : "? ") + server.address);
    }
    return servers;
}

static ProxyListReply Parse(const std::string& text) { return ParseProxyListReply(text.data(), text.size()); }

struct ListCase {
    const char* name;
    std::string text;
    int accepted;
    std::vector<std::string> servers;
};

void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }

class ProxyListReplyTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ProxyListReplyTest, TakesTheServerLinesOfKnownSections) {
    const ListCase& c = GetParam();
    // An exact-size copy, so that a read past the given length is caught.
    std::vector<char> text(c.text.begin(), c.text.end());
    ProxyListReply reply = ParseProxyListReply(text.data(), text.size());
    EXPECT_EQ(reply.accepted, c.accepted);
    EXPECT_EQ(Servers(reply), c.servers);
    for (const NewServer& server : reply.servers) EXPECT_EQ(server.statusCode, StatusCodeUntested) << server.address;
}

static const std::string Nul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Replies, ProxyListReplyTest,
    ::testing::Values(
        ListCase{"SectionsWithCrLf",
                 "TESSARONLIST\r\n-SOCKS\r\n192.0.2.1:1080\r\n-HTTP\r\n192.0.2.2:3128\r\nEND\r\n",
                 1,
                 {"S 192.0.2.1:1080", "H 192.0.2.2:3128"}},
        ListCase{"LowerCaseMarker", "tessaronlist\r\n192.0.2.1:80\r\n", 0, {}},
        ListCase{"MarkerWithTrailingBlank", "TESSARONLIST \r\n192.0.2.1:80\r\n", 0, {}},
        ListCase{"MarkerAfterABlankLine", "\r\nTESSARONLIST\r\n192.0.2.1:80\r\n", 0, {}},
        ListCase{"MarkerAfterAByteOrderMark", "\xEF\xBB\xBFTESSARONLIST\r\n192.0.2.1:80\r\n", 0, {}},
        ListCase{"LinesAfterEndIgnored",
                 "TESSARONLIST\r\n192.0.2.1:80\r\nEND\r\n192.0.2.2:80\r\n-SOCKS\r\n192.0.2.3:1080\r\n",
                 1,
                 {"H 192.0.2.1:80"}},
        ListCase{"OnlyExactEndStops",
                 "TESSARONLIST\nend\nEND \nENDS\n192.0.2.1:80\nEND",
                 1,
                 {"H 192.0.2.1:80"}},
        ListCase{"EndStopsInsideAnUnknownSection", "TESSARONLIST\n-FOO\nEND\n-HTTP\n192.0.2.1:80\n", 1, {}},
        ListCase{"UnknownSectionsSkippedUntilAKnownOne",
                 "TESSARONLIST\n-FOO\n192.0.2.1:80\n-\n192.0.2.2:80\n-SOCKS\n192.0.2.3:1080\n-socks\n192.0.2.4:1080\n"
                 "-HTTPS\n192.0.2.5:80\n-HTTP\n192.0.2.6:80\n",
                 1,
                 {"S 192.0.2.3:1080", "H 192.0.2.6:80"}},
        ListCase{"LinesRightAfterTheMarkerAreHttp",
                 "TESSARONLIST\n192.0.2.1:80\n-SOCKS\n192.0.2.2:1080",
                 1,
                 {"H 192.0.2.1:80", "S 192.0.2.2:1080"}},
        ListCase{"CrLfBlankLineIsAnEmptyLineLeftOut",
                 "TESSARONLIST\r\n192.0.2.1:80\r\n\r\n192.0.2.2:80\r\n",
                 1,
                 {"H 192.0.2.1:80", "H 192.0.2.2:80"}},
        ListCase{"LfBlankLineIsPartOfOneBreak",
                 "TESSARONLIST\n192.0.2.1:80\n\n192.0.2.2:80\n",
                 1,
                 {"H 192.0.2.1:80", "H 192.0.2.2:80"}},
        ListCase{"MixedBreaks",
                 "TESSARONLIST\r\r\r192.0.2.1:80\n\r192.0.2.2:80\r\n\n192.0.2.3:80",
                 1,
                 {"H 192.0.2.1:80", "H 192.0.2.2:80", "H 192.0.2.3:80"}},
        ListCase{"JunkWithAColonPassedOnForTheCatalogueToJudge",
                 "TESSARONLIST\nhello\n a:1 \n192.0.2.1;x:80\n:",
                 1,
                 {"H  a:1 ", "H 192.0.2.1;x:80", "H :"}},
        ListCase{"NulEndsTheText",
                 "TESSARONLIST\r\n192.0.2.1:80\r\n192.0.2.2" + Nul + ":80\r\n192.0.2.3:80\r\n",
                 1,
                 {"H 192.0.2.1:80"}},
        ListCase{"NulInTheMarker", "TESSARON" + Nul + "LIST\r\n192.0.2.1:80\r\n", 0, {}},
        ListCase{"NulFirst", Nul + "TESSARONLIST\r\n192.0.2.1:80\r\n", 0, {}},
        ListCase{"MarkerOnlyWithoutBreak", "TESSARONLIST", 1, {}}, ListCase{"JunkWithoutBreak", "hello", 0, {}},
        ListCase{"Empty", "", 0, {}},
        ListCase{"HtmlPage",
                 "<!DOCTYPE html>\r\n<html><head><title>404 Not Found</title></head>\r\n"
                 "<body>TESSARONLIST\r\n192.0.2.1:80\r\n</body></html>\r\n",
                 0,
                 {}}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

TEST(ParseProxyListReply, CutsAHugeLineToWhatARowHolds) {
    std::string line = "192.0.2.1:80" + std::string(1024 * 1024, '9');
    ProxyListReply reply = Parse("TESSARONLIST\r\n" + line + "\r\n-SOCKS\r\n192.0.2.2:1080\r\n");
    ASSERT_EQ(reply.servers.size(), 2u);
    EXPECT_EQ(reply.servers[0].address, line.substr(0, RowTextSize - 1));
    EXPECT_EQ(reply.servers[1].address, "192.0.2.2:1080");
    EXPECT_EQ(reply.servers[1].typeFlag, Socks);
}

// A line whose colon lies beyond what a row keeps is no server either.
TEST(ParseProxyListReply, AColonBeyondTheCutIsNoServer) {
    ProxyListReply reply = Parse("TESSARONLIST\r\n" + std::string(300, 'a') + ":80\r\n192.0.2.2:80\r\n");
    ASSERT_EQ(reply.servers.size(), 1u);
    EXPECT_EQ(reply.servers[0].address, "192.0.2.2:80");
}

// Sixteen mebibytes of line breaks hold no server, and take no room.
TEST(ParseProxyListReply, BlankLinesTakeNoRoom) {
    std::string text = "TESSARONLIST";
    text.resize(ReplyCap, '\n');
    for (size_t i = 13; i < text.size(); i += 2) text[i] = '\r';
    ProxyListReply reply = Parse(text);
    EXPECT_EQ(reply.accepted, 1);
    EXPECT_TRUE(reply.servers.empty());
    EXPECT_EQ(reply.servers.capacity(), 0u);
}

TEST(ParseProxyListReply, ReadsAReplyAsLargeAsADownloadMayBe) {
    const std::string line = "192.0.2.1:80\r\n";
    const std::string tail = "-SOCKS\r\n192.0.2.9:1080";
    std::string text = "TESSARONLIST\r\n";
    size_t lines = 0;
    for (; text.size() + line.size() + tail.size() <= ReplyCap; ++lines) text += line;
    text += tail;
    ProxyListReply reply = Parse(text);
    ASSERT_EQ(reply.servers.size(), lines + 1);
    EXPECT_EQ(reply.servers[lines - 1].address, "192.0.2.1:80");
    EXPECT_EQ(reply.servers.back().address, "192.0.2.9:1080");
    EXPECT_EQ(reply.servers.back().typeFlag, Socks);
}

// The download adds the list to "New": rows it holds already, in any letter
// case, and invalid lines are not added; rows of other categories do not
// count.
TEST(ParseProxyListReply, MergesIntoNewWithoutDuplicates) {
    const std::string list =
        "TESSARONLIST\r\n-HTTP\r\n192.0.2.1:80\r\n\r\nno-port\r\n192.0.2.2:0\r\n-SOCKS\r\n192.0.2.3:1080\r\n"
        "192.0.2.1:80\r\nHOST.EXAMPLE:1080\r\nhost.example:1080\r\nEND\r\n";
    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    ASSERT_GE(AddServerRow(&catalogue, MyProxyServersSlot, "192.0.2.3:1080", Socks, StatusCodeAlive), 0);

    ProxyListReply reply = Parse(list);
    ASSERT_EQ(reply.accepted, 1);
    EXPECT_EQ(AddServerRows(&catalogue, NewSlot, reply.servers), 3);
    ASSERT_EQ(catalogue.lists[NewSlot].Count(), 3);
    EXPECT_EQ(RowSummary(catalogue, NewSlot, 0), "192.0.2.1:80|Http|Untested||");
    EXPECT_EQ(RowSummary(catalogue, NewSlot, 1), "192.0.2.3:1080|Socks|Untested||");
    EXPECT_EQ(RowSummary(catalogue, NewSlot, 2), "HOST.EXAMPLE:1080|Socks|Untested||");

    EXPECT_EQ(AddServerRows(&catalogue, NewSlot, Parse(list).servers), 0) << "the same list again";
    EXPECT_EQ(catalogue.lists[NewSlot].Count(), 3);
    EXPECT_EQ(catalogue.lists[MyProxyServersSlot].Count(), 1);
}
