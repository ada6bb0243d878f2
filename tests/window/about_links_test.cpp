#include "manager/window/about_links.h"

#include <gtest/gtest.h>

#include <string>

// Three boxes in a column, the second and third overlapping by two pixels.
static const LinkBox Boxes[AboutLinkCount] = {{10, 10, 60, 20}, {10, 20, 80, 30}, {10, 28, 70, 38}};

struct PointCase {
    int x, y;
    int link;
};

TEST(LinkAt, FindsTheLinkUnderThePointTheLastHitWinning) {
    const PointCase cases[] = {
        {10, 10, 1},       {59, 19, 1},  {60, 15, 0},  // right edge outside
        {10, 20, 2},       {79, 25, 2},  {30, 28, 3},  // the overlap goes to the last
        {69, 37, 3},       {69, 38, 0},  {9, 15, 0},   {200, 200, NoLink},
    };
    for (const PointCase& test : cases)
        EXPECT_EQ(LinkAt(Boxes, test.x, test.y), test.link) << test.x << "," << test.y;
}

TEST(AboutLinks, MailLinksOpenANewMailToTheAddressShown) {
    EXPECT_STREQ(AboutLinks[0].target, AboutLinks[0].text);
    for (int i = 1; i < AboutLinkCount; ++i) EXPECT_EQ(std::string(AboutLinks[i].target), std::string("mailto:") + AboutLinks[i].text);
}

TEST(ShownLinkText, DropsTheSchemeAndAClosingSlashOnly) {
    const char* const cases[][2] = {
        {"https://tessaron.example/", "tessaron.example"},
        {"http://tessaron.example/download/", "tessaron.example/download"},
        {"https://tessaron.example/a/b", "tessaron.example/a/b"},
        {"support@tessaron.example", "support@tessaron.example"},
        {"ftp://files.example/", "ftp://files.example"},
        {"", ""},
    };
    for (const auto& test : cases) EXPECT_EQ(ShownLinkText(test[0]), test[1]) << test[0];
}
