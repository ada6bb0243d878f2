// The relay's view of its port's upstream server and of its own port number.
#pragma once

const int UpstreamHostSize = 256;

struct UpstreamServer {
    char host[UpstreamHostSize];
    int port;
    // 0 when the text names no server that can be connected to: "None", a
    // text without a colon, or a port outside 1 to 65535. Clients are then
    // accepted and closed, as for a host that does not resolve.
    int usable;
};

// "None" (exact) gives host "0.0.0.0" and port 0; any other text is cut at
// its first colon into host and the decimal value of the rest.
UpstreamServer ParseUpstreamServer(const char* server);

// The port number the relay serves, from its argument text; 0 when the relay
// must end at once (a value of 0, no digits, or outside 1 to 65535).
int RelayPortFromArgument(const char* argument);
