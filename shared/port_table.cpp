#include "port_table.h"

#include <cstdio>

#include "address_text.h"

void PortEventName(const char* portText, char name[KernelNameSize]) {
    std::snprintf(name, KernelNameSize, PortEventNameFormat, portText);
}

int FindPortEntry(const SharedPortTable* table, int port) {
    for (int i = 0; i < PortEntryCount; ++i) {
        if (table->ports[i].inUse != 0 && table->ports[i].port == port) return i;
    }
    return NoPortEntry;
}

int FindFreePortEntry(const SharedPortTable* table) {
    for (int i = 0; i < PortEntryCount; ++i) {
        if (table->ports[i].inUse == 0) return i;
    }
    return NoPortEntry;
}

int FitsPortEntry(const char* server) {
    for (int i = 0; i < PortServerSize; ++i)
        if (server[i] == '\0') return 1;
    return 0;
}

void SetEntryServer(PortEntry* entry, const char* server) {
    CopyText(entry->server, PortServerSize, server);
}

void ReadEntryServer(const PortEntry* entry, char* buffer, unsigned size) {
    char server[PortServerSize];
    for (int i = 0; i < PortServerSize; ++i) server[i] = entry->server[i];
    server[PortServerSize - 1] = '\0';
    CopyText(buffer, size, server);
}

void WriteTableHeader(SharedPortTable* table) {
    const char header[4] = {'S', 'D', 'F', '\0'};
    table->localOnly = (uint8_t)header[0];
    for (int i = 0; i < 3; ++i) table->headerRest[i] = header[i + 1];
}
