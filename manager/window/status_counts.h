#pragma once

#include <string>

#include "../catalogue/proxy_server.h"

// "Total: %d   Socks: %d   Http: %d" for a server list (exact type texts).
std::string ServerCountsText(const ServerList& list);
