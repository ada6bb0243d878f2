#include "manager/webservice/version_reply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct VersionCase {
    const char* name;
    std::string text;
    int shown;
    const char* link;
    const char* caption;
    const char* title;
    const char* message;
};

// The offer on the heap, exactly its size, filled with junk first: a write
// past its end is caught, and so is a text the parse did not empty.
static std::unique_ptr<UpdateOffer> JunkOffer() {
    std::unique_ptr<UpdateOffer> offer(new UpdateOffer);
    std::memset(offer.get(), 'x', sizeof *offer);
    return offer;
}

static int Parse(const std::string& text, UpdateOffer* offer) {
    std::vector<char> bytes(text.begin(), text.end());  // exact size: reads past the end are caught
    return ParseVersionReply(bytes.data(), bytes.size(), offer);
}

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.name; }

class VersionReplyTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionReplyTest, OffersOnlyANewerVersion) {
    const VersionCase& c = GetParam();
    std::unique_ptr<UpdateOffer> offer = JunkOffer();
    EXPECT_EQ(Parse(c.text, offer.get()), c.shown);
    EXPECT_STREQ(offer->link, c.link);
    EXPECT_STREQ(offer->caption, c.caption);
    EXPECT_STREQ(offer->title, c.title);
    EXPECT_STREQ(offer->message, c.message);
}

static const std::string Nul(1, '\0');
static const std::string Head = "TESSARONVERSION\r\n4\r\nhttp://192.0.2.1/get\r\nDownload\r\nTessaron 1.06\r\n";

