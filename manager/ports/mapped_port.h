// One row of the mapped-port list: the four texts the list shows and the
// settings store.
#pragma once

#include <string>

enum MappedPortColumn { PortName, PortNumber, PortStatus, PortServer, PortColumnCount };

struct MappedPort {
    std::string text[PortColumnCount];
};

const char* const NoServerText = "None";
