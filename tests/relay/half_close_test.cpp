#include "relay/half_close.h"

#include <vector>

#include <gtest/gtest.h>

// The relay's clock stood in for by a number the test moves.
struct FakeClock {
    RelayTicks now;
    void Advance(RelayTicks milliseconds) { now += milliseconds; }
};

static const RelayTicks Hour = 60 * 60 * 1000;

struct ElapsedCase {
    RelayTicks lastCarried;
    RelayTicks now;
    int pastLimit;
};

TEST(HalfCloseClockTest, PastTheLimitExactlyWhenTheLimitHasGoneByOnTheWrappingClock) {
    const RelayTicks nearWrap = 0xFFFFFFFFu - 1000;
    const std::vector<ElapsedCase> cases = {
        {5000, 5000, 0},
        {5000, 5000 + HalfClosedIdleLimit - 1, 0},
        {5000, 5000 + HalfClosedIdleLimit, 1},
        {5000, 5000 + 10 * HalfClosedIdleLimit, 1},
        {nearWrap, nearWrap + HalfClosedIdleLimit - 1, 0},  // the clock wraps in between
        {nearWrap, nearWrap + HalfClosedIdleLimit, 1},
        {5000, 4990, 0},           // read just before the last byte was noted
        {500, 0xFFFFFFF0u, 0},     // the same across the wrap
    };
    for (const ElapsedCase& c : cases) {
        HalfCloseClock clock = {1, c.lastCarried};
        EXPECT_EQ(IsHalfClosedPastLimit(&clock, c.now), c.pastLimit) << c.lastCarried << " -> " << c.now;
    }
}

TEST(HalfCloseClockTest, FullyOpenConnectionHasNoLimit) {
    FakeClock clock = {1000};
    HalfCloseClock connection = {0, 0};
    FollowStep(&connection, 0, 1, clock.now);
    for (int hour = 0; hour < 24 * 60; ++hour) {  // two months: the clock wraps
        clock.Advance(Hour);
        EXPECT_FALSE(IsHalfClosedPastLimit(&connection, clock.now)) << hour;
    }
}

TEST(HalfCloseClockTest, LimitCountsFromTheHalfCloseAndEveryByteAfterIt) {
    FakeClock clock = {0xFFFF0000u};
    HalfCloseClock connection = {0, 0};
    FollowStep(&connection, 0, 1, clock.now);
    clock.Advance(2 * Hour);  // quiet while fully open: no time counts yet

    FollowStep(&connection, 1, 0, clock.now);  // one side closes its sending side
    EXPECT_FALSE(IsHalfClosedPastLimit(&connection, clock.now));
    clock.Advance(HalfClosedIdleLimit / 2);
    FollowStep(&connection, 1, 1, clock.now);  // a byte passes: the limit starts again
    clock.Advance(HalfClosedIdleLimit / 2);
    FollowStep(&connection, 1, 0, clock.now);  // a step that carried nothing
    clock.Advance(HalfClosedIdleLimit / 2 - 1);
    EXPECT_FALSE(IsHalfClosedPastLimit(&connection, clock.now));
    clock.Advance(1);
    EXPECT_TRUE(IsHalfClosedPastLimit(&connection, clock.now));
}

struct ClosedCase {
    int sourceClosing[2];
    int ended[2];
    int halfClosed;
};

TEST(HalfCloseClockTest, EitherSideClosedMakesTheConnectionHalfClosed) {
    const std::vector<ClosedCase> cases = {
        {{0, 0}, {0, 0}, 0},
        {{1, 0}, {0, 0}, 1},  // close reported, end not yet passed on
        {{0, 0}, {0, 1}, 1},  // end read before the close was reported
        {{1, 0}, {1, 0}, 1},
        {{1, 1}, {0, 0}, 1},
    };
    for (const ClosedCase& c : cases) {
        RelayChunk oneWay = {nullptr, 0, 0, c.sourceClosing[0], c.ended[0], 0};
        RelayChunk otherWay = {nullptr, 0, 0, c.sourceClosing[1], c.ended[1], 0};
        EXPECT_EQ(IsHalfClosed(&oneWay, &otherWay), c.halfClosed);
        EXPECT_EQ(IsHalfClosed(&otherWay, &oneWay), c.halfClosed);
    }
}
