#include "manager/webservice/service_settings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "manager/catalogue/ini_profile.h"

struct ServiceCase {
    const char* name;
    std::string lines;  // config.ini after its [main] section
    std::string host;
};

void PrintTo(const ServiceCase& c, std::ostream* out) { *out << c.name; }

class ServiceSettingsTest : public ::testing::TestWithParam<ServiceCase> {};

TEST_P(ServiceSettingsTest, UsableHostOrTheDefault) {
    std::string file = "[main]\r\nports_count=0\r\n" + GetParam().lines;
    IniProfile settings(file);
    ServiceSettings service = ReadServiceSettings(&settings);
    EXPECT_EQ(service.host, GetParam().host);
    EXPECT_EQ(settings.Text(), file) << "read only, never written";
}

INSTANTIATE_TEST_SUITE_P(
    Values, ServiceSettingsTest,
    ::testing::Values(
        ServiceCase{"NoSection", "", DefaultServiceHost}, ServiceCase{"NoKey", "[network]\r\n", DefaultServiceHost},
        ServiceCase{"OtherSection", "[testing]\r\nservice=list.example.org\r\n", DefaultServiceHost},
        ServiceCase{"Host", "[network]\r\nservice=list.example.org\r\n", "list.example.org"},
        ServiceCase{"HostAndPortAnyCase", "[Network]\r\nSERVICE=127.0.0.1:8080\r\n", "127.0.0.1:8080"},
        ServiceCase{"BracketedAddress", "[network]\r\nservice=[::1]:8080\r\n", "[::1]:8080"},
        ServiceCase{"UnderscoreAndDash", "[network]\r\nservice=my_host-2.lan\r\n", "my_host-2.lan"},
        ServiceCase{"BlanksInsideQuotes", "[network]\r\nservice=\" list.example.org\t\"\r\n", "list.example.org"},
        ServiceCase{"OnlyBlanks", "[network]\r\nservice=\"  \"\r\n", DefaultServiceHost},
        ServiceCase{"Empty", "[network]\r\nservice=\r\n", DefaultServiceHost},
        ServiceCase{"Blank", "[network]\r\nservice=list example.org\r\n", DefaultServiceHost},
        ServiceCase{"Url", "[network]\r\nservice=http://list.example.org\r\n", DefaultServiceHost},
        ServiceCase{"Path", "[network]\r\nservice=list.example.org/app\r\n", DefaultServiceHost},
        ServiceCase{"Query", "[network]\r\nservice=list.example.org?x\r\n", DefaultServiceHost},
        ServiceCase{"Fragment", "[network]\r\nservice=list.example.org#x\r\n", DefaultServiceHost},
        ServiceCase{"UserPart", "[network]\r\nservice=user@list.example.org\r\n", DefaultServiceHost},
        ServiceCase{"Semicolon", "[network]\r\nservice=list.example.org;x\r\n", DefaultServiceHost},
        ServiceCase{"NonAscii",
                    "[network]\r\nservice=b\xfc"
                    "cher.example\r\n",
                    DefaultServiceHost},
        ServiceCase{"Long", "[network]\r\nservice=" + std::string(300, 'h') + "\r\n", std::string(255, 'h')}),
    [](const ::testing::TestParamInfo<ServiceCase>& info) { return std::string(info.param.name); });

// What the profile reader leaves untouched reaches the setting as it is.
TEST(ServiceHostSetting, TrimsBlanksAndRefusesWhatAUrlCannotCarry) {
    struct Case {
        const char* text;
        const char* host;
    };
    const Case cases[] = {
        {"list.example.org", "list.example.org"},
        {"  list.example.org\t ", "list.example.org"},
        {" \t ", DefaultServiceHost},
        {"", DefaultServiceHost},
        {"list.example.org\r", DefaultServiceHost},
        {"list\x01.example.org", DefaultServiceHost},
        {"list\x7f.example.org", DefaultServiceHost},
        {"list.example.org:8080", "list.example.org:8080"},
    };
    for (const Case& c : cases) EXPECT_EQ(ServiceHostSetting(c.text), c.host) << c.text;
    EXPECT_EQ(ServiceHostSetting(nullptr), DefaultServiceHost);
    std::string padded = " " + std::string(255, 'h') + "x ";
    EXPECT_EQ(ServiceHostSetting(padded.c_str()), std::string(255, 'h'));
}

TEST(ServiceUrls, TheHostWithEachRequestsPath) {
    ServiceSettings service{"127.0.0.1:8080"};
    EXPECT_EQ(ProxyListUrl(service), "http://127.0.0.1:8080/app/proxylist.php");
    EXPECT_EQ(VersionUrl(service), "http://127.0.0.1:8080/app/version.php?ver=3");
    service.host = DefaultServiceHost;
    EXPECT_EQ(ProxyListUrl(service), "http://service.tessaron.invalid/app/proxylist.php");
}

TEST(IsNeverResolvable, NamesUnderTheInvalidDomainOnly) {
    struct Case {
        const char* host;
        int never;
    };
    const Case cases[] = {
        {DefaultServiceHost, 1}, {"SERVICE.Tessaron.INVALID", 1},
        {"x.invalid.", 1},       {"x.invalid:8080", 1},
        {"x.invalid.:8080", 1},  {"invalid", 1},
        {"Invalid.", 1},         {"invalid.example.org", 0},
        {"xinvalid", 0},         {"x.invalid.org", 0},
        {"x.invalidd", 0},       {"x.invali", 0},
        {"x.invalid..", 0},      {"127.0.0.1:8080", 0},
        {"localhost", 0},        {"[::1]:8080", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(IsNeverResolvable(ServiceSettings{c.host}), c.never) << c.host;
}
