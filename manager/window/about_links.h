// The About box's three links: what they show and what they open, set once
// here; a packager changes them at build time (TESSARON_WEBSITE,
// TESSARON_SUPPORT_MAIL, TESSARON_SALES_MAIL).
#pragma once

#include <string>

#ifndef TESSARON_WEBSITE
#define TESSARON_WEBSITE "https://tessaron.example/"
#endif
#ifndef TESSARON_SUPPORT_MAIL
#define TESSARON_SUPPORT_MAIL "support@tessaron.example"
#endif
#ifndef TESSARON_SALES_MAIL
#define TESSARON_SALES_MAIL "sales@tessaron.example"
#endif

const int AboutLinkCount = 3;
const int NoLink = 0;  // links are numbered 1 (web site), 2 (support), 3 (sales)

struct AboutLink {
    const char* text;    // the web site or mail address
    const char* target;  // what a click opens
};

// Link 1 to 3 at index 0 to 2.
extern const AboutLink AboutLinks[AboutLinkCount];

// What the box shows of a link: the text without "http://" or "https://"
// and without a closing '/', so that a web site fits its narrow line.
std::string ShownLinkText(const char* text);

struct LinkBox {
    int left, top, right, bottom;  // right and bottom outside
};

// The link under the point: each box tested in order, the last hit wins;
// NoLink when none holds it.
int LinkAt(const LinkBox boxes[AboutLinkCount], int x, int y);
