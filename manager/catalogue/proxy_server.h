// One server of the catalogue and one category's list of them.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// Row texts are single-byte texts of at most 255 characters.
const int RowTextSize = 256;

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

// The icon for a status text: 0 for "Alive" or "Enabled", 1 for "Dead" or
// "Disabled", 2 for any other text (exact comparisons).
int StatusIcon(const char* status);

// Cuts a text to what a row holds (255 characters).
std::string RowText(const char* text);

// The rows of one category slot, in order, with an index of their addresses
// (lower-cased) so that duplicate checks do not scan the list.
class ServerList {
public:
    int Count() const { return (int)rows.size(); }
    const ProxyServer& Row(int row) const { return rows[row]; }
    int ContainsAddress(const char* address) const;
    int Append(const ProxyServer& server);
    void Remove(int row);
    void SetText(int row, int column, const char* text);
    void SetIcon(int row, int icon) { rows[row].icon = icon; }
    void Clear();
    // Puts the rows into a new order: order[i] is the old index of new row i.
    void Reorder(const std::vector<int>& order);

private:
    void Index(const std::string& address, int change);
    std::vector<ProxyServer> rows;
    std::unordered_map<std::string, int> addressCount;
};
