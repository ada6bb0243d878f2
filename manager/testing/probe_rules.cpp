#include "probe_rules.h"

#include <cstdio>
#include <cstring>

#include "../../shared/address_text.h"
#include "../../shared/number_text.h"
#include "../catalogue/catalogue_texts.h"

static const char* const AliveStatusLines[] = {"HTTP/1.1 2", "HTTP/1.1 3", "HTTP/1.0 2", "HTTP/1.0 3"};
static const unsigned char SocksVersion = 0x05;

std::string HttpProbeRequest(const char* probeHost) {
    std::string host = probeHost;
    return "GET http://" + host + "/ HTTP/1.1\n" + "Host: " + host + ":80\n" + "Connection: close\n" + "\n";
}

std::string ProbeHostSetting(const char* text) {
    if (text == nullptr || text[0] == '\0') return DefaultProbeHost;
    for (const unsigned char* c = (const unsigned char*)text; *c != 0; ++c) {
        if (*c <= ' ' || *c == '/' || *c == 0x7F) return DefaultProbeHost;
    }
    return text;
}

const int HighestPort = 65535;

int ProbePort(const char* portText) {
    int port = ReadNumber(portText);
    return port >= 1 && port <= HighestPort ? port : 0;
}

static int StartsWithIgnoringCase(const unsigned char* reply, size_t length, const char* prefix) {
    size_t size = std::strlen(prefix);
    if (length < size) return 0;
    for (size_t i = 0; i < size; ++i) {
        if (LowerAscii((char)reply[i]) != LowerAscii(prefix[i])) return 0;
    }
    return 1;
}

int IsAliveReply(const unsigned char* reply, size_t length) {
    if (reply == nullptr || length == 0) return 0;
    if (reply[0] == SocksVersion) return 1;
    if (length > JudgedReplyBytes) length = JudgedReplyBytes;
    for (const char* line : AliveStatusLines) {
        if (StartsWithIgnoringCase(reply, length, line)) return 1;
    }
    return 0;
}

int ProbesWithSocks(const char* typeText) { return std::strcmp(typeText, TypeSocksText) == 0; }

std::string LastCheckText(int year, int month, int day, int hour, int minute) {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d %d:%d", year, month, day, hour, minute);
    return text;
}
