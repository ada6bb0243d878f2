// Probe replies of any bytes and length, and probe hosts as a hand-edited
// config.ini may give them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "manager/testing/probe_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int alive = IsAliveReply(data, size);
    // Only the first ten bytes count: more bytes after them change nothing.
    if (size > JudgedReplyBytes && alive != IsAliveReply(data, JudgedReplyBytes)) __builtin_trap();
    if (size > 0 && data[0] == 0x05 && !alive) __builtin_trap();

    std::string text((const char*)data, size);  // stops at the first NUL as C texts do
    std::string host = ProbeHostSetting(text.c_str());
    std::string request = HttpProbeRequest(host.c_str());
    if (request.find('\r') != std::string::npos) __builtin_trap();
    size_t lines = 0;
    for (char c : request) lines += c == '\n';
    if (lines != 4) __builtin_trap();
    return 0;
}
