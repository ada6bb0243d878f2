// The text of a list's addresses, as Export and Copy Server Address write
// it: each Server cell followed by CR LF, nothing else.
#pragma once

#include <string>
#include <vector>

#include "../catalogue/proxy_server.h"

// Every row, first to last.
std::string AddressLines(const ServerList& list);
// The given rows, in the order given (rows that do not exist are passed over).
std::string AddressLines(const ServerList& list, const std::vector<int>& rows);
