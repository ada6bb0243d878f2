// The relay step's socket calls on non-blocking Winsock sockets.
#include <winsock2.h>

#include "relay_step.h"

static int StreamResult(int result) {
    if (result != SOCKET_ERROR) return result;
    return WSAGetLastError() == WSAEWOULDBLOCK ? StreamWouldBlock : StreamFailed;
}

int StreamReceive(RelaySocket source, char* buffer, int size) {
    return StreamResult(recv((SOCKET)source, buffer, size, 0));
}

int StreamSend(RelaySocket destination, const char* bytes, int size) {
    return StreamResult(send((SOCKET)destination, bytes, size, 0));
}

void StreamShutdownSend(RelaySocket destination) {
    shutdown((SOCKET)destination, SD_SEND);
}
