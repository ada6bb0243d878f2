// Version replies as a web server may send them, and the same bytes as the
// service setting from config.ini and as a Content-Length header. Every
// offer text stays terminated within its field, a reply that offers nothing
// leaves the offer empty, and a host setting is never empty nor holds
// anything a URL's host part cannot carry.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "manager/webservice/fetch_rules.h"
#include "manager/webservice/service_settings.h"
#include "manager/webservice/version_reply.h"

static int Terminated(const char* field, size_t capacity) { return std::memchr(field, 0, capacity) != nullptr; }

static int HasLineBreak(const char* field) { return std::strpbrk(field, "\r\n") != nullptr; }

static void CheckOffer(const std::vector<char>& text) {
    std::unique_ptr<UpdateOffer> offer(new UpdateOffer);  // exactly its size: overruns are caught
    std::memset(offer.get(), 'x', sizeof *offer);
    int shown = ParseVersionReply(text.data(), text.size(), offer.get());
    if (shown != 0 && shown != 1) __builtin_trap();
    if (!Terminated(offer->link, sizeof offer->link) || !Terminated(offer->caption, sizeof offer->caption) ||
        !Terminated(offer->title, sizeof offer->title) || !Terminated(offer->message, sizeof offer->message)) {
        __builtin_trap();
    }
    if (HasLineBreak(offer->link) || HasLineBreak(offer->caption) || HasLineBreak(offer->title)) __builtin_trap();
    if (!shown && (offer->link[0] || offer->caption[0] || offer->title[0] || offer->message[0])) __builtin_trap();
    if (OfferHasLink(offer.get()) && !shown) __builtin_trap();
}

static int IsHostCharacter(char c) {
    return c != '\0' &&
           std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_:[]", c) != nullptr;
}

static void CheckSetting(const char* value) {
    ServiceSettings service{ServiceHostSetting(value)};
    if (service.host.empty() || service.host.size() > 255) __builtin_trap();
    for (char c : service.host) {
        if (!IsHostCharacter(c)) __builtin_trap();
    }
    IsNeverResolvable(service);
}

// The header's value checked against the C library's reading of it.
static void CheckContentLength(const char* header) {
    unsigned long long expected = ContentLengthValue(header);
    std::string digits = header;
    digits.erase(0, digits.find_first_not_of(" \t"));
    digits.erase(digits.find_last_not_of(" \t") + 1);
    bool number = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    if (number) {
        errno = 0;
        unsigned long long value = std::strtoull(digits.c_str(), nullptr, 10);
        if (expected != (errno == ERANGE ? ULLONG_MAX : value)) __builtin_trap();
    } else if (expected != 0) {
        __builtin_trap();
    }
    int range = ProgressRange(expected);
    if (range <= 0 || (expected > 0 && expected <= INT_MAX && (unsigned long long)range != expected)) __builtin_trap();
    int position = ProgressPosition(digits.size(), range);
    if (position < 0 || position > range) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the end is caught.
    std::vector<char> text(data, data + size);
    CheckOffer(text);
    std::string value((const char*)data, size);
    CheckSetting(value.c_str());  // as C texts: up to the first NUL
    CheckContentLength(value.c_str());
    return 0;
}
