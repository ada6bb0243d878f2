// The 64 connection slots of a relay and their events. A slot is free, then
// connecting (upstream socket, client still in the listen backlog), then
// relaying (client accepted), then closed and free again.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "half_close.h"
#include "relay_step.h"

const int MaxConnections = 64;  // one WaitForMultipleObjects call's worth of events

struct RelayConnection {
    volatile LONG inUse;
    SOCKET clientSocket;
    SOCKET upstreamSocket;
    RelayChunk clientChunk;    // read from the client, bound upstream
    RelayChunk upstreamChunk;  // read from the upstream server, bound to the client
    HalfCloseClock halfClose;  // how long the connection has been half-closed and quiet
    // Held for everything done with the slot's sockets and chunks; both relay
    // threads and the accepting thread take it.
    CRITICAL_SECTION lock;
};

extern RelayConnection Connections[MaxConnections];
extern HANDLE ClientSideEvents[MaxConnections];
extern HANDLE UpstreamSideEvents[MaxConnections];

// Creates both event arrays and the slot locks; every slot starts free.
int InitConnectionSlots();

// The first free slot from index 0 upwards; waits while all are taken.
int WaitForFreeSlot();

// Takes slot i (its lock held by the caller): both chunks allocated and
// cleared, both events reset. Returns 0 when a buffer cannot be had; the slot
// stays free.
int TakeSlot(int i);

// Closes the upstream socket, then the client socket, frees both chunks,
// resets both events and marks the slot free (its lock held by the caller).
// A second close of the same use finds nothing left to release.
void CloseConnection(int i);

// Closes every connection that is half-closed and has carried nothing for
// its limit. Called every half second from the relay's existing poll, so an
// idle relay wakes no more often than before.
void CloseHalfClosedPastLimit();

// Kernel buffers of a relayed socket, each way. A wake-up can move only what
// the buffers hold; the system's defaults on loopback hold about 100 KiB,
// which made every chunk cost a wake-up of its own.
const int SocketBufferBytes = 256 * 1024;

// Gives the socket SocketBufferBytes to receive into and to send from. Set
// on the listening socket, it passes to every accepted client.
void SizeSocketBuffers(SOCKET socket);

// Accepts the client waiting in the listen backlog and closes it at once.
void RefuseWaitingClient();
