// Server texts and relay arguments as a hand-edited file or a hostile
// command line may give them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "relay/upstream_server.h"
#include "shared/address_text.h"
#include "shared/number_text.h"
#include "shared/port_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text((const char*)data, size);  // stops at the first NUL as C texts do
    UpstreamServer server = ParseUpstreamServer(text.c_str());
    if (std::strlen(server.host) >= (size_t)UpstreamHostSize) __builtin_trap();
    if (server.usable && (server.port < 1 || server.port > 65535)) __builtin_trap();
    RelayPortFromArgument(text.c_str());
    ReadNumber(text.c_str());

    char name[KernelNameSize];
    PortEventName(text.c_str(), name);

    // An entry as a faulty writer might leave it, without a terminator.
    PortEntry entry;
    std::memset(&entry, 'x', sizeof entry);
    std::memcpy(entry.server, data, size < sizeof entry.server ? size : sizeof entry.server);
    char copy[256];
    ReadEntryServer(&entry, copy, sizeof copy);
    ParseUpstreamServer(copy);
    return 0;
}
