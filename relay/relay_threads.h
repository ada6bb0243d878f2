// The three threads that carry connections: AcceptConnectThread takes new
// clients and connects their upstream side, UpstreamSideThread serves the
// upstream sockets (and accepts each client once its upstream is up),
// ClientSideThread serves the client sockets.
#pragma once

#include <winsock2.h>
#include <windows.h>

DWORD WINAPI AcceptConnectThread(LPVOID);
DWORD WINAPI UpstreamSideThread(LPVOID);
DWORD WINAPI ClientSideThread(LPVOID);
