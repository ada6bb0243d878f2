// A proxy server on 127.0.0.1 that the server tests probe: a thread of its
// own takes each connection and answers the way the test asked, so that a
// probe meets a live proxy, one that refuses it, one that hangs up, or one
// that never says a word.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "loopback_sockets.h"

enum FakeAnswer {
    AnswerReply,      // reads the request, sends the reply, keeps the connection open
    AnswerHangUp,     // reads the request, closes the connection without a word
    AnswerReset,      // reads the request, resets the connection
    AnswerSilent,     // reads nothing, says nothing, keeps the connection open
    AnswerReplyOnGo,  // reads the request, sends the reply once Go is called
};

class FakeProxy {
public:
    // requestBytes: how many bytes of request the proxy reads before it
    // answers (AnswerSilent reads none).
    FakeProxy(FakeAnswer answer, const std::string& reply = "", size_t requestBytes = 0);
    ~FakeProxy();
    FakeProxy(const FakeProxy&) = delete;
    FakeProxy& operator=(const FakeProxy&) = delete;

    std::string Address() const { return server.Address(); }
    int Port() const { return server.Port(); }
    // AnswerReplyOnGo: the held connections get their reply now.
    void Go() { SetEvent(go); }
    // Connections taken so far.
    int Accepted();
    // The request bytes read from the first connection.
    std::string Request();
    // Whether the prober closed the first connection kept open, within the time.
    bool FirstClosedByPeer(DWORD milliseconds);

private:
    static DWORD WINAPI Serve(void* argument);
    void Answer(SOCKET connection);

    TestServer server;
    FakeAnswer answer;
    std::string reply;
    size_t requestBytes;
    HANDLE go;
    HANDLE stop;
    HANDLE thread;
    CRITICAL_SECTION lock;  // guards what the thread records
    int accepted = 0;
    std::string firstRequest;
    std::vector<SOCKET> held;
};
