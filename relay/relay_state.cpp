#include "relay_state.h"

RelayState Relay;

void SetUpstreamServer(const UpstreamServer* server) {
    EnterCriticalSection(&Relay.upstreamLock);
    Relay.upstream = *server;
    LeaveCriticalSection(&Relay.upstreamLock);
}

UpstreamServer CurrentUpstreamServer() {
    EnterCriticalSection(&Relay.upstreamLock);
    UpstreamServer server = Relay.upstream;
    LeaveCriticalSection(&Relay.upstreamLock);
    return server;
}

void ReadPortEntry(int entryIndex) {
    char server[UpstreamHostSize];
    ReadEntryServer(&Relay.table->ports[entryIndex], server, sizeof server);
    UpstreamServer parsed = ParseUpstreamServer(server);
    SetUpstreamServer(&parsed);
    InterlockedExchange(&Relay.localOnly, Relay.table->localOnly != 0 ? 1 : 0);
}
