#include "manager/testing/probe_rules.h"

#include <gtest/gtest.h>

#include <string>

TEST(HttpProbeRequest, IsFourLinesEndedByLineFeedsOnly) {
    EXPECT_EQ(HttpProbeRequest("www.example.com"),
              "GET http://www.example.com/ HTTP/1.1\nHost: www.example.com:80\nConnection: close\n\n");
    std::string longHost(255, 'h');
    std::string request = HttpProbeRequest(longHost.c_str());
    EXPECT_EQ(request.find('\r'), std::string::npos);
    EXPECT_EQ(request.size(), std::string("GET http:/// HTTP/1.1\nHost: :80\nConnection: close\n\n").size() + 2 * 255);
}

TEST(ProbeHostSetting, FallsBackWhereARequestLineCannotCarryTheText) {
    struct Case {
        const char* text;
        const char* host;
    };
    const Case cases[] = {
        {"probe.example.org", "probe.example.org"}, {"", DefaultProbeHost},          {"a b", DefaultProbeHost},
        {"a\tb", DefaultProbeHost},                 {"host/path", DefaultProbeHost}, {"h\x7f", DefaultProbeHost},
        {"h\x01", DefaultProbeHost},                {"10.0.0.1", "10.0.0.1"},
    };
    for (const Case& c : cases) EXPECT_EQ(ProbeHostSetting(c.text), c.host) << c.text;
    EXPECT_EQ(ProbeHostSetting(nullptr), DefaultProbeHost);
}

// A port the probe would have to cut to 16 bits names another server.
TEST(ProbePort, OnlyOneTo65535) {
    struct Case {
        const char* text;
        int port;
    };
    const Case cases[] = {
        {"3128", 3128},  {"1", 1},      {"65535", 65535}, {" 080", 80}, {"3128abc", 3128}, {"0", 0},
        {"65536", 0},    {"106801", 0}, {"-1", 0},        {"", 0},      {"abc", 0},        {"99999999999", 0},
        {"-65535", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ProbePort(c.text), c.port) << c.text;
    EXPECT_EQ(ProbePort(nullptr), 0);
}

struct ReplyCase {
    std::string bytes;
    bool alive;
};

class ReplyVerdictTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyVerdictTest, JudgesOnlyTheFirstTenBytes) {
    const std::string& reply = GetParam().bytes;
    EXPECT_EQ(IsAliveReply((const unsigned char*)reply.data(), reply.size()) != 0, GetParam().alive);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyVerdictTest,
    ::testing::Values(ReplyCase{"HTTP/1.1 200 OK\r\n\r\n", true}, ReplyCase{"http/1.0 302 Found\r\n", true},
                      ReplyCase{"HTTP/1.0 204", true}, ReplyCase{"Http/1.1 3", true},
                      ReplyCase{"HTTP/1.1 407 Proxy Authentication Required\r\n", false},
                      ReplyCase{"HTTP/1.1 502 Bad Gateway\r\n", false}, ReplyCase{"HTTP/1.1 100 Continue", false},
                      ReplyCase{"HTTP/2 200", false}, ReplyCase{"HTTP/1.1 2", true}, ReplyCase{"HTTP/1.1 ", false},
                      ReplyCase{"HTTP/1.1  200", false}, ReplyCase{std::string("\x05\xff", 2), true},
                      ReplyCase{std::string("\x05", 1), true}, ReplyCase{std::string("\x00\x5a", 2), false},
                      ReplyCase{"HTTP/1.1 200", true}, ReplyCase{"<html>HTTP/1.1 200", false}, ReplyCase{"", false},
                      ReplyCase{std::string("HTTP/1.1 2\x00", 11), true},
                      ReplyCase{std::string("HTTP/1\x00.1 200", 13), false}));

TEST(ProbesWithSocks, OnlyTheExactTypeText) {
    EXPECT_TRUE(ProbesWithSocks("Socks"));
    EXPECT_FALSE(ProbesWithSocks("socks"));
    EXPECT_FALSE(ProbesWithSocks("Http"));
    EXPECT_FALSE(ProbesWithSocks(""));
}

TEST(LastCheckText, HasNoLeadingZeros) {
    EXPECT_EQ(LastCheckText(2009, 12, 1, 14, 3), "2009.12.1 14:3");
    EXPECT_EQ(LastCheckText(2009, 3, 7, 9, 5), "2009.3.7 9:5");
    EXPECT_EQ(LastCheckText(2026, 1, 31, 0, 0), "2026.1.31 0:0");
}

TEST(SocksGreeting, OffersNoMethod) {
    EXPECT_EQ(SocksGreetingSize, 2u);
    EXPECT_EQ(SocksGreeting[0], 0x05);
    EXPECT_EQ(SocksGreeting[1], 0x00);
}
