#include "fake_proxy.h"

// How often the thread looks for its stop between connections, and how long
// it waits for a request.
const DWORD AcceptPollMs = 50;
const DWORD RequestWaitMs = 5000;

FakeProxy::FakeProxy(FakeAnswer answer, const std::string& reply, size_t requestBytes)
    : answer(answer), reply(reply), requestBytes(requestBytes) {
    InitializeCriticalSection(&lock);
    go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
}

FakeProxy::~FakeProxy() {
    SetEvent(stop);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    for (SOCKET connection : held) closesocket(connection);
    CloseHandle(go);
    CloseHandle(stop);
    DeleteCriticalSection(&lock);
}

int FakeProxy::Accepted() {
    EnterCriticalSection(&lock);
    int count = accepted;
    LeaveCriticalSection(&lock);
    return count;
}

std::string FakeProxy::Request() {
    EnterCriticalSection(&lock);
    std::string request = firstRequest;
    LeaveCriticalSection(&lock);
    return request;
}

bool FakeProxy::FirstClosedByPeer(DWORD milliseconds) {
    EnterCriticalSection(&lock);
    SOCKET first = held.empty() ? INVALID_SOCKET : held[0];
    LeaveCriticalSection(&lock);
    if (first == INVALID_SOCKET) return false;
    // Whatever the prober sent and nobody read comes first, a byte at a
    // time; then the end.
    for (DWORD start = GetTickCount(), spent = 0; spent < milliseconds; spent = GetTickCount() - start)
        if (SeesClosed(first, milliseconds - spent)) return true;
    return false;
}

void FakeProxy::Answer(SOCKET connection) {
    std::string request;
    if (answer != AnswerSilent) request = ReceiveBytes(connection, requestBytes, RequestWaitMs);
    EnterCriticalSection(&lock);
    if (accepted++ == 0) firstRequest = request;
    LeaveCriticalSection(&lock);
    if (answer == AnswerHangUp || answer == AnswerReset) {
        // An abortive close: a reset instead of the end of the stream.
        linger abort = {1, 0};
        if (answer == AnswerReset) setsockopt(connection, SOL_SOCKET, SO_LINGER, (const char*)&abort, sizeof abort);
        closesocket(connection);
        return;
    }
    if (answer == AnswerReplyOnGo) {
        HANDLE events[] = {go, stop};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) SendAll(connection, reply);
    } else if (answer == AnswerReply) {
        SendAll(connection, reply);
    }
    EnterCriticalSection(&lock);
    held.push_back(connection);
    LeaveCriticalSection(&lock);
}

DWORD WINAPI FakeProxy::Serve(void* argument) {
    FakeProxy* proxy = (FakeProxy*)argument;
    while (WaitForSingleObject(proxy->stop, 0) == WAIT_TIMEOUT) {
        SOCKET connection = proxy->server.Accept(AcceptPollMs);
        if (connection != INVALID_SOCKET) proxy->Answer(connection);
    }
    return 0;
}
