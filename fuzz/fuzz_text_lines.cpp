// Received and stored texts split into lines, and address texts split into
// host and port.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/address_text.h"
#include "shared/line_breaks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that any read past the end is caught.
    std::vector<char> text(data, data + size);
    LineCursor cursor = StartLines(text.data(), text.size());
    const char* line;
    size_t length;
    size_t covered = 0;
    while (NextLine(&cursor, &line, &length)) {
        if (line < text.data() || line + length > text.data() + text.size()) __builtin_trap();
        covered += length;
        std::string address(line, length);
        char* host = &address[0];
        SplitHostPort(host);
    }
    if (covered > size) __builtin_trap();
    return 0;
}
