#include "server_sort.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "../../shared/address_text.h"
#include "../../shared/number_text.h"

void InitSortState(SortState* state) {
    for (int c = 0; c < SortStateCount; ++c) state->key[c] = 2 * c;
}

static int CompareIgnoringCase(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)LowerAscii(a[i]);
        unsigned char y = (unsigned char)LowerAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<int> SortServerColumn(ProxyCatalogue* catalogue, int slot, SortState* state, int column) {
    if (column < 0 || column >= SortStateCount) return {};
    int key = state->key[column];
    int sortColumn = key / 2;
    int descending = key % 2;
    state->key[column] = (key == 2 * column) ? 2 * column + 1 : 2 * column;
    if (sortColumn >= ServerColumnCount) return {};

    ServerList& list = catalogue->lists[slot];
    // Numbers of the delay column read once, not per comparison.
    std::vector<int> values(list.Count(), 0);
    if (sortColumn == ServerDelay) {
        for (int row = 0; row < list.Count(); ++row) values[row] = ReadNumber(list.Row(row).text[ServerDelay].c_str());
    }
    std::vector<int> order(list.Count());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        int compared;
        if (sortColumn == ServerDelay) {
            compared = values[a] == values[b] ? 0 : (values[a] < values[b] ? -1 : 1);
        } else {
            compared = CompareIgnoringCase(list.Row(a).text[sortColumn], list.Row(b).text[sortColumn]);
        }
        return descending ? compared > 0 : compared < 0;
    });
    list.Reorder(order);
    if (catalogue->observer != nullptr) catalogue->observer->ServerListReset(slot);
    return order;
}