INSTANTIATE_TEST_SUITE_P(
    Replies, VersionReplyTest,
    ::testing::Values(
        VersionCase{"NewerVersion", Head + "First line\r\nEND\r\n", 1, "http://192.0.2.1/get", "Download",
                    "Tessaron 1.06", "First line\r\n"},
        VersionCase{"SameVersion", "TESSARONVERSION\r\n3\r\nhttp://192.0.2.1/get\r\nDownload\r\nT\r\nM\r\n", 0, "", "",
                    "", ""},
        VersionCase{"OlderVersion", "TESSARONVERSION\r\n2\r\nl\r\nc\r\nt\r\nm\r\n", 0, "", "", "", ""},
        VersionCase{"NegativeVersion", "TESSARONVERSION\n-9\nl\n", 0, "", "", "", ""},
        VersionCase{"VersionNotANumber", "TESSARONVERSION\nfour\nl\n", 0, "", "", "", ""},
        VersionCase{"VersionMissing", "TESSARONVERSION\r\n", 0, "", "", "", ""},
        VersionCase{"VersionWithBlanksAndTail", "TESSARONVERSION\n \t+4.5 beta\nl\n", 1, "l", "", "", ""},
        VersionCase{"FortyDigitVersion", "TESSARONVERSION\n1234567890123456789012345678901234567890\nl\nc\nt\nm\n", 1,
                    "l", "c", "t", "m\r\n"},
        VersionCase{"LowerCaseMarker", "tessaronversion\r\n4\r\nl\r\n", 0, "", "", "", ""},
        VersionCase{"ProxyListMarker", "TESSARONLIST\r\n4\r\nl\r\n", 0, "", "", "", ""},
        VersionCase{"HtmlPage", "<html>\r\n<body>TESSARONVERSION\r\n4\r\n</body></html>", 0, "", "", "", ""},
        VersionCase{"Empty", "", 0, "", "", "", ""},
        VersionCase{"MarkerAndVersionOnly", "TESSARONVERSION\r\n4", 1, "", "", "", ""},
        VersionCase{"NoTitle", "TESSARONVERSION\r\n4\r\nl\r\nc\r\n", 1, "l", "c", "", ""},
        VersionCase{"EndLinesLeftOutAndLaterLinesTaken",
                    Head + "One\r\nENDING SOON\r\nEND\r\nTwo\r\nEND\r\n end\r\nend\r\n", 1, "http://192.0.2.1/get",
                    "Download", "Tessaron 1.06", "One\r\nTwo\r\n end\r\nend\r\n"},
        VersionCase{"CrLfBlankMessageLineKept", Head + "A\r\n\r\nB", 1, "http://192.0.2.1/get", "Download",
                    "Tessaron 1.06", "A\r\n\r\nB\r\n"},
        VersionCase{"LfBlankLineIsPartOfOneBreak", "TESSARONVERSION\n4\nl\nc\nt\nA\n\nB\n", 1, "l", "c", "t",
                    "A\r\nB\r\n"},
        VersionCase{"EmptyHeadLines", "TESSARONVERSION\r\n4\r\n\r\n\r\nTitle only\r\nM", 1, "", "", "Title only",
                    "M\r\n"},
        VersionCase{"NulEndsTheText", "TESSARONVERSION\n4\nlink" + Nul + "more\ncaption\n", 1, "link", "", "", ""},
        VersionCase{"NulInTheMarker", "TESSARON" + Nul + "VERSION\n4\nl\n", 0, "", "", "", ""}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

// Each text at, and beyond, what its field holds.
TEST(ParseVersionReply, CutsEveryTextToItsField) {
    for (size_t extra : {size_t(0), size_t(1), size_t(1000)}) {
        std::string link(OfferLinkSize - 1 + extra, 'l');
        std::string caption(OfferCaptionSize - 1 + extra, 'c');
        std::string title(OfferTitleSize - 1 + extra, 't');
        std::string text = "TESSARONVERSION\r\n4\r\n" + link + "\r\n" + caption + "\r\n" + title + "\r\n";
        std::string message;
        for (int line = 0; message.size() < (size_t)OfferMessageSize + extra; ++line) {
            std::string words = "line " + std::to_string(line) + " of the message";
            text += words + "\r\n";
            message += words + "\r\n";
        }
        std::unique_ptr<UpdateOffer> offer = JunkOffer();
        ASSERT_EQ(Parse(text, offer.get()), 1);
        EXPECT_EQ(std::string(offer->link), link.substr(0, OfferLinkSize - 1)) << extra;
        EXPECT_EQ(std::string(offer->caption), caption.substr(0, OfferCaptionSize - 1)) << extra;
        EXPECT_EQ(std::string(offer->title), title.substr(0, OfferTitleSize - 1)) << extra;
        EXPECT_EQ(std::string(offer->message), message.substr(0, OfferMessageSize - 1)) << extra;
    }
}

// A message that ends exactly at the field's end, and one that would end
// with the last break cut in half.
TEST(ParseVersionReply, MessageCutAtTheFieldWhereverItFalls) {
    for (size_t lineLength : {size_t(OfferMessageSize - 3), size_t(OfferMessageSize - 2)}) {
        std::string line(lineLength, 'm');
        std::unique_ptr<UpdateOffer> offer = JunkOffer();
        ASSERT_EQ(Parse("TESSARONVERSION\n4\nl\nc\nt\n" + line + "\nmore\n", offer.get()), 1);
        EXPECT_EQ(std::string(offer->message), (line + "\r\n").substr(0, OfferMessageSize - 1)) << lineLength;
    }
}

// Only web addresses are opened: "Yes" hands the link to the system, which
// would run a program path, reach a share in the user's name, or start any
// registered handler.
TEST(OfferHasLink, OnlyAnHttpOrHttpsAddressWithAHost) {
    struct Case {
        const char* link;
        int opens;
    };
    const Case cases[] = {
        {"http://192.0.2.1/get", 1},
        {"HTTPS://example.org/", 1},
        {"Http://example.org", 1},
        {"https://user@example.org:8443/setup?from=4#top", 1},
        {"-", 0},
        {"-http://192.0.2.1/get", 0},
        {"", 0},
        {" -", 0},
        {"x-", 0},
        {"\\\\host\\share\\setup.exe", 0},
        {"C:\\windows\\notepad.exe", 0},
        {"notepad.exe", 0},
        {"file:///C:/Windows/notepad.exe", 0},
        {"javascript:alert(1)", 0},
        {"mailto:sales@example.org", 0},
        {"ftp://example.org/setup.exe", 0},
        {"http:example.org", 0},
        {"http:/example.org", 0},
        {"http://", 0},
        {"http:///setup.exe", 0},
        {"http://user@/setup.exe", 0},
        {"http://:80/", 0},
        {"http://example.org/setup exe", 0},
        {" http://example.org/", 0},
        {"http://example.org/\t", 0},
        {"http://example.org/\x7f", 0},
        {"httpx://example.org/", 0},
    };
    for (const Case& c : cases) {
        std::unique_ptr<UpdateOffer> offer = JunkOffer();
        ASSERT_EQ(Parse(std::string("TESSARONVERSION\r\n4\r\n") + c.link + "\r\nc\r\n", offer.get()), 1) << c.link;
        EXPECT_EQ(OfferHasLink(offer.get()), c.opens) << c.link;
        EXPECT_EQ(IsWebLink(c.link), c.opens) << c.link;
    }
    std::unique_ptr<UpdateOffer> offer = JunkOffer();
    ASSERT_EQ(Parse("TESSARONVERSION\n3\nhttp://192.0.2.1/get\n", offer.get()), 0);
    EXPECT_EQ(OfferHasLink(offer.get()), 0) << "no offer, nothing to open";
    EXPECT_EQ(IsWebLink(nullptr), 0);
}
