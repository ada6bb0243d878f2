// The web service's proxy list: its marker line, then server lines in
// "-HTTP" and "-SOCKS" sections, up to a line "END".
#pragma once

#include <cstddef>
#include <vector>

#include "../catalogue/proxy_catalogue.h"

struct ProxyListReply {
    int accepted;                    // 1 when the first line was the marker
    std::vector<NewServer> servers;  // for "New", in order: type from their section, status Untested
};

// The reply ends at length or at its first NUL byte. Its first line must be
// exactly "TESSARONLIST", else nothing is accepted. After it, up to a line
// "END": "-HTTP" and "-SOCKS" set the type of the lines that follow (Http
// before any of them), any other line starting with '-' makes them skipped
// until the next of the two, and every other line is a server as it stands,
// cut to 255 characters. Lines without a colon (empty ones among them) are
// left out, as AddServerRow would refuse them; other junk is passed on for
// AddServerRow to judge.
ProxyListReply ParseProxyListReply(const char* text, size_t length);
