#include "web_service.h"

#include <algorithm>
#include <cctype>
#include <cstring>

// How often a thread looks for the stop while it waits on a socket; every
// wait is cut into such slices, so a stop ends all threads promptly.
static const DWORD PollMs = 50;
// How long a connection may take to send its request head, and how large
// the head may be.
static const DWORD RequestWaitMs = 5000;
static const size_t HeadLimit = 64 * 1024;
// After its reply a connection waits this long for the client to end its
// side: closing on unread bytes would reset the connection, and a reset may
// cost the client the reply's tail.
static const DWORD DrainMs = 2000;
// The most a stop waits for the threads.
static const DWORD StopWaitMs = 10000;
static const DWORD ThreadStackBytes = 64 * 1024;
static const size_t SendPieceBytes = 64 * 1024;
// What an endless reply repeats when the test gave no body.
static const size_t EndlessFillerBytes = 4096;
static const char HeadEnd[] = "\r\n\r\n";
static const char LineEnd[] = "\r\n";
static const char NotFound[] = "404 Not Found";

static WebReply ReplyOf(WebReplyMode mode, const std::string& body) {
    WebReply reply;
    reply.mode = mode;
    reply.body = body;
    return reply;
}

WebReply WholeReply(const std::string& body) { return ReplyOf(WebReplyWhole, body); }
WebReply NoLengthReply(const std::string& body) { return ReplyOf(WebReplyNoLength, body); }
WebReply EndlessReply(const std::string& body) { return ReplyOf(WebReplyEndless, body); }
WebReply SilentReply() { return ReplyOf(WebReplySilent, ""); }

WebReply ShortReply(const std::string& body, size_t extraBytes) {
    WebReply reply = ReplyOf(WebReplyShort, body);
    reply.extraBytes = extraBytes;
    return reply;
}

WebReply SlowReply(const std::string& body, size_t chunkBytes, DWORD pauseMs) {
    WebReply reply = ReplyOf(WebReplySlow, body);
    reply.chunkBytes = chunkBytes;
    reply.pauseMs = pauseMs;
    return reply;
}

WebReply StatusReply(const std::string& status, const std::string& page) {
    WebReply reply = ReplyOf(WebReplyStatus, page);
    reply.status = status;
    return reply;
}

WebService::Winsock::Winsock() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

WebService::Winsock::~Winsock() { WSACleanup(); }

WebService::WebService() {
    InitializeCriticalSection(&lock);
    stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    listener = CreateThread(nullptr, ThreadStackBytes, Listen, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

WebService::~WebService() {
    SetEvent(stop);
    DWORD start = GetTickCount();
    if (listener != nullptr) {
        WaitForSingleObject(listener, StopWaitMs);
        CloseHandle(listener);
    }
    // No new connections from here on; each thread ends its connection
    // within a poll slice of the stop.
    for (HANDLE thread : serving) {
        DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(thread, spent < StopWaitMs ? StopWaitMs - spent : 0) != WAIT_OBJECT_0) {
            // A thread stuck somewhere no stop reaches must not hang the
            // test program, nor outlive the service it points to.
            TerminateThread(thread, 1);
        }
        CloseHandle(thread);
    }
    CloseHandle(stop);
    DeleteCriticalSection(&lock);
}

void WebService::SetReply(const std::string& target, const WebReply& reply) {
    EnterCriticalSection(&lock);
    replies[target] = reply;
    LeaveCriticalSection(&lock);
}

int WebService::Requests() {
    EnterCriticalSection(&lock);
    int count = (int)requests.size();
    LeaveCriticalSection(&lock);
    return count;
}

bool WebService::WaitForRequests(int count, DWORD milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        if (Requests() >= count) return true;
        if (GetTickCount() - start >= milliseconds) return false;
        Sleep(10);
    }
}

std::string WebService::LastRequestHead() {
    EnterCriticalSection(&lock);
    std::string head = requests.empty() ? "" : requests.back().head;
    LeaveCriticalSection(&lock);
    return head;
}

