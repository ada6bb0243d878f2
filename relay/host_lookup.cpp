#include "host_lookup.h"

#include <windows.h>

u_long ResolveUpstreamHost(const char* host) {
    hostent* entry = gethostbyname(host);
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) return 0;
    u_long address;
    CopyMemory(&address, entry->h_addr_list[0], sizeof address);
    return address;
}
