#include "version_reply.h"

#include <cstring>
#include <string>

#include "../../shared/address_text.h"
#include "../../shared/line_breaks.h"
#include "../../shared/number_text.h"
#include "reply_text.h"
#include "webservice_texts.h"

// Adds bytes to a terminated text of the given capacity, as many as fit
// after the used ones; the rest is cut off.
static void AppendCut(char* text, size_t capacity, size_t* used, const char* bytes, size_t length) {
    size_t room = capacity - 1 - *used;
    if (length > room) length = room;
    std::memcpy(text + *used, bytes, length);
    *used += length;
    text[*used] = '\0';
}

static void CopyLine(char* text, size_t capacity, const char* line, size_t length) {
    size_t used = 0;
    AppendCut(text, capacity, &used, line, length);
}

static void EmptyOffer(UpdateOffer* offer) { std::memset(offer, 0, sizeof *offer); }

int ParseVersionReply(const char* text, size_t length, UpdateOffer* offer) {
    EmptyOffer(offer);
    LineCursor cursor = StartReplyLines(text, length);
    const char* line;
    size_t size;
    if (!NextLine(&cursor, &line, &size) || !LineIs(line, size, VersionMarker)) return 0;
    if (!NextLine(&cursor, &line, &size)) return 0;  // no version: nothing newer
    if (ReadNumber(std::string(line, size).c_str()) <= OwnVersion) return 0;

    char* const heads[] = {offer->link, offer->caption, offer->title};
    const size_t headSizes[] = {sizeof offer->link, sizeof offer->caption, sizeof offer->title};
    const size_t headCount = sizeof heads / sizeof heads[0];
    for (size_t i = 0; i < headCount && NextLine(&cursor, &line, &size); ++i) {
        CopyLine(heads[i], headSizes[i], line, size);
    }

    // The message as the box shows it: a whole text cut at its capacity,
    // which may leave the last break half written.
    size_t used = 0;
    while (NextLine(&cursor, &line, &size)) {
        if (LineStartsWith(line, size, MessageSkipPrefix)) continue;
        AppendCut(offer->message, sizeof offer->message, &used, line, size);
        AppendCut(offer->message, sizeof offer->message, &used, LineEnd, std::strlen(LineEnd));
    }
    return 1;
}

// The scheme's text up to and including "//", letter case ignored; the
// length matched, or 0.
static size_t WebSchemeLength(const char* link) {
    for (const char* scheme : WebLinkSchemes) {
        size_t length = std::strlen(scheme);
        size_t i = 0;
        while (i < length && LowerAscii(link[i]) == scheme[i]) ++i;
        if (i == length) return length;
    }
    return 0;
}

static int IsBlankOrControl(unsigned char c) { return c <= ' ' || c == 0x7F; }

int IsWebLink(const char* link) {
    if (link == nullptr) return 0;
    for (const unsigned char* c = (const unsigned char*)link; *c != 0; ++c)
        if (IsBlankOrControl(*c)) return 0;
    size_t scheme = WebSchemeLength(link);
    if (scheme == 0) return 0;
    // The authority runs to the first '/', '?' or '#'; its host part comes
    // after any user information and before any port.
    const char* authority = link + scheme;
    size_t end = std::strcspn(authority, "/?#\\");
    std::string host(authority, end);
    size_t at = host.rfind('@');
    if (at != std::string::npos) host.erase(0, at + 1);
    size_t colon = host.find(':');
    if (colon != std::string::npos) host.erase(colon);
    return !host.empty();
}

int OfferHasLink(const UpdateOffer* offer) { return IsWebLink(offer->link); }
