#include "connection_slots.h"

#include <cstdlib>

#include "relay_state.h"

RelayConnection Connections[MaxConnections];
HANDLE ClientSideEvents[MaxConnections];
HANDLE UpstreamSideEvents[MaxConnections];

// Set whenever a slot frees, for the accepting thread waiting on a full table.
static HANDLE SlotFreedEvent;

// A cleared slot has no socket, no chunk and neither of its events set: an
// event left set by the slot's last use would wake a relay thread for the
// slot's next use, where it would have to wait for the slot's lock.
static void ClearSlot(int i) {
    RelayConnection* slot = &Connections[i];
    ResetEvent(ClientSideEvents[i]);
    ResetEvent(UpstreamSideEvents[i]);
    slot->clientSocket = INVALID_SOCKET;
    slot->upstreamSocket = INVALID_SOCKET;
    RelayChunk empty = {nullptr, 0, 0, 0, 0, 0};
    slot->clientChunk = empty;
    slot->upstreamChunk = empty;
    HalfCloseClock fullyOpen = {0, 0};
    slot->halfClose = fullyOpen;
}

int InitConnectionSlots() {
    for (int i = 0; i < MaxConnections; ++i) {
        ClientSideEvents[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        UpstreamSideEvents[i] = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (ClientSideEvents[i] == nullptr || UpstreamSideEvents[i] == nullptr) return 0;
        InitializeCriticalSection(&Connections[i].lock);
        Connections[i].inUse = 0;
        ClearSlot(i);
    }
    SlotFreedEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return SlotFreedEvent != nullptr;
}

static int FindFreeSlot() {
    for (int i = 0; i < MaxConnections; ++i) {
        if (InterlockedCompareExchange(&Connections[i].inUse, 0, 0) == 0) return i;
    }
    return -1;
}

int WaitForFreeSlot() {
    int i;
    while ((i = FindFreeSlot()) < 0) WaitForSingleObject(SlotFreedEvent, INFINITE);
    return i;
}

int TakeSlot(int i) {
    RelayConnection* slot = &Connections[i];
    ClearSlot(i);
    slot->clientChunk.bytes = (char*)calloc(1, ChunkSize);
    slot->upstreamChunk.bytes = (char*)calloc(1, ChunkSize);
    if (slot->clientChunk.bytes == nullptr || slot->upstreamChunk.bytes == nullptr) {
        free(slot->clientChunk.bytes);
        free(slot->upstreamChunk.bytes);
        ClearSlot(i);
        return 0;
    }
    InterlockedExchange(&slot->inUse, 1);
    return 1;
}

void CloseConnection(int i) {
    RelayConnection* slot = &Connections[i];
    if (slot->upstreamSocket != INVALID_SOCKET) closesocket(slot->upstreamSocket);
    if (slot->clientSocket != INVALID_SOCKET) closesocket(slot->clientSocket);
    free(slot->clientChunk.bytes);
    free(slot->upstreamChunk.bytes);
    ClearSlot(i);
    if (InterlockedExchange(&slot->inUse, 0) != 0) SetEvent(SlotFreedEvent);
}

void CloseHalfClosedPastLimit() {
    for (int i = 0; i < MaxConnections; ++i) {
        RelayConnection* slot = &Connections[i];
        if (InterlockedCompareExchange(&slot->inUse, 0, 0) == 0) continue;
        EnterCriticalSection(&slot->lock);
        // The time is read under the lock: no byte noted after it.
        if (slot->inUse && IsHalfClosedPastLimit(&slot->halfClose, GetTickCount())) CloseConnection(i);
        LeaveCriticalSection(&slot->lock);
    }
}

void RefuseWaitingClient() {
    SOCKET client = accept(Relay.listenSocket, nullptr, nullptr);
    if (client != INVALID_SOCKET) closesocket(client);
}

void SizeSocketBuffers(SOCKET socket) {
    int size = SocketBufferBytes;
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, (const char*)&size, sizeof size);
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, (const char*)&size, sizeof size);
}
