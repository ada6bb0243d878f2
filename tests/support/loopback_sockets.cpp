#include "loopback_sockets.h"

#include <iphlpapi.h>

#include <random>
#include <vector>

bool IsListening(int port) {
    ULONG size = 0;
    GetTcpTable(nullptr, &size, FALSE);
    std::vector<char> buffer(size + 4096);
    size = (ULONG)buffer.size();
    MIB_TCPTABLE* table = (MIB_TCPTABLE*)buffer.data();
    if (GetTcpTable(table, &size, FALSE) != NO_ERROR) return false;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        if (table->table[i].dwState == MIB_TCP_STATE_LISTEN && ntohs((u_short)table->table[i].dwLocalPort) == port)
            return true;
    }
    return false;
}

bool WaitForListening(int port, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        if (IsListening(port)) return true;
        Sleep(20);
    }
    return false;
}

static sockaddr_in LoopbackAddress(const char* address, int port) {
    sockaddr_in where;
    ZeroMemory(&where, sizeof where);
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = inet_addr(address);
    where.sin_port = htons((u_short)port);
    return where;
}

int UnusedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where = LoopbackAddress("127.0.0.1", 0);
    bind(s, (sockaddr*)&where, sizeof where);
    int length = sizeof where;
    getsockname(s, (sockaddr*)&where, &length);
    closesocket(s);
    return ntohs(where.sin_port);
}

TestServer::TestServer() {
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where = LoopbackAddress("127.0.0.1", 0);
    bind(listener, (sockaddr*)&where, sizeof where);
    listen(listener, 100);
    int length = sizeof where;
    getsockname(listener, (sockaddr*)&where, &length);
    port = ntohs(where.sin_port);
}

TestServer::~TestServer() { closesocket(listener); }

std::string TestServer::Address() const { return "127.0.0.1:" + std::to_string(port); }

static bool WaitReadable(SOCKET socket, DWORD milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait = {(long)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

// Blocking calls on the test's sockets give up after this long rather than
// hang the test.
static void LimitWaits(SOCKET s) {
    DWORD limit = 20000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&limit, sizeof limit);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, (const char*)&limit, sizeof limit);
}

SOCKET TestServer::Accept(DWORD milliseconds) {
    if (!WaitReadable(listener, milliseconds)) return INVALID_SOCKET;
    SOCKET s = accept(listener, nullptr, nullptr);
    if (s != INVALID_SOCKET) LimitWaits(s);
    return s;
}

SOCKET ConnectTo(int port, const char* fromAddress) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in from = LoopbackAddress(fromAddress, 0);
    bind(s, (sockaddr*)&from, sizeof from);
    sockaddr_in to = LoopbackAddress("127.0.0.1", port);
    if (connect(s, (sockaddr*)&to, sizeof to) == SOCKET_ERROR) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    LimitWaits(s);
    return s;
}

bool SendAll(SOCKET socket, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        int chunk = (int)std::min<size_t>(bytes.size() - done, 1 << 20);
        int sent = send(socket, bytes.data() + done, chunk, 0);
        if (sent <= 0) return false;
        done += (size_t)sent;
    }
    return true;
}

std::string ReceiveBytes(SOCKET socket, size_t count, DWORD milliseconds) {
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    DWORD start = GetTickCount();
    while (bytes.size() < count) {
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds || !WaitReadable(socket, milliseconds - spent)) break;
        int want = (int)std::min(buffer.size(), count - bytes.size());
        int got = recv(socket, buffer.data(), want, 0);
        if (got <= 0) break;
        bytes.append(buffer.data(), (size_t)got);
    }
    return bytes;
}

std::string ReceiveUntilEnd(SOCKET socket, bool* ended, DWORD milliseconds) {
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    *ended = false;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds || !WaitReadable(socket, milliseconds - spent)) break;
        int got = recv(socket, buffer.data(), (int)buffer.size(), 0);
        if (got == 0) {
            *ended = true;
            break;
        }
        if (got < 0) break;
        bytes.append(buffer.data(), (size_t)got);
    }
    return bytes;
}

bool SeesClosed(SOCKET socket, DWORD milliseconds) {
    char byte;
    if (!WaitReadable(socket, milliseconds)) return false;
    return recv(socket, &byte, 1, 0) <= 0;
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = (char)(random() & 0xFF);
    return bytes;
}
