// bench_manager_host LOCALPORT 127.0.0.1:UPSTREAMPORT
//
// Plays the manager for one relay during a benchmark: creates the shared
// table and the manager-alive event, publishes entry 0, starts
// TessaronRelay.exe from its own folder, prints "ready" once the relay's port
// listens, and ends when its standard input reaches end-of-file. Its end
// removes the alive event, which ends the relay too.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "shared/port_table.h"
#include "tests/support/loopback_sockets.h"
#include "tests/support/programs.h"

static const DWORD ListenWaitMilliseconds = 20000;
static const DWORD ListenPollMilliseconds = 20;
static const DWORD RelayExitMilliseconds = 3000;
// The host never outlives a benchmark run by much, even when nobody closes
// its input.
static const DWORD LifetimeMilliseconds = 60 * 60 * 1000;
static const DWORD InputBufferSize = 256;

struct ManagerObjects {
    HANDLE aliveEvent;
    HANDLE mapping;
    SharedPortTable* table;
};

static void Say(const char* line) {
    std::fputs(line, stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

static bool CreateManagerObjects(ManagerObjects* objects) {
    objects->aliveEvent = CreateEventA(nullptr, FALSE, FALSE, MainEventName);
    if (objects->aliveEvent == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    objects->mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, SharedTableSize, MainMappingName);
    if (objects->mapping == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    objects->table = (SharedPortTable*)MapViewOfFile(objects->mapping, FILE_MAP_ALL_ACCESS, 0, 0, SharedTableSize);
    if (objects->table == nullptr) return false;
    ZeroMemory(objects->table, sizeof *objects->table);
    WriteTableHeader(objects->table);
    objects->table->localOnly = 1;
    return true;
}

static void PublishEntry(SharedPortTable* table, int port, const char* server) {
    PortEntry* entry = &table->ports[0];
    entry->inUse = 1;
    entry->port = port;
    SetEntryServer(entry, server);
    entry->enabled = 1;
}

// Until the port listens, as long as the relay lives.
static bool WaitForRelayListening(HANDLE relay, int port) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ListenWaitMilliseconds) {
        if (IsListening(port)) return true;
        if (WaitForSingleObject(relay, ListenPollMilliseconds) == WAIT_OBJECT_0) return false;
    }
    return false;
}

// Reads standard input until its end (or a read error).
static DWORD WINAPI ReadInputUntilEnd(LPVOID) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[InputBufferSize];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    return 0;
}

static void WaitForInputEnd() {
    HANDLE reader = CreateThread(nullptr, 0, ReadInputUntilEnd, nullptr, 0, nullptr);
    if (reader == nullptr) return;
    WaitForSingleObject(reader, LifetimeMilliseconds);
    CloseHandle(reader);
}

static void CloseManagerObjects(ManagerObjects* objects) {
    if (objects->table != nullptr) UnmapViewOfFile(objects->table);
    if (objects->mapping != nullptr) CloseHandle(objects->mapping);
    if (objects->aliveEvent != nullptr) CloseHandle(objects->aliveEvent);
    objects->table = nullptr;
    objects->mapping = nullptr;
    objects->aliveEvent = nullptr;
}

// Without the alive event the relay ends by itself within 500 ms; one that
// does not is stopped.
static void EndRelay(HANDLE relay) {
    if (WaitForSingleObject(relay, RelayExitMilliseconds) != WAIT_OBJECT_0) TerminateProcess(relay, 1);
    CloseHandle(relay);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        Say("usage: bench_manager_host LOCALPORT 127.0.0.1:UPSTREAMPORT");
        return 2;
    }
    int port = std::atoi(argv[1]);
    ManagerObjects objects = {nullptr, nullptr, nullptr};
    if (!CreateManagerObjects(&objects)) {
        Say("failed: the manager's objects exist already or cannot be made");
        CloseManagerObjects(&objects);
        return 1;
    }
    PublishEntry(objects.table, port, argv[2]);
    HANDLE relay = LaunchRelay(argv[1]);
    if (relay == nullptr) {
        Say("failed: TessaronRelay.exe did not start");
        CloseManagerObjects(&objects);
        return 1;
    }
    int status = 0;
    if (WaitForRelayListening(relay, port)) {
        Say("ready");
        WaitForInputEnd();
    } else {
        Say("failed: the relay's port does not listen");
        status = 1;
    }
    CloseManagerObjects(&objects);
    EndRelay(relay);
    return status;
}
