// The upstream host's address, asked afresh for every new connection.
#pragma once

#include <winsock2.h>

// gethostbyname on the host text (a name or a dotted IPv4 address): its first
// address in network byte order, or 0 when it does not resolve. It takes as
// long as the name service does, so no slot's lock is held around it. The
// tests put a lookup of their own in its place.
u_long ResolveUpstreamHost(const char* host);
