// config.ini's section "testing": how far a user takes the server tests.
// Read once at start-up and never written, so that a user's file keeps
// these keys as written; without them the tests run as they always have.
#pragma once

#include <string>

#include "../catalogue/profile_store.h"
#include "probe_rules.h"

const int DefaultProbeCount = 8;
const int LeastProbeCount = 1;
const int MostProbeCount = 64;  // one wait covers every probe's event
const int DefaultProbeTimeoutSeconds = 30;
const int LeastProbeTimeoutSeconds = 1;
const int MostProbeTimeoutSeconds = 300;

struct TestingSettings {
    int probes = DefaultProbeCount;                   // probes at once
    int timeoutSeconds = DefaultProbeTimeoutSeconds;  // timer ticks a probe may wait for its verdict
    std::string probeHost = DefaultProbeHost;
};

// Keys "probes", "timeout" and "probehost": missing keys take the defaults,
// values out of range are clamped, an unusable host gives the default one.
TestingSettings ReadTestingSettings(ProfileStore* settings);
