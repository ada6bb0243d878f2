#include "relay/upstream_server.h"

#include <string>

#include <gtest/gtest.h>
#include <ostream>

struct UpstreamCase {
    const char* server;
    const char* host;
    int port;
    int usable;
};

static std::ostream& operator<<(std::ostream& out, const UpstreamCase& c) { return out << "\"" << c.server << "\""; }


class ParseUpstreamServerTest : public ::testing::TestWithParam<UpstreamCase> {};

TEST_P(ParseUpstreamServerTest, GivesHostPortAndWhetherToConnect) {
    UpstreamServer parsed = ParseUpstreamServer(GetParam().server);
    EXPECT_STREQ(parsed.host, GetParam().host);
    EXPECT_EQ(parsed.port, GetParam().port);
    EXPECT_EQ(parsed.usable, GetParam().usable);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ParseUpstreamServerTest,
    ::testing::Values(UpstreamCase{"10.0.0.5:3128", "10.0.0.5", 3128, 1},
                      UpstreamCase{"proxy.example:8080", "proxy.example", 8080, 1},
                      UpstreamCase{"None", "0.0.0.0", 0, 0},
                      UpstreamCase{"none", "none", 0, 0},            // only the exact text means no server
                      UpstreamCase{"hostwithoutcolon", "hostwithoutcolon", 0, 0},
                      UpstreamCase{"host:80x", "host", 80, 1}, UpstreamCase{"host: 80", "host", 80, 1},
                      UpstreamCase{"host:0", "host", 0, 0}, UpstreamCase{"host:abc", "host", 0, 0},
                      UpstreamCase{"host:65535", "host", 65535, 1}, UpstreamCase{"host:65536", "host", 65536, 0},
                      UpstreamCase{"host:-80", "host", -80, 0}, UpstreamCase{"", "", 0, 0}));

TEST(ParseUpstreamServer, LongTextIsCutToTheHostBuffer) {
    std::string longHost(400, 'a');
    UpstreamServer parsed = ParseUpstreamServer((longHost + ":80").c_str());
    EXPECT_EQ(std::string(parsed.host), std::string(UpstreamHostSize - 1, 'a'));
    EXPECT_EQ(parsed.usable, 0);  // the port fell outside what was kept
}

struct ArgumentCase {
    const char* argument;
    int port;
};

static std::ostream& operator<<(std::ostream& out, const ArgumentCase& c) { return out << "\"" << c.argument << "\""; }


class RelayPortFromArgumentTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(RelayPortFromArgumentTest, GivesThePortOrZero) {
    EXPECT_EQ(RelayPortFromArgument(GetParam().argument), GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(Arguments, RelayPortFromArgumentTest,
                         ::testing::Values(ArgumentCase{"9800", 9800}, ArgumentCase{"9800x", 9800},
                                           ArgumentCase{" 9800", 9800}, ArgumentCase{"0", 0},
                                           ArgumentCase{"abc", 0}, ArgumentCase{"", 0},
                                           ArgumentCase{"65535", 65535}, ArgumentCase{"65536", 0},
                                           ArgumentCase{"75336", 0}, ArgumentCase{"-9800", 0}));
