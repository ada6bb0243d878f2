// The table through which the manager steers its relays: a flag byte and 16
// port entries in one named file mapping, plus the names of the kernel
// objects both programs meet on. The byte layout is fixed; both programs are
// built against this header.
#pragma once

#include <cstddef>
#include <cstdint>

const char* const MainMappingName = "Local\\Tessaron10_Main_FM";
const char* const MainEventName = "Local\\Tessaron10_Main_Event";
const char* const PortEventNameFormat = "Local\\Tessaron10_Port%s_Event";

const unsigned SharedTableSize = 0xFFFF;  // 65535, not 65536
const int PortEntryCount = 16;
const int PortServerSize = 64;           // 63 characters and a terminator
const int KernelNameSize = 256;
const int NoPortEntry = -1;

struct PortEntry {
    int32_t inUse;                // nonzero: a relay has been started for the port
    int32_t port;                 // decimal value of the port text
    char server[PortServerSize];  // "host:port" or "None"
    int32_t enabled;              // 0: the relay is to end
};

struct SharedPortTable {
    uint8_t localOnly;     // nonzero: serve only clients from 127.0.0.1
    char headerRest[3];    // 'D', 'F', 0 from the "SDF" written at creation
    PortEntry ports[PortEntryCount];
};

static_assert(sizeof(PortEntry) == 76, "PortEntry is 76 bytes");
static_assert(offsetof(PortEntry, server) == 8, "server at offset 8");
static_assert(offsetof(PortEntry, enabled) == 72, "enabled at offset 72");
static_assert(offsetof(SharedPortTable, ports) == 4, "entries start at offset 4");
static_assert(sizeof(SharedPortTable) == 1220, "entries end at offset 1220");

// "Local\Tessaron10_Port<portText>_Event" in a buffer of KernelNameSize bytes
// (cut to fit, the same way on both sides).
void PortEventName(const char* portText, char name[KernelNameSize]);

// Index of the first in-use entry, from 0 upwards, whose port equals port;
// NoPortEntry when there is none.
int FindPortEntry(const SharedPortTable* table, int port);

// Index of the first entry whose inUse is 0; NoPortEntry when all are taken.
int FindFreePortEntry(const SharedPortTable* table);

// Whether a server text fits an entry whole (63 characters at most). A
// longer one, cut, would name another server: "host:31" for "host:3128".
int FitsPortEntry(const char* server);

// Copies a server text into an entry, cut to its first 63 characters.
void SetEntryServer(PortEntry* entry, const char* server);

// Copies an entry's server text into a buffer of size bytes, always
// terminated even when the entry's own text lacks a terminator.
void ReadEntryServer(const PortEntry* entry, char* buffer, unsigned size);

// Writes the "SDF" header the manager puts at offsets 0 to 3 on creation.
void WriteTableHeader(SharedPortTable* table);
