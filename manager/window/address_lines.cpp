#include "address_lines.h"

#include "../../shared/line_breaks.h"

static void AppendLine(std::string* text, const ProxyServer& server) {
    *text += server.text[ServerAddress];
    *text += LineEnd;
}

std::string AddressLines(const ServerList& list) {
    std::string text;
    for (int row = 0; row < list.Count(); ++row) AppendLine(&text, list.Row(row));
    return text;
}

std::string AddressLines(const ServerList& list, const std::vector<int>& rows) {
    std::string text;
    for (int row : rows)
        if (row >= 0 && row < list.Count()) AppendLine(&text, list.Row(row));
    return text;
}
