// The web service's version reply: its marker line, the newest version,
// then an offer to show when that is newer than this manager: a link, a
// button caption, a title and message lines.
#pragma once

#include <cstddef>

const int OfferLinkSize = 512;     // 511 characters and the terminator
const int OfferCaptionSize = 128;  // 127
const int OfferTitleSize = 256;    // 255
const int OfferMessageSize = 512;  // 511, line breaks included

struct UpdateOffer {
    char link[OfferLinkSize];
    char caption[OfferCaptionSize];
    char title[OfferTitleSize];
    char message[OfferMessageSize];
};

// Empties the offer, then parses; 1 when an offer is to be shown. The reply
// ends at length or at its first NUL byte. Line 1 must be exactly
// "TESSARONVERSION", line 2 must read (as ReadNumber reads it) greater than
// OwnVersion. Lines 3, 4 and 5 are the link, caption and title; each later
// line not beginning with "END" is added to the message followed by CR LF.
// Missing lines leave their texts empty; every text is cut to its capacity.
int ParseVersionReply(const char* text, size_t length, UpdateOffer* offer);

// Whether a link is a web address that the system may hand to the browser:
// "http://" or "https://" (scheme in any letter case), a host after it, and
// no blank or control character anywhere. Share paths, program paths,
// "file:" and other schemes name things that would run or reach the
// network in the user's name: they are not opened.
int IsWebLink(const char* link);

// Whether the offer has a link to open ("Yes"): one that IsWebLink takes.
// A link starting with '-' names none, and so does any other text.
int OfferHasLink(const UpdateOffer* offer);
