#include "about_links.h"

#define TESSARON_MAILTO(address) "mailto:" address

const AboutLink AboutLinks[AboutLinkCount] = {
    {TESSARON_WEBSITE, TESSARON_WEBSITE},
    {TESSARON_SUPPORT_MAIL, TESSARON_MAILTO(TESSARON_SUPPORT_MAIL)},
    {TESSARON_SALES_MAIL, TESSARON_MAILTO(TESSARON_SALES_MAIL)},
};

std::string ShownLinkText(const char* text) {
    std::string shown = text;
    for (const char* scheme : {"http://", "https://"})
        if (shown.compare(0, std::string(scheme).size(), scheme) == 0) shown.erase(0, std::string(scheme).size());
    if (!shown.empty() && shown.back() == '/') shown.pop_back();
    return shown;
}

int LinkAt(const LinkBox boxes[AboutLinkCount], int x, int y) {
    int hit = NoLink;
    for (int i = 0; i < AboutLinkCount; ++i) {
        const LinkBox& box = boxes[i];
        if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) hit = i + 1;
    }
    return hit;
}
