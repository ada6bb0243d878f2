#include "proxy_server.h"

#include <cstring>

#include "catalogue_texts.h"

int StatusIcon(const char* status) {
    if (std::strcmp(status, StatusAliveText) == 0 || std::strcmp(status, PortEnabledText) == 0) return ImageAlive;
    if (std::strcmp(status, StatusDeadText) == 0 || std::strcmp(status, PortDisabledText) == 0) return ImageDead;
    return ImageOther;
}

std::string RowText(const char* text) {
    size_t length = std::strlen(text);
    if (length > (size_t)RowTextSize - 1) length = RowTextSize - 1;
    return std::string(text, length);
}

static std::string LowerCase(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return lower;
}

int ServerList::ContainsAddress(const char* address) const {
    return addressCount.count(LowerCase(RowText(address))) != 0;
}

void ServerList::Index(const std::string& address, int change) {
    std::string key = LowerCase(address);
    int count = (addressCount[key] += change);
    if (count <= 0) addressCount.erase(key);
}

int ServerList::Append(const ProxyServer& server) {
    rows.push_back(server);
    Index(server.text[ServerAddress], 1);
    return (int)rows.size() - 1;
}

void ServerList::Remove(int row) {
    Index(rows[row].text[ServerAddress], -1);
    rows.erase(rows.begin() + row);
}

void ServerList::SetText(int row, int column, const char* text) {
    if (column == ServerAddress) Index(rows[row].text[ServerAddress], -1);
    rows[row].text[column] = RowText(text);
    if (column == ServerAddress) Index(rows[row].text[ServerAddress], 1);
}

void ServerList::Clear() {
    rows.clear();
    addressCount.clear();
}

void ServerList::Reorder(const std::vector<int>& order) {
    std::vector<ProxyServer> sorted;
    sorted.reserve(rows.size());
    for (int old : order) sorted.push_back(rows[old]);
    rows.swap(sorted);
}
