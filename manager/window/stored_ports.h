// A mapped-port row as config.ini stores it, and back.
#pragma once

#include "../catalogue/settings.h"
#include "../ports/mapped_port.h"

// A stored status beginning with '1' or '0' shows as "Enabled" or
// "Disabled"; any other text shows as it is.
MappedPort PortFromStored(const StoredPort& stored);
// "Enabled" is stored as "1", "Disabled" as "0", any other text as it is.
StoredPort StoredFromPort(const MappedPort& port);
