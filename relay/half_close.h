// The time limit of a half-closed connection. Once either side of a
// connection has closed its sending side, a peer that never closes its own
// side would hold the connection's slot for good; such a connection ends once
// it has carried no byte for HalfClosedIdleLimit, as TCP stacks and proxies
// commonly do with half-closed connections. A fully open connection has no
// limit: it stays as long as its peers keep it.
#pragma once

#include <cstdint>

#include "relay_step.h"

// Milliseconds of a clock that wraps around (GetTickCount in the relay).
typedef uint32_t RelayTicks;

const RelayTicks HalfClosedIdleLimit = 60 * 1000;

// One connection's clock, kept with its slot.
struct HalfCloseClock {
    int halfClosed;          // either side has closed its sending side
    RelayTicks lastCarried;  // the half-close, or the last byte carried since
};

// Whether either side of the connection whose directions these are has
// closed its sending side (its close reported, or its end read).
int IsHalfClosed(const RelayChunk* oneWay, const RelayChunk* otherWay);

// Follows a connection after a step of one of its directions: the first
// half-close starts the clock, and every step that carried a byte after it
// starts it again.
void FollowStep(HalfCloseClock* clock, int halfClosed, int carriedBytes, RelayTicks now);

// Whether the connection is half-closed and has carried nothing for the
// limit at now. A now read before the clock's last start (by another thread a
// moment earlier) counts as no time gone.
int IsHalfClosedPastLimit(const HalfCloseClock* clock, RelayTicks now);
