// A web service on 127.0.0.1 for the tests of the list download and the
// update check: a thread of its own takes the connections and serves each
// one on a thread of its own, with the reply the test set for the request's
// target, whole, cut short, slowly, endlessly or not at all. Every reply says
// "Connection: close" and the connection ends after it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "loopback_sockets.h"

enum WebReplyMode {
    WebReplyWhole,     // 200, Content-Length, the body, then the end
    WebReplyNoLength,  // 200 without Content-Length: the end of the stream ends the body
    WebReplyShort,     // announces extraBytes more than the body it sends, then ends (a cut transfer)
    WebReplySlow,      // 200, Content-Length, the body in pieces of chunkBytes with pauseMs between them
    WebReplyEndless,   // 200 without Content-Length, the body over and over until the client goes or the service stops
    WebReplySilent,    // reads the request, never answers; holds on until the client goes or the service stops
    WebReplyStatus,    // the status line's status (e.g. "404 Not Found") with the body as its HTML page
};

struct WebReply {
    WebReplyMode mode = WebReplyWhole;
    std::string body;
    std::string status;     // WebReplyStatus: code and reason
    size_t chunkBytes = 1;  // WebReplySlow
    DWORD pauseMs = 0;      // WebReplySlow
    size_t extraBytes = 1;  // WebReplyShort
};

WebReply WholeReply(const std::string& body);
WebReply NoLengthReply(const std::string& body);
WebReply ShortReply(const std::string& body, size_t extraBytes);
WebReply SlowReply(const std::string& body, size_t chunkBytes, DWORD pauseMs);
WebReply EndlessReply(const std::string& body = "");
WebReply SilentReply();
WebReply StatusReply(const std::string& status, const std::string& page = "");

class WebService {
public:
    WebService();
    // Stops every thread and ends every connection, also held ones.
    ~WebService();
    WebService(const WebService&) = delete;
    WebService& operator=(const WebService&) = delete;

    int Port() const { return server.Port(); }
    // "127.0.0.1:<port>", what config.ini's service key names.
    std::string Host() const { return server.Address(); }
    // The reply to requests for this target, path and query as the request
    // line has them (e.g. "/app/version.php?ver=3"); other targets get 404.
    void SetReply(const std::string& target, const WebReply& reply);

    // Requests read so far, in the order their heads were complete.
    int Requests();
    bool WaitForRequests(int count, DWORD milliseconds);
    // The last request's head as received, request line to blank line
    // included; "" before any request.
    std::string LastRequestHead();
    // Of request index (from 0): its request line, e.g.
    // "GET /app/proxylist.php HTTP/1.1", and the value of a header (name in
    // any case), "" when absent.
    std::string RequestLine(int index);
    std::string Header(int index, const char* name);

private:
    struct Request {
        std::string head;
        std::string line;
        std::vector<std::pair<std::string, std::string>> headers;
    };
    struct Connection {
        WebService* service;
        SOCKET socket;
    };
    // Winsock is ready before the listening socket is made and while the
    // threads run, also in a test that uses no sockets of its own.
    struct Winsock {
        Winsock();
        ~Winsock();
    };

    static DWORD WINAPI Listen(void* argument);
    static DWORD WINAPI Serve(void* argument);
    void Start(SOCKET socket);
    void ForgetEnded();
    void Answer(SOCKET socket);
    bool ReadHead(SOCKET socket, std::string* head);
    void Record(const std::string& head);
    WebReply ReplyFor(const std::string& line);
    bool Stopped();
    bool WaitReady(SOCKET socket, bool writing, DWORD milliseconds);
    bool SendPaced(SOCKET socket, const char* bytes, size_t count);
    bool SendText(SOCKET socket, const std::string& text);
    bool Pause(DWORD milliseconds);
    // Reads and drops what the client still sends until it ends its side,
    // the time runs out or the service stops.
    void HoldUntilGone(SOCKET socket, DWORD milliseconds = INFINITE);
    void SendReply(SOCKET socket, const WebReply& reply);

    Winsock winsock;
    TestServer server;
    HANDLE stop;
    HANDLE listener;
    CRITICAL_SECTION lock;  // guards everything below
    std::map<std::string, WebReply> replies;
    std::vector<Request> requests;
    std::vector<HANDLE> serving;  // the connections' threads
};
