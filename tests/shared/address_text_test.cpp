#include "shared/address_text.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <ostream>

struct SplitCase {
    const char* address;
    const char* host;
    const char* port;
};

static std::ostream& operator<<(std::ostream& out, const SplitCase& c) { return out << "\"" << c.address << "\""; }


class SplitHostPortTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitHostPortTest, CutsAtTheFirstColon) {
    char buffer[256];
    std::strcpy(buffer, GetParam().address);
    const char* port = SplitHostPort(buffer);
    EXPECT_STREQ(buffer, GetParam().host);
    EXPECT_STREQ(port, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Addresses, SplitHostPortTest,
                         ::testing::Values(SplitCase{"10.0.0.5:3128", "10.0.0.5", "3128"},
                                           SplitCase{"proxy.example:8080", "proxy.example", "8080"},
                                           SplitCase{"host", "host", ""}, SplitCase{"", "", ""},
                                           SplitCase{":8080", "", "8080"}, SplitCase{"host:", "host", ""},
                                           SplitCase{"a:b:c", "a", "b:c"}));

TEST(CopyText, CutsToTheBufferAndTerminates) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    CopyText(buffer, sizeof buffer, "abcdef");
    EXPECT_STREQ(buffer, "abc");
    CopyText(buffer, sizeof buffer, "");
    EXPECT_STREQ(buffer, "");
    char single[1] = {'x'};
    CopyText(single, 1, "abc");
    EXPECT_EQ(single[0], '\0');
}

TEST(EqualIgnoringCase, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualIgnoringCase("Proxy.Example:80", "proxy.example:80"));
    EXPECT_FALSE(EqualIgnoringCase("proxy", "proxy1"));
    EXPECT_FALSE(EqualIgnoringCase("proxy1", "proxy"));
    EXPECT_FALSE(EqualIgnoringCase("[", "{"));  // 0x5B and 0x7B differ by the case bit but are no letters
    EXPECT_TRUE(EqualIgnoringCase("", ""));
}
