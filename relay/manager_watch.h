#pragma once

#include <winsock2.h>
#include <windows.h>

// Ends the relay process once the manager-alive event has gone, polling its
// existence every 500 ms; each poll also closes the half-closed connections
// that have carried nothing for their limit.
DWORD WINAPI ManagerWatchThread(LPVOID);

// Every orderly ending and every start-up failure ends with exit code 0.
void EndRelay();
