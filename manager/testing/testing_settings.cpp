#include "testing_settings.h"

#include "../../shared/row_text.h"
#include "probe_rules.h"

static const char* const TestingSection = "testing";
static const char* const ProbesKey = "probes";
static const char* const TimeoutKey = "timeout";
static const char* const ProbeHostKey = "probehost";

static int Clamped(int value, int least, int most) { return value < least ? least : value > most ? most : value; }

TestingSettings ReadTestingSettings(ProfileStore* settings) {
    TestingSettings testing;
    testing.probes = Clamped(settings->ReadInt(TestingSection, ProbesKey, DefaultProbeCount), LeastProbeCount,
                             MostProbeCount);
    testing.timeoutSeconds = Clamped(settings->ReadInt(TestingSection, TimeoutKey, DefaultProbeTimeoutSeconds),
                                     LeastProbeTimeoutSeconds, MostProbeTimeoutSeconds);
    char host[RowTextSize];
    settings->ReadText(TestingSection, ProbeHostKey, "", host, sizeof host);
    testing.probeHost = ProbeHostSetting(host);
    return testing;
}
