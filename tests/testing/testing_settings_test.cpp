#include "manager/testing/testing_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "manager/testing/probe_rules.h"
#include "manager/catalogue/ini_profile.h"

struct TestingCase {
    const char* section;  // the [testing] section's lines, CR LF ended
    int probes;
    int timeoutSeconds;
    const char* probeHost;
};

class TestingSettingsTest : public ::testing::TestWithParam<TestingCase> {};

TEST_P(TestingSettingsTest, DefaultsForMissingKeysAndClampsTheRest) {
    const TestingCase& c = GetParam();
    std::string file = std::string("[main]\r\nports_count=0\r\n[testing]\r\n") + c.section;
    IniProfile settings(file);
    TestingSettings testing = ReadTestingSettings(&settings);
    EXPECT_EQ(testing.probes, c.probes);
    EXPECT_EQ(testing.timeoutSeconds, c.timeoutSeconds);
    EXPECT_EQ(testing.probeHost, c.probeHost);
    EXPECT_EQ(settings.Text(), file) << "read only, never written";
}

INSTANTIATE_TEST_SUITE_P(
    Values, TestingSettingsTest,
    ::testing::Values(TestingCase{"", 8, 30, DefaultProbeHost},
                      TestingCase{"probes=64\r\ntimeout=5\r\nprobehost=probe.example.org\r\n", 64, 5, "probe.example.org"},
                      TestingCase{"probes=0\r\ntimeout=0\r\n", 1, 1, DefaultProbeHost},
                      TestingCase{"probes=65\r\ntimeout=301\r\n", 64, 300, DefaultProbeHost},
                      TestingCase{"probes=-5\r\ntimeout=-2147483648\r\n", 1, 1, DefaultProbeHost},
                      TestingCase{"probes=2147483647\r\ntimeout=99999999999\r\n", 64, 300, DefaultProbeHost},
                      TestingCase{"probes=abc\r\ntimeout=\r\nprobehost=\r\n", 1, 30, DefaultProbeHost},
                      TestingCase{"probes= 16 \r\nprobehost=a b\r\n", 16, 30, DefaultProbeHost}));
