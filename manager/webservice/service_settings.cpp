#include "service_settings.h"

#include <cstring>

#include "../../shared/address_text.h"
#include "../../shared/row_text.h"
#include "webservice_texts.h"

const char* const DefaultServiceHost = "service.tessaron.invalid";

static const char* const NetworkSection = "network";
static const char* const ServiceKey = "service";
static const char* const UrlScheme = "http://";
static const char* const NeverResolvableDomain = "invalid";

static int IsBlank(char c) { return c == ' ' || c == '\t'; }

static int IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_' || c == ':' || c == '[' || c == ']';
}

std::string ServiceHostSetting(const char* text) {
    if (text == nullptr) return DefaultServiceHost;
    size_t start = 0;
    size_t end = std::strlen(text);
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    if (end - start > (size_t)RowTextSize - 1) end = start + RowTextSize - 1;
    if (start == end) return DefaultServiceHost;
    for (size_t i = start; i < end; ++i) {
        if (!IsHostCharacter(text[i])) return DefaultServiceHost;
    }
    return std::string(text + start, end - start);
}

ServiceSettings ReadServiceSettings(ProfileStore* settings) {
    char value[RowTextSize];
    settings->ReadText(NetworkSection, ServiceKey, "", value, sizeof value);
    ServiceSettings service;
    service.host = ServiceHostSetting(value);
    return service;
}

std::string ProxyListUrl(const ServiceSettings& service) { return UrlScheme + service.host + ProxyListPath; }

std::string VersionUrl(const ServiceSettings& service) { return UrlScheme + service.host + VersionPath; }

// Whether the name is the domain itself or ends with "." and the domain,
// letter case ignored.
static int IsUnderDomain(const std::string& name, const char* domain) {
    size_t size = std::strlen(domain);
    if (name.size() < size) return 0;
    size_t tail = name.size() - size;
    if (tail > 0 && name[tail - 1] != '.') return 0;
    return EqualIgnoringCase(name.c_str() + tail, domain);
}

int IsNeverResolvable(const ServiceSettings& service) {
    const std::string& host = service.host;
    if (host.empty() || host[0] == '[') return 0;  // a bracketed address literal names no domain
    std::string name = host.substr(0, host.find(':'));
    if (!name.empty() && name.back() == '.') name.pop_back();
    return IsUnderDomain(name, NeverResolvableDomain);
}
