#include "relay_harness.h"

bool ManagerSide::Start(bool withTable) {
    aliveEvent = CreateEventA(nullptr, FALSE, FALSE, MainEventName);
    if (aliveEvent == nullptr) return false;
    if (!withTable) return true;
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, SharedTableSize, MainMappingName);
    if (mapping == nullptr) return false;
    table = (SharedPortTable*)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, SharedTableSize);
    if (table == nullptr) return false;
    ZeroMemory(table, sizeof *table);
    WriteTableHeader(table);
    table->localOnly = 1;
    return true;
}

void ManagerSide::End() {
    if (table != nullptr) UnmapViewOfFile(table);
    if (mapping != nullptr) CloseHandle(mapping);
    if (aliveEvent != nullptr) CloseHandle(aliveEvent);
    table = nullptr;
    mapping = nullptr;
    aliveEvent = nullptr;
}

void ManagerSide::SetEntry(int index, int port, const char* server, int enabled) {
    PortEntry* entry = &table->ports[index];
    entry->inUse = 1;
    entry->port = port;
    SetEntryServer(entry, server);
    entry->enabled = enabled;
}

bool ManagerSide::Signal(const std::string& portText) {
    char name[KernelNameSize];
    PortEventName(portText.c_str(), name);
    HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
    if (event == nullptr) return false;
    SetEvent(event);
    CloseHandle(event);
    return true;
}

bool ManagerSide::RelayRunning(const std::string& portText) {
    char name[KernelNameSize];
    PortEventName(portText.c_str(), name);
    HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
    if (event == nullptr) return false;
    CloseHandle(event);
    return true;
}

bool WaitForExit(HANDLE process, DWORD milliseconds) {
    return WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
}
