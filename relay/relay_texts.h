// The relay's only message to the user.
#pragma once

const char* const BindFailedFormat = "Can't bind to port %d. Another application uses this port.";
const char* const RelayCaption = "Tessaron 1.0";
