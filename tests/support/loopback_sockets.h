// Sockets on 127.0.0.1 for the tests that drive the real programs: clients,
// upstream servers that the relays connect to, and bounded reads.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

// A port on 127.0.0.1 with nothing listening on it.
int UnusedPort();

// Whether some socket listens on the port now, and a bounded wait for it.
bool IsListening(int port);
bool WaitForListening(int port, DWORD milliseconds);

// A listening socket on 127.0.0.1 that plays an upstream server.
class TestServer {
public:
    TestServer();
    ~TestServer();
    int Port() const { return port; }
    SOCKET Accept(DWORD milliseconds);  // INVALID_SOCKET when nobody came
    std::string Address() const;

private:
    SOCKET listener;
    int port;
};

SOCKET ConnectTo(int port, const char* fromAddress = "127.0.0.1");
bool SendAll(SOCKET socket, const std::string& bytes);
// Reads exactly count bytes; fewer when the peer ends or the wait runs out.
std::string ReceiveBytes(SOCKET socket, size_t count, DWORD milliseconds = 10000);
// Reads until the peer ends its stream; sets ended when it did so in time.
std::string ReceiveUntilEnd(SOCKET socket, bool* ended, DWORD milliseconds = 20000);
// True when the peer closes (end of stream or reset) within the time.
bool SeesClosed(SOCKET socket, DWORD milliseconds = 5000);
std::string RandomBytes(size_t count, unsigned seed);
