#include "proxy_server.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "../../shared/address_text.h"
#include "catalogue_texts.h"

int StatusIcon(const char* status) {
    if (std::strcmp(status, StatusAliveText) == 0) return ImageAlive;
    if (std::strcmp(status, StatusDeadText) == 0) return ImageDead;
    return ImageOther;
}

// The table stays at most half full.
static const size_t SmallestTable = 16;

static size_t AddressHash(const std::string& address) {
    // FNV-1a over the lower-cased bytes.
    uint64_t hash = 1469598103934665603ull;
    for (char c : address) {
        hash ^= (unsigned char)LowerAscii(c);
        hash *= 1099511628211ull;
    }
    return (size_t)hash;
}

static size_t TableSizeFor(size_t rows) {
    size_t size = SmallestTable;
    while (size < 2 * rows) size *= 2;
    return size;
}

int ServerList::FindAddress(const std::string& address) const {
    if (table.empty()) return -1;
    size_t mask = table.size() - 1;
    for (size_t place = AddressHash(address) & mask;; place = (place + 1) & mask) {
        int row = table[place];
        if (row < 0) return -1;
        if (EqualIgnoringCase(rows[row].text[ServerAddress].c_str(), address.c_str())) return row;
    }
}

void ServerList::IndexRow(int row) {
    size_t mask = table.size() - 1;
    size_t place = AddressHash(rows[row].text[ServerAddress]) & mask;
    while (table[place] >= 0) place = (place + 1) & mask;
    table[place] = row;
}

void ServerList::Rebuild(size_t capacity) {
    table.assign(TableSizeFor(capacity), -1);
    for (int row = 0; row < (int)rows.size(); ++row) IndexRow(row);
}

int ServerList::ContainsAddress(const char* address) const { return FindAddress(RowText(address)) >= 0; }

int ServerList::AppendNew(ProxyServer&& server) {
    if (FindAddress(server.text[ServerAddress]) >= 0) return -1;
    rows.push_back(std::move(server));
    if (table.size() < 2 * rows.size()) Rebuild(rows.size());
    else IndexRow((int)rows.size() - 1);
    return (int)rows.size() - 1;
}

void ServerList::Reserve(int more) {
    if (more <= 0) return;
    size_t wanted = rows.size() + (size_t)more;
    rows.reserve(wanted);
    if (table.size() < 2 * wanted) Rebuild(wanted);
}

void ServerList::Remove(int row) {
    rows.erase(rows.begin() + row);
    Rebuild(rows.size());
}

void ServerList::RemoveRows(const std::vector<int>& ascendingRows) {
    size_t next = 0;
    size_t kept = 0;
    for (size_t row = 0; row < rows.size(); ++row) {
        if (next < ascendingRows.size() && ascendingRows[next] == (int)row) {
            ++next;
            continue;
        }
        if (kept != row) rows[kept] = std::move(rows[row]);
        ++kept;
    }
    rows.resize(kept);
    Rebuild(rows.size());
}

void ServerList::SetText(int row, int column, const char* text) {
    rows[row].text[column] = RowText(text);
    if (column == ServerAddress) Rebuild(rows.size());
}

void ServerList::Clear() {
    rows.clear();
    table.clear();
}

void ServerList::Reorder(const std::vector<int>& order) {
    std::vector<ProxyServer> sorted;
    sorted.reserve(rows.size());
    for (int old : order) sorted.push_back(std::move(rows[old]));
    rows.swap(sorted);
    Rebuild(rows.size());
}
