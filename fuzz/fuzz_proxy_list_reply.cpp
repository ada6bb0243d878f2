// Proxy list replies as a web server may send them: any bytes and length.
// The parse keeps within the text, accepts nothing without the marker,
// hands over rows no longer than a row holds, and the catalogue takes them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "manager/catalogue/proxy_catalogue.h"
#include "manager/webservice/proxy_list_reply.h"
#include "manager/webservice/webservice_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the end is caught.
    std::vector<char> text(data, data + size);
    ProxyListReply reply = ParseProxyListReply(text.data(), text.size());
    if (!reply.accepted && !reply.servers.empty()) __builtin_trap();
    size_t markerSize = std::strlen(ProxyListMarker);
    if (reply.accepted && (size < markerSize || std::memcmp(data, ProxyListMarker, markerSize) != 0)) __builtin_trap();
    for (const NewServer& server : reply.servers) {
        if (server.address.size() > (size_t)RowTextSize - 1) __builtin_trap();
        if (server.address.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) __builtin_trap();
        if (server.address.find(':') == std::string::npos) __builtin_trap();
        if (server.typeFlag != Http && server.typeFlag != Socks) __builtin_trap();
        if (server.statusCode != StatusCodeUntested) __builtin_trap();
    }

    // The text ends at its first NUL: what follows changes nothing.
    const void* nul = std::memchr(data, 0, size);
    if (nul != nullptr) {
        size_t before = (size_t)((const uint8_t*)nul - data);
        ProxyListReply cut = ParseProxyListReply(text.data(), before);
        if (cut.accepted != reply.accepted || cut.servers.size() != reply.servers.size()) __builtin_trap();
    }

    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    int added = AddServerRows(&catalogue, NewSlot, reply.servers);
    if (added < 0 || (size_t)added > reply.servers.size() || added != catalogue.lists[NewSlot].Count()) {
        __builtin_trap();
    }
    if (AddServerRows(&catalogue, NewSlot, reply.servers) != 0) __builtin_trap();
    return 0;
}
