#include "proxy_list_reply.h"

#include <cstring>

#include "../../shared/row_text.h"
#include "reply_text.h"
#include "webservice_texts.h"

// The type while a section of an unknown name runs: its lines are skipped.
static const int NoSectionType = -1;

static int SectionType(const char* line, size_t length) {
    if (LineIs(line, length, HttpSectionLine)) return Http;
    if (LineIs(line, length, SocksSectionLine)) return Socks;
    return NoSectionType;
}

// Walks the lines after the marker; adds the server lines to servers when
// given, and returns how many there are.
static size_t TakeServerLines(LineCursor cursor, std::vector<NewServer>* servers) {
    const char* line;
    size_t size;
    size_t count = 0;
    int type = Http;
    while (NextLine(&cursor, &line, &size)) {
        if (LineIs(line, size, ListEndLine)) break;
        if (size > 0 && line[0] == SectionLead) {
            type = SectionType(line, size);
            continue;
        }
        if (type == NoSectionType) continue;
        // A hostile reply may carry a line of megabytes; a row keeps 255.
        if (size > (size_t)RowTextSize - 1) size = RowTextSize - 1;
        // A line without a colon is never a server (the catalogue refuses
        // it): dropped here, so that megabytes of blank lines do not become
        // millions of records.
        if (std::memchr(line, ':', size) == nullptr) continue;
        ++count;
        if (servers == nullptr) continue;
        servers->push_back(NewServer{std::string(line, size), type, StatusCodeUntested});
    }
    return count;
}

ProxyListReply ParseProxyListReply(const char* text, size_t length) {
    ProxyListReply reply;
    reply.accepted = 0;
    LineCursor cursor = StartReplyLines(text, length);
    const char* line;
    size_t size;
    if (!NextLine(&cursor, &line, &size) || !LineIs(line, size, ProxyListMarker)) return reply;
    reply.accepted = 1;
    // Counted first: a reply of millions of short lines then takes its
    // exact room once, instead of growing through copies of twice the size.
    reply.servers.reserve(TakeServerLines(cursor, nullptr));
    TakeServerLines(cursor, &reply.servers);
    return reply;
}
