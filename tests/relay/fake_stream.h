// Scripted sockets for the relay step: each fake holds what it will yield to
// receives and takes what is sent to it, at a pace the test sets.
#pragma once

#include <string>

#include "relay/relay_step.h"

struct FakeSocket {
    std::string incoming;      // bytes the socket yields to receives
    size_t readPosition = 0;
    bool peerClosed = false;   // after incoming: a receive yields StreamEnded
    bool receiveFails = false;
    int sendRoom = 1 << 30;    // bytes it takes before sends would block
    bool sendFails = false;
    std::string received;      // what was sent to it
    bool shutDown = false;
    bool sentAfterShutdown = false;
    int receives = 0;
};

FakeSocket* Fake(RelaySocket socket);
RelaySocket AsSocket(FakeSocket* fake);
