// TessaronRelay: carries every connection to one mapped port through the
// port's current upstream server, as the manager publishes it in the shared
// port table. Started by the manager with the port's number text as its only
// argument; it has no window.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>

#include "../shared/port_table.h"
#include "connection_slots.h"
#include "manager_watch.h"
#include "relay_state.h"
#include "relay_texts.h"
#include "relay_threads.h"

static const int ListenBacklog = 10;

static void StartThread(LPTHREAD_START_ROUTINE routine) {
    HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
    if (thread == nullptr) EndRelay();
    CloseHandle(thread);
}

static void OpenSharedTable() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, MainMappingName);
    if (mapping == nullptr) EndRelay();
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, SharedTableSize);
    if (view == nullptr) EndRelay();
    Relay.table = (const SharedPortTable*)view;
}

static void ShowBindFailed(int port) {
    char text[128];
    std::snprintf(text, sizeof text, BindFailedFormat, port);
    MessageBoxA(nullptr, text, RelayCaption, MB_ICONERROR | MB_OK);
}

static void StartListening() {
    Relay.listenSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (Relay.listenSocket == INVALID_SOCKET) EndRelay();
    WSAEventSelect(Relay.listenSocket, Relay.listenEvent, FD_ACCEPT);
    SizeSocketBuffers(Relay.listenSocket);
    sockaddr_in local;
    ZeroMemory(&local, sizeof local);
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons((u_short)Relay.port);
    if (bind(Relay.listenSocket, (sockaddr*)&local, sizeof local) == SOCKET_ERROR) {
        ShowBindFailed(Relay.port);
        EndRelay();
    }
    if (listen(Relay.listenSocket, ListenBacklog) == SOCKET_ERROR) EndRelay();
}

// Follows the manager's signals: a new server, a new local-only flag, or the
// order to end (the entry gone or disabled).
static void RunControlLoop() {
    for (;;) {
        if (WaitForSingleObject(Relay.portEvent, INFINITE) != WAIT_OBJECT_0) EndRelay();
        ResetEvent(Relay.portEvent);
        int entry = FindPortEntry(Relay.table, Relay.port);
        if (entry == NoPortEntry) EndRelay();
        if (Relay.table->ports[entry].enabled == 0) EndRelay();
        ReadPortEntry(entry);
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argument, int) {
    InitializeCriticalSection(&Relay.upstreamLock);
    Relay.listenSocket = INVALID_SOCKET;
    if (!InitConnectionSlots()) EndRelay();
    StartThread(ManagerWatchThread);

    // The port event announces this relay to the manager; if it exists
    // already, another relay serves the port.
    char eventName[KernelNameSize];
    PortEventName(argument, eventName);
    Relay.portEvent = CreateEventA(nullptr, TRUE, FALSE, eventName);
    if (Relay.portEvent == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) EndRelay();

    WSADATA winsock;
    if (WSAStartup(MAKEWORD(1, 1), &winsock) != 0) EndRelay();
    Relay.port = RelayPortFromArgument(argument);
    if (Relay.port == 0) EndRelay();

    Relay.listenEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (Relay.listenEvent == nullptr) EndRelay();
    StartThread(ClientSideThread);
    StartThread(UpstreamSideThread);
    StartThread(AcceptConnectThread);

    OpenSharedTable();
    int entry = FindPortEntry(Relay.table, Relay.port);
    if (entry == NoPortEntry) EndRelay();
    ReadPortEntry(entry);

    StartListening();
    RunControlLoop();
    return 0;
}