std::string WebService::RequestLine(int index) {
    EnterCriticalSection(&lock);
    std::string line = index >= 0 && index < (int)requests.size() ? requests[(size_t)index].line : "";
    LeaveCriticalSection(&lock);
    return line;
}

static bool SameName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return false;
    return i == a.size() && b[i] == '\0';
}

std::string WebService::Header(int index, const char* name) {
    std::string value;
    EnterCriticalSection(&lock);
    if (index >= 0 && index < (int)requests.size()) {
        for (const auto& header : requests[(size_t)index].headers) {
            if (SameName(header.first, name)) {
                value = header.second;
                break;
            }
        }
    }
    LeaveCriticalSection(&lock);
    return value;
}

// ---- the threads ----

DWORD WINAPI WebService::Listen(void* argument) {
    WebService* service = (WebService*)argument;
    while (WaitForSingleObject(service->stop, 0) == WAIT_TIMEOUT) {
        service->ForgetEnded();
        SOCKET socket = service->server.Accept(PollMs);
        if (socket != INVALID_SOCKET) service->Start(socket);
    }
    return 0;
}

void WebService::Start(SOCKET socket) {
    // Every wait on the connection is a select of one poll slice, never a
    // blocking call.
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    Connection* connection = new Connection{this, socket};
    HANDLE thread =
        CreateThread(nullptr, ThreadStackBytes, Serve, connection, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        closesocket(socket);
        delete connection;
        return;
    }
    EnterCriticalSection(&lock);
    serving.push_back(thread);
    LeaveCriticalSection(&lock);
}

void WebService::ForgetEnded() {
    EnterCriticalSection(&lock);
    auto ended = std::remove_if(serving.begin(), serving.end(), [](HANDLE thread) {
        if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) return false;
        CloseHandle(thread);
        return true;
    });
    serving.erase(ended, serving.end());
    LeaveCriticalSection(&lock);
}

DWORD WINAPI WebService::Serve(void* argument) {
    Connection* connection = (Connection*)argument;
    connection->service->Answer(connection->socket);
    closesocket(connection->socket);
    delete connection;
    return 0;
}

void WebService::Answer(SOCKET socket) {
    std::string head;
    if (!ReadHead(socket, &head)) return;
    Record(head);
    WebReply reply = ReplyFor(head.substr(0, head.find(LineEnd)));
    if (reply.mode == WebReplySilent) {
        HoldUntilGone(socket);
        return;
    }
    SendReply(socket, reply);
    shutdown(socket, SD_SEND);
    HoldUntilGone(socket, DrainMs);
}

// ---- socket waits that give way to the stop ----

// Waits one slice at most for the socket to become readable or writable.
static bool WaitSlice(SOCKET socket, bool writing, DWORD milliseconds) {
    fd_set sockets;
    FD_ZERO(&sockets);
    FD_SET(socket, &sockets);
    timeval wait = {0, (long)milliseconds * 1000};
    return select(0, writing ? nullptr : &sockets, writing ? &sockets : nullptr, nullptr, &wait) == 1;
}

bool WebService::Stopped() { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }

// True when the socket became ready before the stop and within the time.
bool WebService::WaitReady(SOCKET socket, bool writing, DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (!Stopped()) {
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds) return false;
        if (WaitSlice(socket, writing, std::min(PollMs, milliseconds - spent))) return true;
    }
    return false;
}

bool WebService::ReadHead(SOCKET socket, std::string* head) {
    char buffer[4096];
    DWORD start = GetTickCount();
    while (head->find(HeadEnd) == std::string::npos) {
        DWORD spent = GetTickCount() - start;
        if (spent >= RequestWaitMs || head->size() > HeadLimit) return false;
        if (!WaitReady(socket, false, RequestWaitMs - spent)) return false;
        int got = recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        head->append(buffer, (size_t)got);
    }
    // A request body, if any, is not kept.
    head->resize(head->find(HeadEnd) + strlen(HeadEnd));
    return true;
}

void WebService::HoldUntilGone(SOCKET socket, DWORD milliseconds) {
    char buffer[4096];
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= milliseconds || !WaitReady(socket, false, milliseconds - spent)) return;
        if (recv(socket, buffer, sizeof buffer, 0) <= 0) return;
    }
}

