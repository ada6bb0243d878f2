#include "number_text.h"

#include <climits>

static int IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int ReadNumber(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (IsBlank(*p)) ++p;
    int negative = 0;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulate in a wider type and hold it at the 32-bit limits, so that
    // a long run of digits never overflows.
    long long value = 0;
    const long long limit = negative ? -(long long)INT_MIN : (long long)INT_MAX;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > limit) value = limit;
        ++p;
    }
    return (int)(negative ? -value : value);
}
