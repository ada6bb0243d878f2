#include "upstream_server.h"

#include <cstring>

#include "../shared/address_text.h"
#include "../shared/number_text.h"

static const char* const NoServerText = "None";
static const int HighestPort = 65535;

static int IsPortInRange(int port) { return port >= 1 && port <= HighestPort; }

UpstreamServer ParseUpstreamServer(const char* server) {
    UpstreamServer result;
    if (std::strcmp(server, NoServerText) == 0) {
        CopyText(result.host, UpstreamHostSize, "0.0.0.0");
        result.port = 0;
        result.usable = 0;
        return result;
    }
    CopyText(result.host, UpstreamHostSize, server);
    int hasColon = std::strchr(result.host, ':') != nullptr;
    result.port = ReadNumber(SplitHostPort(result.host));
    result.usable = hasColon && IsPortInRange(result.port);
    return result;
}

int RelayPortFromArgument(const char* argument) {
    int port = ReadNumber(argument);
    return IsPortInRange(port) ? port : 0;
}
