#include "status_counts.h"

#include <cstdio>

#include "../catalogue/catalogue_texts.h"
#include "window_texts.h"

std::string ServerCountsText(const ServerList& list) {
    int socks = 0, http = 0;
    for (int row = 0; row < list.Count(); ++row) {
        const std::string& type = list.Row(row).text[ServerTypeColumn];
        if (type == TypeSocksText) ++socks;
        if (type == TypeHttpText) ++http;
    }
    char text[96];
    std::snprintf(text, sizeof text, ServerCountsFormat, list.Count(), socks, http);
    return text;
}