bool WebService::SendPaced(SOCKET socket, const char* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (!WaitReady(socket, true, INFINITE)) return false;
        int sent = send(socket, bytes + done, (int)std::min(count - done, SendPieceBytes), 0);
        if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) continue;
        if (sent <= 0) return false;
        done += (size_t)sent;
    }
    return true;
}

bool WebService::SendText(SOCKET socket, const std::string& text) {
    return SendPaced(socket, text.data(), text.size());
}

// True when the pause ran out without a stop.
bool WebService::Pause(DWORD milliseconds) { return WaitForSingleObject(stop, milliseconds) == WAIT_TIMEOUT; }

// ---- requests and replies ----

static std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

void WebService::Record(const std::string& head) {
    Request request;
    request.head = head;
    size_t end = head.find(LineEnd);
    request.line = head.substr(0, end);
    // The header lines, up to the blank line that ends the head.
    for (size_t from = end + strlen(LineEnd); from < head.size();) {
        size_t to = head.find(LineEnd, from);
        std::string line = head.substr(from, to - from);
        from = to + strlen(LineEnd);
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers.emplace_back(Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1)));
    }
    EnterCriticalSection(&lock);
    requests.push_back(request);
    LeaveCriticalSection(&lock);
}

// The reply set for the request line's target ("GET <target> HTTP/1.1").
WebReply WebService::ReplyFor(const std::string& line) {
    size_t from = line.find(' ');
    size_t to = from == std::string::npos ? std::string::npos : line.find(' ', from + 1);
    std::string target = from == std::string::npos ? "" : line.substr(from + 1, to - (from + 1));
    WebReply reply = StatusReply(NotFound);
    EnterCriticalSection(&lock);
    auto found = replies.find(target);
    if (found != replies.end()) reply = found->second;
    LeaveCriticalSection(&lock);
    return reply;
}

static std::string ReplyHead(const std::string& status, const char* type, const std::string* length) {
    std::string head = "HTTP/1.1 " + status + LineEnd;
    head += std::string("Content-Type: ") + type + LineEnd;
    if (length != nullptr) head += "Content-Length: " + *length + LineEnd;
    head += std::string("Connection: close") + LineEnd + LineEnd;
    return head;
}

void WebService::SendReply(SOCKET socket, const WebReply& reply) {
    const char OkStatus[] = "200 OK";
    const char PlainText[] = "text/plain";
    std::string length = std::to_string(reply.body.size());
    switch (reply.mode) {
    case WebReplyWhole:
        SendText(socket, ReplyHead(OkStatus, PlainText, &length) + reply.body);
        break;
    case WebReplyNoLength:
        SendText(socket, ReplyHead(OkStatus, PlainText, nullptr) + reply.body);
        break;
    case WebReplyShort: {
        std::string announced = std::to_string(reply.body.size() + reply.extraBytes);
        SendText(socket, ReplyHead(OkStatus, PlainText, &announced) + reply.body);
        break;
    }
    case WebReplySlow: {
        if (!SendText(socket, ReplyHead(OkStatus, PlainText, &length))) return;
        size_t piece = std::max<size_t>(reply.chunkBytes, 1);
        for (size_t done = 0; done < reply.body.size(); done += piece) {
            if (done > 0 && !Pause(reply.pauseMs)) return;
            if (!SendPaced(socket, reply.body.data() + done, std::min(piece, reply.body.size() - done))) return;
        }
        break;
    }
    case WebReplyEndless: {
        if (!SendText(socket, ReplyHead(OkStatus, PlainText, nullptr))) return;
        std::string bytes = reply.body.empty() ? std::string(EndlessFillerBytes, 'x') : reply.body;
        while (SendText(socket, bytes)) {
        }
        break;
    }
    case WebReplyStatus: {
        std::string page = reply.body.empty() ? "<html><body><h1>" + reply.status + "</h1></body></html>" : reply.body;
        std::string pageLength = std::to_string(page.size());
        SendText(socket, ReplyHead(reply.status, "text/html", &pageLength) + page);
        break;
    }
    case WebReplySilent:
        break;
    }
}
