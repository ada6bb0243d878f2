// plain_forwarder LOCALPORT UPSTREAMPORT
//
// The simplest Win32 forwarder: what a relay can reach under the same wine.
// Listens on 127.0.0.1:LOCALPORT; every accepted client gets a connection to
// 127.0.0.1:UPSTREAMPORT and two threads, each a blocking recv -> send loop.
// Ends when its standard input reaches end-of-file (or after an hour).
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

static const int BufferSize = 65535;
static const DWORD ThreadStackSize = 256 * 1024;
static const DWORD LifetimeMilliseconds = 60 * 60 * 1000;
static const DWORD InputBufferSize = 256;
static const u_long LoopbackAddress = 0x7F000001;  // 127.0.0.1

struct ForwardedConnection {
    SOCKET client;
    SOCKET upstream;
    volatile LONG directionsLeft;  // the sockets close when both are done
};

struct Direction {
    ForwardedConnection* connection;
    SOCKET source;
    SOCKET destination;
};

static sockaddr_in Loopback(int port) {
    sockaddr_in where;
    ZeroMemory(&where, sizeof where);
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(LoopbackAddress);
    where.sin_port = htons((u_short)port);
    return where;
}

static bool SendAll(SOCKET destination, const char* bytes, int length) {
    while (length > 0) {
        int sent = send(destination, bytes, length, 0);
        if (sent <= 0) return false;
        bytes += sent;
        length -= sent;
    }
    return true;
}

static void FinishDirection(ForwardedConnection* connection) {
    if (InterlockedDecrement(&connection->directionsLeft) != 0) return;
    closesocket(connection->client);
    closesocket(connection->upstream);
    delete connection;
}

// One direction: what the source sends goes to the destination; the end of
// the source's stream becomes the end of the destination's.
static DWORD WINAPI ForwardDirection(LPVOID parameter) {
    Direction* direction = (Direction*)parameter;
    char* buffer = (char*)std::malloc(BufferSize);
    if (buffer != nullptr) {
        for (;;) {
            int got = recv(direction->source, buffer, BufferSize, 0);
            if (got <= 0) break;
            if (!SendAll(direction->destination, buffer, got)) break;
        }
        std::free(buffer);
    }
    shutdown(direction->destination, SD_SEND);
    FinishDirection(direction->connection);
    delete direction;
    return 0;
}

static bool StartDirection(ForwardedConnection* connection, SOCKET source, SOCKET destination) {
    Direction* direction = new Direction{connection, source, destination};
    HANDLE thread = CreateThread(nullptr, ThreadStackSize, ForwardDirection, direction,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        delete direction;
        return false;
    }
    CloseHandle(thread);
    return true;
}

static SOCKET ConnectUpstream(int port) {
    SOCKET upstream = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (upstream == INVALID_SOCKET) return INVALID_SOCKET;
    sockaddr_in to = Loopback(port);
    if (connect(upstream, (sockaddr*)&to, sizeof to) == SOCKET_ERROR) {
        closesocket(upstream);
        return INVALID_SOCKET;
    }
    return upstream;
}

static void ServeClient(SOCKET client, int upstreamPort) {
    SOCKET upstream = ConnectUpstream(upstreamPort);
    if (upstream == INVALID_SOCKET) {
        closesocket(client);
        return;
    }
    ForwardedConnection* connection = new ForwardedConnection{client, upstream, 2};
    if (!StartDirection(connection, client, upstream)) {
        closesocket(client);
        closesocket(upstream);
        delete connection;
        return;
    }
    // A second thread that cannot start: its direction counts as done.
    if (!StartDirection(connection, upstream, client)) {
        shutdown(client, SD_SEND);
        FinishDirection(connection);
    }
}

static SOCKET Listen(int port) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return INVALID_SOCKET;
    sockaddr_in local = Loopback(port);
    if (bind(listener, (sockaddr*)&local, sizeof local) == SOCKET_ERROR ||
        listen(listener, SOMAXCONN) == SOCKET_ERROR) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    return listener;
}

// Ends the process once standard input has ended.
static DWORD WINAPI EndWithInput(LPVOID) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[InputBufferSize];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    ExitProcess(0);
}

// Ends the process once its lifetime is over, whatever its input does.
static DWORD WINAPI EndAfterLifetime(LPVOID) {
    Sleep(LifetimeMilliseconds);
    ExitProcess(0);
}

static void StartEndingThread(LPTHREAD_START_ROUTINE routine) {
    HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: plain_forwarder LOCALPORT UPSTREAMPORT\n", stderr);
        return 2;
    }
    int port = std::atoi(argv[1]);
    int upstreamPort = std::atoi(argv[2]);
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) return 1;
    SOCKET listener = Listen(port);
    if (listener == INVALID_SOCKET) {
        std::fputs("plain_forwarder: cannot listen\n", stderr);
        return 1;
    }
    StartEndingThread(EndWithInput);
    StartEndingThread(EndAfterLifetime);
    // Serves until the process is ended by one of the two threads above.
    for (;;) {
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            Sleep(10);
            continue;
        }
        ServeClient(client, upstreamPort);
    }
}
