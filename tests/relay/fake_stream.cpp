#include "fake_stream.h"

#include <algorithm>

FakeSocket* Fake(RelaySocket socket) { return reinterpret_cast<FakeSocket*>(socket); }

RelaySocket AsSocket(FakeSocket* fake) { return reinterpret_cast<RelaySocket>(fake); }

int StreamReceive(RelaySocket source, char* buffer, int size) {
    FakeSocket* fake = Fake(source);
    ++fake->receives;
    if (fake->receiveFails) return StreamFailed;
    size_t left = fake->incoming.size() - fake->readPosition;
    if (left == 0) return fake->peerClosed ? StreamEnded : StreamWouldBlock;
    size_t count = std::min(left, (size_t)size);
    fake->incoming.copy(buffer, count, fake->readPosition);
    fake->readPosition += count;
    return (int)count;
}

int StreamSend(RelaySocket destination, const char* bytes, int size) {
    FakeSocket* fake = Fake(destination);
    if (fake->sendFails) return StreamFailed;
    if (fake->shutDown) fake->sentAfterShutdown = true;
    if (fake->sendRoom == 0) return StreamWouldBlock;
    int count = std::min(size, fake->sendRoom);
    fake->sendRoom -= count;
    fake->received.append(bytes, count);
    return count;
}

void StreamShutdownSend(RelaySocket destination) { Fake(destination)->shutDown = true; }
