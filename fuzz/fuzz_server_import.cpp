// Text files for File > "Import from text file": any bytes, split into two
// chunks at a point the first two bytes choose. The chunks read exactly as
// the whole text, and as its lines read one by one; every server is a
// host of address characters, one ':' and a port of 1 to 65535 that fits a
// row, and the catalogue takes each.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "manager/catalogue/server_import.h"
#include "shared/line_breaks.h"
#include "shared/row_text.h"

static void FeedCopy(ServerImport* import, const uint8_t* data, size_t size) {
    std::vector<char> chunk(data, data + size);  // exact size: reads past the end are caught
    import->Feed(chunk.data(), chunk.size());
}

static bool SameServers(const std::vector<NewServer>& a, const std::vector<NewServer>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].address != b[i].address || a[i].typeFlag != b[i].typeFlag || a[i].statusCode != b[i].statusCode)
            return false;
    }
    return true;
}

static bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

static bool IsBlankLine(const char* line, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (line[i] != ' ' && line[i] != '\t') return false;
    return true;
}

static bool IsWellFormed(const NewServer& server) {
    const std::string& address = server.address;
    size_t colon = address.find(':');
    if (address.size() > (size_t)RowTextSize - 1 || colon == 0 || colon == std::string::npos) return false;
    if (address.find(':', colon + 1) != std::string::npos) return false;
    for (size_t i = 0; i < colon; ++i)
        if (!IsHostCharacter(address[i])) return false;
    std::string port = address.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    long value = std::strtol(port.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    return (server.typeFlag == Http || server.typeFlag == Socks) && server.statusCode == StatusCodeUntested;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t* text = data + 2;
    size_t length = size - 2;
    size_t split = (((size_t)data[0] << 8) | data[1]) % (length + 1);

    ServerImport whole;
    FeedCopy(&whole, text, length);
    whole.Finish();
    ServerImport halves;
    FeedCopy(&halves, text, split);
    FeedCopy(&halves, text + split, length - split);
    halves.Finish();
    if (halves.LinesRead() != whole.LinesRead() || !SameServers(halves.Servers(), whole.Servers())) __builtin_trap();

    // The same text as the shared rule splits it, each line read on its own.
    std::vector<char> copy(text, text + length);
    LineCursor cursor = StartLines(copy.data(), copy.size());
    const char* line;
    size_t lineLength;
    int lines = 0;
    std::vector<NewServer> servers;
    while (NextLine(&cursor, &line, &lineLength)) {
        if (!IsBlankLine(line, lineLength)) ++lines;
        NewServer server;
        if (ReadImportLine(line, lineLength, &server)) servers.push_back(server);
    }
    if (lines != whole.LinesRead() || !SameServers(servers, whole.Servers())) __builtin_trap();

    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    for (const NewServer& server : whole.Servers()) {
        if (!IsWellFormed(server)) __builtin_trap();
        if (AddServerRow(&catalogue, NewSlot, server.address.c_str(), server.typeFlag, server.statusCode) == AddInvalid)
            __builtin_trap();
    }
    return 0;
}
