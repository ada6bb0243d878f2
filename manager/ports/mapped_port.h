// One row of the mapped-port list: the four texts the list shows and the
// settings store.
#pragma once

#include <string>

enum MappedPortColumn { PortName, PortNumber, PortStatus, PortServer, PortColumnCount };

struct MappedPort {
    std::string text[PortColumnCount];
};

// The texts of a port row.
const char* const PortEnabledText = "Enabled";
const char* const PortDisabledText = "Disabled";
const char* const NoServerText = "None";

// The row's icon in the window's status images: 0 for "Enabled", 1 for
// "Disabled", 2 for any other text (exact comparisons).
int PortStatusIcon(const char* status);
