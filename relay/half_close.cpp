#include "half_close.h"

// Differences of the wrapping clock from half its range on are times before
// the clock's start, not 24 days after it.
static const RelayTicks LatestElapsed = 0x7FFFFFFF;

static int HasSourceClosed(const RelayChunk* chunk) { return chunk->sourceClosing || chunk->ended; }

int IsHalfClosed(const RelayChunk* oneWay, const RelayChunk* otherWay) {
    return HasSourceClosed(oneWay) || HasSourceClosed(otherWay);
}

void FollowStep(HalfCloseClock* clock, int halfClosed, int carriedBytes, RelayTicks now) {
    if (!clock->halfClosed) {
        if (!halfClosed) return;
        clock->halfClosed = 1;
        clock->lastCarried = now;
        return;
    }
    if (carriedBytes) clock->lastCarried = now;
}

int IsHalfClosedPastLimit(const HalfCloseClock* clock, RelayTicks now) {
    if (!clock->halfClosed) return 0;
    RelayTicks elapsed = now - clock->lastCarried;
    return elapsed >= HalfClosedIdleLimit && elapsed <= LatestElapsed;
}
