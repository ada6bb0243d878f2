// One direction of a relayed connection: bytes read from a source socket
// pass in chunks to a destination socket. Both directions of a connection
// use the same step, each with its own chunk.
#pragma once

#include <cstdint>

typedef uintptr_t RelaySocket;

const int ChunkSize = 65535;

// What a stream call returns besides a byte count.
const int StreamEnded = 0;         // receive: the peer closed its sending side
const int StreamWouldBlock = -1;   // nothing now; the socket reports when it can go on
const int StreamFailed = -2;       // reset or any other error

// The socket calls the step makes; the product implements them on Winsock,
// the tests on scripted fakes.
int StreamReceive(RelaySocket source, char* buffer, int size);
int StreamSend(RelaySocket destination, const char* bytes, int size);
void StreamShutdownSend(RelaySocket destination);

struct RelayChunk {
    char* bytes;        // ChunkSize bytes, owned by the connection slot
    int sent;           // how much of the chunk the destination has taken
    int length;         // how many bytes the chunk holds; 0 when none is pending
    int sourceClosing;  // the source reported its orderly close: read it dry
    int ended;          // the end of the stream has been passed on
    uint32_t carried;   // bytes the destination has taken in all (wraps around)
};

enum RelayStepOutcome {
    RelayWaiting,  // the sockets will report when the step can go on
    RelayEnded,    // the source's end has reached the destination (half-close)
    RelayBroken    // a socket failed: close the connection
};

// Chunks read and passed on in one step before the step yields, so that one
// busy connection does not hold up the others: twice what a socket's buffer
// holds. With 16, a burst of new connections waited longer to be accepted.
const int ChunksPerStep = 8;

int HasPendingChunk(const RelayChunk* chunk);

// Sends what is pending, then reads and passes on further chunks until a
// read comes back short (the source has nothing more now), the destination
// cannot take more, or the source has ended (then the destination's sending
// side is shut down). Every way out leaves a report to come: a receive has
// been made, or a send would block.
RelayStepOutcome RelayStep(RelaySocket source, RelaySocket destination, RelayChunk* chunk);
