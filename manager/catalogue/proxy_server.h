// One server of the catalogue and one category's list of them.
#pragma once

#include <string>
#include <vector>

#include "../../shared/row_text.h"

enum ServerType { Http = 0, Socks = 1 };

// Stored status codes; Testing is stored as Untested.
enum StatusCode { StatusCodeUntested = 0, StatusCodeDead = 1, StatusCodeAlive = 2 };

// The five columns of a server row, in display and file order.
enum ServerColumn { ServerAddress, ServerTypeColumn, ServerStatus, ServerDelay, ServerLastCheck, ServerColumnCount };

// Images of the status icon list.
enum StatusImage { ImageAlive = 0, ImageDead = 1, ImageOther = 2 };

struct ProxyServer {
    std::string text[ServerColumnCount];
    int icon;
};

// The icon for a status text: 0 for "Alive", 1 for "Dead", 2 for any other
// text (exact comparisons).
int StatusIcon(const char* status);

// The rows of one category slot, in order, with an index of their addresses
// (letter case ignored) so that duplicate checks do not scan the list. The
// index is an open-addressing table of row numbers: it allocates nothing per
// row, which matters where allocations are slow (under wine) and lists hold
// a hundred thousand rows. Operations that move rows rebuild it in one pass.
class ServerList {
public:
    int Count() const { return (int)rows.size(); }
    const ProxyServer& Row(int row) const { return rows[row]; }
    int ContainsAddress(const char* address) const;
    // Appends a server whose address the list does not hold yet (letter case
    // ignored); -1 when it does, and nothing changes.
    int AppendNew(ProxyServer&& server);
    // Makes room for more rows, so that a long run of appends does not
    // copy the list again and again.
    void Reserve(int more);
    void Remove(int row);
    // Removes the given rows (ascending, each once, all in range) in one
    // pass; the others keep their order.
    void RemoveRows(const std::vector<int>& ascendingRows);
    void SetText(int row, int column, const char* text);
    void SetIcon(int row, int icon) { rows[row].icon = icon; }
    void Clear();
    // Puts the rows into a new order: order[i] is the old index of new row i.
    void Reorder(const std::vector<int>& order);

private:
    int FindAddress(const std::string& address) const;  // a row with it, or -1
    void IndexRow(int row);
    void Rebuild(size_t capacity);
    std::vector<ProxyServer> rows;
    std::vector<int> table;  // row numbers, -1 for an empty place; a power of two long
};
