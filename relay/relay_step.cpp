#include "relay_step.h"

int HasPendingChunk(const RelayChunk* chunk) {
    return chunk->length != 0 && chunk->sent < chunk->length;
}

// Sends the rest of the pending chunk. Returns 1 when it has gone out whole,
// 0 when the destination cannot take more now, -1 on failure.
static int SendPending(RelaySocket destination, RelayChunk* chunk) {
    while (HasPendingChunk(chunk)) {
        int taken = StreamSend(destination, chunk->bytes + chunk->sent, chunk->length - chunk->sent);
        if (taken == StreamWouldBlock) return 0;
        // A send that takes nothing without blocking would never be
        // reported again; it counts as a failure.
        if (taken <= 0) return -1;
        chunk->sent += taken;
        chunk->carried += (uint32_t)taken;
    }
    chunk->sent = 0;
    chunk->length = 0;
    return 1;
}

static RelayStepOutcome EndDirection(RelaySocket destination, RelayChunk* chunk) {
    StreamShutdownSend(destination);
    chunk->ended = 1;
    return RelayEnded;
}

RelayStepOutcome RelayStep(RelaySocket source, RelaySocket destination, RelayChunk* chunk) {
    if (chunk->ended) return RelayEnded;
    for (int read = 0; read < ChunksPerStep; ++read) {
        int sentWhole = SendPending(destination, chunk);
        if (sentWhole < 0) return RelayBroken;
        if (sentWhole == 0) return RelayWaiting;

        int received = StreamReceive(source, chunk->bytes, ChunkSize);
        if (received == StreamEnded) return EndDirection(destination, chunk);
        if (received == StreamWouldBlock) {
            // After an orderly close nothing more can arrive.
            if (chunk->sourceClosing) return EndDirection(destination, chunk);
            return RelayWaiting;
        }
        if (received < 0) return RelayBroken;
        chunk->length = received;
        chunk->sent = 0;
        // A short read has most likely emptied the source: pass it on and
        // wait for the source to report more, rather than asking again only
        // to hear that it would block. A closing source is read to its end.
        if (received < ChunkSize && !chunk->sourceClosing) {
            int sent = SendPending(destination, chunk);
            return sent < 0 ? RelayBroken : RelayWaiting;
        }
    }
    // The last chunk read still has to go out; a receive has been made, so
    // the source reports again if it holds more.
    int sentWhole = SendPending(destination, chunk);
    if (sentWhole < 0) return RelayBroken;
    return RelayWaiting;
}
