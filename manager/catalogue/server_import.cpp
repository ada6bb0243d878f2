#include "server_import.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../../shared/address_text.h"
#include "../../shared/line_breaks.h"
#include "../../shared/row_text.h"
#include "catalogue_texts.h"

static const int HighestPort = 65535;
static const size_t MostPortDigits = 5;
static const size_t MostAddressLength = RowTextSize - 1;

struct Scheme {
    const char* text;  // lower case
    int typeFlag;
};

static const char SocksFiveScheme[] = "socks5://";  // the longest
static const Scheme Schemes[] = {{"http://", Http}, {SocksFiveScheme, Socks}, {"socks://", Socks}};

// How much of a line the reader holds: the longest scheme, an address as
// long as a row holds and the character after it. ReadImportLine looks no
// further into a line that can still be a server, so the rest of a longer
// line cannot change what it reads as.
static const size_t KeptLineBytes = (sizeof SocksFiveScheme - 1) + MostAddressLength + 1;

static int IsBlank(char c) { return c == ' ' || c == '\t'; }
static int IsDigit(char c) { return c >= '0' && c <= '9'; }

static int IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '.' || c == '-' || c == '_';
}

// The length of the scheme the text starts with, letter case ignored, and
// its type; 0 and Http without one.
static size_t SchemeLength(const char* text, size_t length, int* typeFlag) {
    *typeFlag = Http;
    for (const Scheme& scheme : Schemes) {
        size_t size = std::strlen(scheme.text);
        if (length < size) continue;
        size_t i = 0;
        while (i < size && LowerAscii(text[i]) == scheme.text[i]) ++i;
        if (i < size) continue;
        *typeFlag = scheme.typeFlag;
        return size;
    }
    return 0;
}

// The length of the host the text starts with when a ':' ends it, else 0.
// The scan stops where no address could fit a row any more.
static size_t HostLength(const char* text, size_t length) {
    size_t i = 0;
    while (i < length && i < MostAddressLength && IsHostCharacter(text[i])) ++i;
    return (i < length && text[i] == ':') ? i : 0;
}

// How many port digits the text starts with, 0 when they are not a port:
// none, more than five, a value outside 1 to 65535, or a ':' or '@' right
// after them.
static size_t PortLength(const char* text, size_t length) {
    size_t digits = 0;
    int value = 0;
    while (digits < length && digits <= MostPortDigits && IsDigit(text[digits])) {
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits > MostPortDigits || value > HighestPort || value == 0) return 0;
    if (digits < length && (text[digits] == ':' || text[digits] == '@')) return 0;
    return digits;
}

int ReadImportLine(const char* line, size_t length, NewServer* server) {
    while (length > 0 && IsBlank(*line)) {
        ++line;
        --length;
    }
    int typeFlag;
    size_t scheme = SchemeLength(line, length, &typeFlag);
    const char* host = line + scheme;
    length -= scheme;
    size_t hostLength = HostLength(host, length);
    if (hostLength == 0) return 0;
    size_t portStart = hostLength + 1;
    size_t portLength = PortLength(host + portStart, length - portStart);
    if (portLength == 0 || portStart + portLength > MostAddressLength) return 0;
    server->address.assign(host, portStart + portLength);
    server->typeFlag = typeFlag;
    server->statusCode = StatusCodeUntested;
    return 1;
}

ServerImport::ServerImport() : linesRead(0) { line.reserve(KeptLineBytes); }

// Each CR or LF ends a line. The shared rule takes a CR or LF right after
// a break as part of it; here that decides only whether an empty line lies
// between the two, and empty lines count for nothing, so a break split
// between two chunks needs no tracking.
void ServerImport::Feed(const char* bytes, size_t count) {
    for (size_t start = 0; start < count;) {
        size_t end = start;
        while (end < count && !IsLineBreak(bytes[end])) ++end;
        Keep(bytes + start, end - start);
        if (end < count) EndLine();
        start = end + 1;
    }
}

void ServerImport::Finish() { EndLine(); }

// Adds a piece of the current line: leading blanks are not held, and
// nothing beyond the first KeptLineBytes bytes.
void ServerImport::Keep(const char* bytes, size_t count) {
    if (line.empty()) {
        while (count > 0 && IsBlank(*bytes)) {
            ++bytes;
            --count;
        }
    }
    line.append(bytes, std::min(count, KeptLineBytes - line.size()));
}

void ServerImport::EndLine() {
    if (line.empty()) return;  // blank: not counted
    ++linesRead;
    NewServer server;
    if (ReadImportLine(line.data(), line.size(), &server)) servers.push_back(server);
    line.clear();
}

std::string ImportedText(int added, int read) {
    char text[64];
    std::snprintf(text, sizeof text, ImportedTextFormat, added, read);
    return text;
}
