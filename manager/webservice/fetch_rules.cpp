#include "fetch_rules.h"

#include <climits>

// The bar's bound while the length is unknown.
static const int UnknownLengthRange = 100;

static int IsBlank(char c) { return c == ' ' || c == '\t'; }

unsigned long long ContentLengthValue(const char* header) {
    if (header == nullptr) return 0;
    const char* p = header;
    while (IsBlank(*p)) ++p;
    if (*p < '0' || *p > '9') return 0;
    unsigned long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = (unsigned)(*p - '0');
        value = value > (ULLONG_MAX - digit) / 10 ? ULLONG_MAX : value * 10 + digit;
    }
    while (IsBlank(*p)) ++p;
    return *p == '\0' ? value : 0;
}

int IsOverReplyCap(size_t received, unsigned long long expected) { return received > ReplyCap || expected > ReplyCap; }

FetchOutcome JudgeFetch(size_t received, unsigned long long expected, int capped) {
    if (received == 0 || capped) return FetchFailed;
    if (expected > 0 && received < expected) return FetchFailed;
    return FetchComplete;
}

int ProgressRange(unsigned long long expected) {
    if (expected == 0) return UnknownLengthRange;
    return expected > (unsigned long long)INT_MAX ? INT_MAX : (int)expected;
}

int ProgressPosition(size_t received, int range) {
    if (range <= 0) return 0;
    return received > (size_t)range ? range : (int)received;
}
