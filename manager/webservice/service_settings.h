// config.ini's section "network", key "service": the web service's host, or
// host:port. Read at start-up and never written, so that a user's file keeps
// it as written.
#pragma once

#include <string>

#include "../catalogue/profile_store.h"

// Under the reserved top-level domain "invalid": it never resolves, so a
// manager without a configured service fails at once.
extern const char* const DefaultServiceHost;

struct ServiceSettings {
    std::string host;  // host or host:port, never empty
};

// A service host from config.ini: blanks around it dropped, cut to 255
// characters; the default when that leaves nothing, or anything but
// letters, digits, '.', '-', '_', ':', '[' and ']'.
std::string ServiceHostSetting(const char* text);

ServiceSettings ReadServiceSettings(ProfileStore* settings);

// "http://" with the host and the path of each request.
std::string ProxyListUrl(const ServiceSettings& service);
std::string VersionUrl(const ServiceSettings& service);

// Whether the host is a name under the reserved top-level domain "invalid"
// (letter case ignored, with or without a trailing dot, with or without a
// port): such a name never resolves, so the manager fails at once instead
// of asking the network.
int IsNeverResolvable(const ServiceSettings& service);
