// Process-wide state of a relay: its port, its kernel objects, the listening
// socket, the shared table and the current upstream server.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "../shared/port_table.h"
#include "upstream_server.h"

struct RelayState {
    int port;
    HANDLE portEvent;
    HANDLE listenEvent;
    SOCKET listenSocket;
    const SharedPortTable* table;
    volatile LONG localOnly;
    // The upstream host and port, replaced as one pair under this lock.
    CRITICAL_SECTION upstreamLock;
    UpstreamServer upstream;
};

extern RelayState Relay;

void SetUpstreamServer(const UpstreamServer* server);
UpstreamServer CurrentUpstreamServer();

// Copies the entry's server and the local-only flag from the shared table.
void ReadPortEntry(int entryIndex);
