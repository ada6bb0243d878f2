// Sorting a server list by a clicked column: the first click on a column
// sorts ascending, each further click on it reverses, remembered per column
// across all lists.
#pragma once

#include <vector>

#include "../catalogue/proxy_catalogue.h"

const int SortStateCount = 6;

struct SortState {
    int key[SortStateCount];  // 2 x column: ascending next, 2 x column + 1: descending next
};

void InitSortState(SortState* state);

// Sorts the slot's list by the column's key, then flips the key. "Delay(ms)"
// compares decimal values (no leading number counts as 0); every other
// column compares texts ignoring letter case. Returns the new order: for
// each new row, the row it came from (empty when nothing was sorted), so that
// a view can carry its selection along.
std::vector<int> SortServerColumn(ProxyCatalogue* catalogue, int slot, SortState* state, int column);
