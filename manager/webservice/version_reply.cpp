#include "version_reply.h"

#include <cstring>
#include <string>

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

int OfferHasLink(const UpdateOffer* offer) { return offer->link[0] != '\0' && offer->link[0] != '-'; }
