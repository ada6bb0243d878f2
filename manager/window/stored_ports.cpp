#include "stored_ports.h"

MappedPort PortFromStored(const StoredPort& stored) {
    MappedPort port;
    port.text[PortName] = stored.name;
    port.text[PortNumber] = stored.port;
    if (stored.status[0] == StoredPortEnabled[0]) port.text[PortStatus] = PortEnabledText;
    else if (stored.status[0] == StoredPortDisabled[0]) port.text[PortStatus] = PortDisabledText;
    else port.text[PortStatus] = stored.status;
    port.text[PortServer] = stored.server;
    return port;
}

StoredPort StoredFromPort(const MappedPort& port) {
    const std::string& status = port.text[PortStatus];
    const char* stored = status == PortEnabledText    ? StoredPortEnabled
                         : status == PortDisabledText ? StoredPortDisabled
                                                      : status.c_str();
    return StoredPort{port.text[PortName], port.text[PortNumber], stored, port.text[PortServer]};
}
