#include "relay_threads.h"

#include "connection_slots.h"
#include "host_lookup.h"
#include "relay_state.h"

// Every socket of a slot reports these (0x33).
static const long SlotEventMask = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

static const u_long LoopbackAddress = 0x7F000001;  // 127.0.0.1

enum RelaySide { ClientSide, UpstreamSide };

// The waiting client gets what a failed upstream connect gives it: accepted
// and closed. The slot closes with it.
static void RefuseClient(int i) {
    RefuseWaitingClient();
    CloseConnection(i);
}

// Takes slot i for the client waiting in the backlog and starts the connect
// to the current upstream server. The client stays in the backlog until the
// upstream connection is up. The name is looked up before the slot is taken:
// a lookup can last as long as the name service takes, and a relay thread
// woken for the slot must not wait for it.
static void ConnectUpstream(int i) {
    UpstreamServer server = CurrentUpstreamServer();
    u_long address = server.usable ? ResolveUpstreamHost(server.host) : 0;
    if (address == 0) {
        RefuseWaitingClient();
        return;
    }
    RelayConnection* slot = &Connections[i];
    EnterCriticalSection(&slot->lock);
    if (!TakeSlot(i)) {
        RefuseWaitingClient();
        LeaveCriticalSection(&slot->lock);
        return;
    }
    slot->upstreamSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (slot->upstreamSocket == INVALID_SOCKET ||
        WSAEventSelect(slot->upstreamSocket, UpstreamSideEvents[i], SlotEventMask) != 0) {
        RefuseClient(i);
        LeaveCriticalSection(&slot->lock);
        return;
    }
    SizeSocketBuffers(slot->upstreamSocket);
    sockaddr_in to;
    ZeroMemory(&to, sizeof to);
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = htons((u_short)server.port);
    if (connect(slot->upstreamSocket, (sockaddr*)&to, sizeof to) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        RefuseClient(i);
    }
    LeaveCriticalSection(&slot->lock);
}

DWORD WINAPI AcceptConnectThread(LPVOID) {
    for (;;) {
        if (WaitForSingleObject(Relay.listenEvent, INFINITE) != WAIT_OBJECT_0) {
            Sleep(10);
            continue;
        }
        WSANETWORKEVENTS events;
        if (WSAEnumNetworkEvents(Relay.listenSocket, Relay.listenEvent, &events) != 0) {
            ResetEvent(Relay.listenEvent);
            continue;
        }
        if ((events.lNetworkEvents & FD_ACCEPT) == 0) continue;
        // With every slot taken the client waits in the backlog until one frees.
        ConnectUpstream(WaitForFreeSlot());
    }
}

// The upstream connection is up: accept the client waiting for it. Returns 0
// when the slot has been closed instead.
static int AcceptClient(int i) {
    RelayConnection* slot = &Connections[i];
    sockaddr_in from;
    int fromLength = sizeof from;
    SOCKET client = accept(Relay.listenSocket, (sockaddr*)&from, &fromLength);
    if (client == INVALID_SOCKET) {
        CloseConnection(i);
        return 0;
    }
    slot->clientSocket = client;
    WSAEventSelect(client, ClientSideEvents[i], SlotEventMask);
    int localOnly = InterlockedCompareExchange(&Relay.localOnly, 0, 0) != 0;
    if (localOnly && from.sin_addr.s_addr != htonl(LoopbackAddress)) {
        CloseConnection(i);
        return 0;
    }
    return 1;
}

// Runs one direction's step; closes the slot when a socket failed or both
// directions have ended, and otherwise keeps the slot's half-close clock.
// Returns 0 once the slot is closed.
static int RunStep(int i, SOCKET source, SOCKET destination, RelayChunk* chunk) {
    RelayConnection* slot = &Connections[i];
    uint32_t carriedBefore = chunk->carried;
    RelayStepOutcome outcome = RelayStep(source, destination, chunk);
    if (outcome == RelayBroken || (slot->clientChunk.ended && slot->upstreamChunk.ended)) {
        CloseConnection(i);
        return 0;
    }
    // Only a half-closed connection keeps time; a fully open one reads no clock.
    if (slot->halfClose.halfClosed || IsHalfClosed(&slot->clientChunk, &slot->upstreamChunk)) {
        FollowStep(&slot->halfClose, 1, chunk->carried != carriedBefore, GetTickCount());
    }
    return 1;
}

