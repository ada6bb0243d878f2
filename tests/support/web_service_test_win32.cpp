// The test web service itself, fetched with plain sockets: the replies byte
// for byte, the request heads as recorded, a held connection beside a
// served one, and a stop that ends every connection.
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/loopback_sockets.h"
#include "tests/support/web_service.h"

// Bounds the waits of a test that went wrong.
static const DWORD WaitLimitMs = 10000;
// How long a test watches for something that must not happen.
static const DWORD SettleMs = 300;

static const char ListTarget[] = "/app/proxylist.php";
static const char ListBody[] = "TESSARONLIST\r\n-HTTP\r\n127.0.0.1:3128\r\nEND\r\n";

static std::string GetRequest(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n";
}

// Sends the request on a connection of its own and reads the reply to its
// end; the end must come, the client keeping its side open.
static std::string Fetch(const WebService& service, const std::string& request) {
    SOCKET client = ConnectTo(service.Port());
    EXPECT_NE(client, INVALID_SOCKET);
    EXPECT_TRUE(SendAll(client, request));
    bool ended = false;
    std::string reply = ReceiveUntilEnd(client, &ended, WaitLimitMs);
    EXPECT_TRUE(ended) << "the connection stayed open after the reply";
    closesocket(client);
    return reply;
}

// Whether bytes or the end of the stream came within the time.
static bool Readable(SOCKET socket, DWORD milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait = {(long)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

class WebServiceTest : public ::testing::Test {
protected:
    // The tests' own sockets outlive the services they talk to.
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

struct ReplyCase {
    const char* name;
    const char* target;  // fetched; the reply is set for ListTarget
    WebReply reply;
    const char* expected;
};

TEST_F(WebServiceTest, RepliesByteForByteAndEnds) {
    const char WholeBytes[] =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 42\r\nConnection: close\r\n\r\n"
        "TESSARONLIST\r\n-HTTP\r\n127.0.0.1:3128\r\nEND\r\n";
    const ReplyCase cases[] = {
        {"whole", ListTarget, WholeReply(ListBody), WholeBytes},
        // Pieces that do not divide the body: the last one is shorter.
        {"slow", ListTarget, SlowReply(ListBody, 4, 20), WholeBytes},
        {"no length", ListTarget, NoLengthReply(ListBody),
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"
         "TESSARONLIST\r\n-HTTP\r\n127.0.0.1:3128\r\nEND\r\n"},
        {"short", ListTarget, ShortReply(ListBody, 100),
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 142\r\nConnection: close\r\n\r\n"
         "TESSARONLIST\r\n-HTTP\r\n127.0.0.1:3128\r\nEND\r\n"},
        {"status with a page", ListTarget, StatusReply("503 Service Unavailable", "<p>down</p>"),
         "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html\r\nContent-Length: 11\r\nConnection: "
         "close\r\n\r\n<p>down</p>"},
        {"status without a page", ListTarget, StatusReply("500 Internal Server Error"),
         "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html\r\nContent-Length: 60\r\nConnection: "
         "close\r\n\r\n<html><body><h1>500 Internal Server Error</h1></body></html>"},
        // The target is matched whole, query included.
        {"other target", "/app/proxylist.php?x=1", WholeReply(ListBody),
         "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 48\r\nConnection: close\r\n\r\n"
         "<html><body><h1>404 Not Found</h1></body></html>"},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        WebService service;
        service.SetReply(ListTarget, c.reply);
        EXPECT_EQ(Fetch(service, GetRequest(c.target)), c.expected);
    }
}

TEST_F(WebServiceTest, RecordsHeadInPiecesAndRepliesWholePastARequestBody) {
    WebService service;
    // A reply large enough to be still on its way when the service closes
    // the connection on the unread body, which would reset it.
    const std::string body = RandomBytes(4 << 20, 1);
    service.SetReply("/app/version.php?ver=3", WholeReply(body));
    const std::string head =
        "GET /app/version.php?ver=3 HTTP/1.1\r\nuser-agent:Tessaron1.05\r\nHost: 127.0.0.1:8080\r\n"
        "X-Spaced:   both ends  \r\nPragma:\r\n\r\n";
    SOCKET client = ConnectTo(service.Port());
    ASSERT_NE(client, INVALID_SOCKET);
    // The head arrives in three pieces, the blank line split between two,
    // and a request body follows it that the service never reads.
    const std::string pieces[] = {head.substr(0, 20), head.substr(20, head.size() - 21), head.substr(head.size() - 1)};
    for (const std::string& piece : pieces) {
        ASSERT_TRUE(SendAll(client, piece));
        Sleep(50);
    }
    ASSERT_TRUE(SendAll(client, "body"));
    bool ended = false;
    std::string reply = ReceiveUntilEnd(client, &ended, WaitLimitMs);
    closesocket(client);
    EXPECT_TRUE(ended);
    ASSERT_GE(reply.size(), body.size());
    EXPECT_TRUE(reply.compare(reply.size() - body.size(), body.size(), body) == 0);
    ASSERT_EQ(service.Requests(), 1);
    EXPECT_EQ(service.LastRequestHead(), head);
    EXPECT_EQ(service.RequestLine(0), "GET /app/version.php?ver=3 HTTP/1.1");
    const struct {
        const char* name;
        const char* value;
    } headers[] = {
        {"User-Agent", "Tessaron1.05"},  // name in another case, no blank after the colon
        {"HOST", "127.0.0.1:8080"},      // a colon in the value
        {"x-spaced", "both ends"},
        {"Pragma", ""},
        {"Accept", ""},  // absent
        {"Host:", ""},
        {"Hos", ""},
    };
    for (const auto& h : headers) EXPECT_EQ(service.Header(0, h.name), h.value) << h.name;
    EXPECT_EQ(service.Header(1, "Host"), "");
}

TEST_F(WebServiceTest, KeepsRequestsInOrder) {
    WebService service;
    service.SetReply(ListTarget, WholeReply(ListBody));
    Fetch(service, GetRequest(ListTarget));
    Fetch(service, GetRequest("/app/version.php?ver=3"));
    ASSERT_EQ(service.Requests(), 2);
    EXPECT_EQ(service.RequestLine(0), "GET /app/proxylist.php HTTP/1.1");
    EXPECT_EQ(service.RequestLine(1), "GET /app/version.php?ver=3 HTTP/1.1");
    EXPECT_EQ(service.LastRequestHead(), GetRequest("/app/version.php?ver=3"));
}

TEST_F(WebServiceTest, ServesWhileAnotherConnectionIsHeld) {
    const char HeldTarget[] = "/held";
    SOCKET held;
    {
        WebService service;
        service.SetReply(HeldTarget, SilentReply());
        service.SetReply(ListTarget, WholeReply(ListBody));
        held = ConnectTo(service.Port());
        ASSERT_NE(held, INVALID_SOCKET);
        ASSERT_TRUE(SendAll(held, GetRequest(HeldTarget)));
        ASSERT_TRUE(service.WaitForRequests(1, WaitLimitMs));

        std::string reply = Fetch(service, GetRequest(ListTarget));
        ASSERT_GE(reply.size(), strlen(ListBody));
        EXPECT_EQ(reply.substr(reply.size() - strlen(ListBody)), ListBody);
        EXPECT_EQ(service.Requests(), 2);
        EXPECT_FALSE(Readable(held, SettleMs)) << "the held connection got an answer or its end";
    }
    EXPECT_TRUE(SeesClosed(held, WaitLimitMs)) << "the stop left the held connection open";
    closesocket(held);
}

TEST_F(WebServiceTest, StopEndsEveryConnection) {
    const char PieceBody[] = "0123456789";
    const struct {
        const char* name;
        WebReply reply;
    } cases[] = {
        {"silent", SilentReply()},
        {"slow in a long pause", SlowReply(PieceBody, 5, 60 * 60 * 1000)},
        // The client reads nothing: the service waits to send.
        {"endless", EndlessReply()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SOCKET client;
        {
            WebService service;
            service.SetReply(ListTarget, c.reply);
            client = ConnectTo(service.Port());
            ASSERT_NE(client, INVALID_SOCKET);
            ASSERT_TRUE(SendAll(client, GetRequest(ListTarget)));
            ASSERT_TRUE(service.WaitForRequests(1, WaitLimitMs));
            Sleep(SettleMs);
        }
        // Whatever came before the stop, then the end.
        bool ended = false;
        std::string received = ReceiveUntilEnd(client, &ended, WaitLimitMs);
        EXPECT_TRUE(ended);
        if (c.reply.mode == WebReplySlow) {
            EXPECT_EQ(received.substr(received.find("\r\n\r\n") + 4), "01234");
        }
        closesocket(client);
    }
}
