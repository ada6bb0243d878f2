#include "manager/webservice/fetch_rules.h"

#include <gtest/gtest.h>

#include <climits>

TEST(ContentLengthValue, DigitsOnlyAndNeverWrapping) {
    struct Case {
        const char* header;
        unsigned long long value;
    };
    const Case cases[] = {
        {"1234", 1234},
        {"0", 0},
        {"  1234", 1234},
        {"\t42 ", 42},
        {"007", 7},
        {"", 0},
        {" ", 0},
        {"12a", 0},
        {"1 2", 0},
        {"-5", 0},
        {"+5", 0},
        {"0x10", 0},
        {"1e3", 0},
        {"18446744073709551614", ULLONG_MAX - 1},
        {"18446744073709551615", ULLONG_MAX},
        {"18446744073709551616", ULLONG_MAX},
        {"99999999999999999999999999999999999999", ULLONG_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(ContentLengthValue(c.header), c.value) << '"' << c.header << '"';
    EXPECT_EQ(ContentLengthValue(nullptr), 0u);
}

TEST(JudgeFetch, CompleteOnlyWhenSomethingArrivedWholeAndWithinTheCap) {
    struct Case {
        size_t received;
        unsigned long long expected;
        int capped;
        FetchOutcome outcome;
    };
    const Case cases[] = {
        {0, 0, 0, FetchFailed},
        {0, 100, 0, FetchFailed},
        {1, 0, 0, FetchComplete},
        {100, 100, 0, FetchComplete},
        {99, 100, 0, FetchFailed},
        {101, 100, 0, FetchComplete},
        {ReplyCap, 0, 0, FetchComplete},
        {ReplyCap, ReplyCap, 0, FetchComplete},
        {5, 0, 1, FetchFailed},
        {100, 100, 1, FetchFailed},
        {ReplyCap, ULLONG_MAX, 0, FetchFailed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeFetch(c.received, c.expected, c.capped), c.outcome)
            << c.received << " of " << c.expected << (c.capped ? ", capped" : "");
    }
}

TEST(IsOverReplyCap, MoreArrivedOrAnnouncedThanTheCap) {
    struct Case {
        size_t received;
        unsigned long long expected;
        int over;
    };
    const Case cases[] = {
        {0, 0, 0},          {ReplyCap, 0, 0},      {ReplyCap + 1, 0, 1}, {0, ReplyCap, 0}, {0, ReplyCap + 1, 1},
        {0, ULLONG_MAX, 1}, {ReplyCap + 1, 10, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsOverReplyCap(c.received, c.expected), c.over) << c.received << " " << c.expected;
    }
}

TEST(Progress, BoundByTheLengthAndPositionHeldAtIt) {
    struct RangeCase {
        unsigned long long expected;
        int range;
    };
    const RangeCase ranges[] = {
        {0, 100},
        {1, 1},
        {5000, 5000},
        {ReplyCap, (int)ReplyCap},
        {INT_MAX, INT_MAX},
        {(unsigned long long)INT_MAX + 1, INT_MAX},
        {ULLONG_MAX, INT_MAX},
    };
    for (const RangeCase& c : ranges) EXPECT_EQ(ProgressRange(c.expected), c.range) << c.expected;

    struct PositionCase {
        size_t received;
        int range;
        int position;
    };
    const PositionCase positions[] = {
        {0, 100, 0},
        {50, 100, 50},
        {100, 100, 100},
        {150, 100, 100},
        {ReplyCap, INT_MAX, (int)ReplyCap},
        {(size_t)INT_MAX + 1, INT_MAX, INT_MAX},
        {4095, 1, 1},
    };
    for (const PositionCase& c : positions) {
        EXPECT_EQ(ProgressPosition(c.received, c.range), c.position) << c.received << " in " << c.range;
    }
}