// Read, write and close events of one side's socket. What a side reads goes
// out through the other side; what the other side has pending goes out here.
static void HandleRelayEvents(int i, RelaySide side, const WSANETWORKEVENTS* events) {
    RelayConnection* slot = &Connections[i];
    if (slot->clientSocket == INVALID_SOCKET) return;
    SOCKET own = side == ClientSide ? slot->clientSocket : slot->upstreamSocket;
    SOCKET other = side == ClientSide ? slot->upstreamSocket : slot->clientSocket;
    RelayChunk* ownChunk = side == ClientSide ? &slot->clientChunk : &slot->upstreamChunk;
    RelayChunk* otherChunk = side == ClientSide ? &slot->upstreamChunk : &slot->clientChunk;
    long happened = events->lNetworkEvents;

    if ((happened & FD_READ) && !RunStep(i, own, other, ownChunk)) return;
    if ((happened & FD_WRITE) && !RunStep(i, other, own, otherChunk)) return;
    if (happened & FD_CLOSE) {
        if (events->iErrorCode[FD_CLOSE_BIT] != 0) {
            CloseConnection(i);  // reset or aborted: nothing more will pass
            return;
        }
        // An orderly close: what the side sent still goes through, then the
        // other side's sending direction is shut down.
        ownChunk->sourceClosing = 1;
        RunStep(i, own, other, ownChunk);
    }
}

static void HandleUpstreamEvents(int i, const WSANETWORKEVENTS* events) {
    long happened = events->lNetworkEvents;
    int connectFailed = (happened & FD_CONNECT) && events->iErrorCode[FD_CONNECT_BIT] != 0;
    if ((happened & FD_CONNECT) && !connectFailed && !AcceptClient(i)) return;
    if (connectFailed) {
        RefuseClient(i);
        return;
    }
    HandleRelayEvents(i, UpstreamSide, events);
}

// Waits for the side's events, starting the search after the slot served
// last: the wait reports the lowest signalled handle, so a fixed order would
// serve low slots first and keep busy connections ahead of the rest.
static int WaitForSideEvent(HANDLE* events, int* nextStart) {
    HANDLE rotated[MaxConnections];
    for (int k = 0; k < MaxConnections; ++k) rotated[k] = events[(*nextStart + k) % MaxConnections];
    DWORD woken = WaitForMultipleObjects(MaxConnections, rotated, FALSE, INFINITE);
    if (woken >= WAIT_OBJECT_0 + MaxConnections) return -1;
    int i = (*nextStart + (int)(woken - WAIT_OBJECT_0)) % MaxConnections;
    *nextStart = (i + 1) % MaxConnections;
    return i;
}

static DWORD ServeSide(RelaySide side) {
    HANDLE* events = side == ClientSide ? ClientSideEvents : UpstreamSideEvents;
    int nextStart = 0;
    for (;;) {
        int i = WaitForSideEvent(events, &nextStart);
        if (i < 0) {
            Sleep(10);
            continue;
        }
        RelayConnection* slot = &Connections[i];
        EnterCriticalSection(&slot->lock);
        SOCKET own = side == ClientSide ? slot->clientSocket : slot->upstreamSocket;
        WSANETWORKEVENTS happened;
        // The enquiry resets the slot's event as it reads the recorded events.
        if (!slot->inUse || own == INVALID_SOCKET) {
            ResetEvent(events[i]);
        } else if (WSAEnumNetworkEvents(own, events[i], &happened) == 0) {
            if (side == UpstreamSide) {
                HandleUpstreamEvents(i, &happened);
            } else {
                HandleRelayEvents(i, ClientSide, &happened);
            }
        } else {
            ResetEvent(events[i]);
        }
        LeaveCriticalSection(&slot->lock);
    }
}

DWORD WINAPI UpstreamSideThread(LPVOID) { return ServeSide(UpstreamSide); }

DWORD WINAPI ClientSideThread(LPVOID) { return ServeSide(ClientSide); }
