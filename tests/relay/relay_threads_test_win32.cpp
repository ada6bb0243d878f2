// The relay's slots and threads inside the test's own process, with a name
// lookup the test holds up for as long as it likes. The relay listens on
// 127.0.0.1; clients and upstream servers come from the loopback sockets.
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "relay/connection_slots.h"
#include "relay/host_lookup.h"
#include "relay/relay_state.h"
#include "relay/relay_threads.h"
#include "tests/support/loopback_sockets.h"

// A host the lookup below holds until the test lets it end; it then gives
// 127.0.0.1. Dotted addresses resolve at once, anything else does not.
static const char SlowHost[] = "slow.test";
static HANDLE LookupStarted;  // set when a lookup of SlowHost begins
static HANDLE LookupMayEnd;   // set by the test to let it end
static const DWORD LookupLimit = 30000;  // a lookup the test forgets ends by itself

u_long ResolveUpstreamHost(const char* host) {
    if (std::strcmp(host, SlowHost) == 0) {
        SetEvent(LookupStarted);
        WaitForSingleObject(LookupMayEnd, LookupLimit);
        return inet_addr("127.0.0.1");
    }
    u_long address = inet_addr(host);
    return address == INADDR_NONE ? 0 : address;
}

static const DWORD ConnectWait = 5000;

class RelayThreadsTest : public ::testing::Test {
protected:
    // The relay's start-up without the shared table: slots, a listening
    // socket on 127.0.0.1 and the three threads, once per test program.
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        LookupStarted = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        LookupMayEnd = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        InitializeCriticalSection(&Relay.upstreamLock);
        ASSERT_TRUE(InitConnectionSlots());
        Relay.listenEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Relay.listenSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        WSAEventSelect(Relay.listenSocket, Relay.listenEvent, FD_ACCEPT);
        sockaddr_in local;
        ZeroMemory(&local, sizeof local);
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = inet_addr("127.0.0.1");
        ASSERT_EQ(bind(Relay.listenSocket, (sockaddr*)&local, sizeof local), 0);
        ASSERT_EQ(listen(Relay.listenSocket, 10), 0);
        int length = sizeof local;
        getsockname(Relay.listenSocket, (sockaddr*)&local, &length);
        RelayPort = ntohs(local.sin_port);
        Relay.localOnly = 1;
        for (LPTHREAD_START_ROUTINE thread : {ClientSideThread, UpstreamSideThread, AcceptConnectThread}) {
            CloseHandle(CreateThread(nullptr, 0, thread, nullptr, 0, nullptr));
        }
    }

    void TearDown() override { SetEvent(LookupMayEnd); }

    static void UseServer(const std::string& server) {
        UpstreamServer parsed = ParseUpstreamServer(server.c_str());
        SetUpstreamServer(&parsed);
    }

    static int FirstFreeSlot() {
        for (int i = 0; i < MaxConnections; ++i) {
            if (InterlockedCompareExchange(&Connections[i].inUse, 0, 0) == 0) return i;
        }
        return -1;
    }

    static bool IsSignalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

    // A request goes up and an answer comes back within the time.
    static void ExpectRoundTrip(SOCKET client, SOCKET upstream, const std::string& tag, DWORD milliseconds) {
        ASSERT_TRUE(SendAll(client, "ping " + tag));
        EXPECT_EQ(ReceiveBytes(upstream, 5 + tag.size(), milliseconds), "ping " + tag);
        ASSERT_TRUE(SendAll(upstream, "pong " + tag));
        EXPECT_EQ(ReceiveBytes(client, 5 + tag.size(), milliseconds), "pong " + tag);
    }

    static int RelayPort;
};

int RelayThreadsTest::RelayPort = 0;

TEST_F(RelayThreadsTest, SlowLookupHoldsUpNoOpenConnection) {
    TestServer upstream;
    UseServer(upstream.Address());
    SOCKET client = ConnectTo(RelayPort);
    SOCKET server = upstream.Accept(ConnectWait);
    ASSERT_NE(server, INVALID_SOCKET);
    ExpectRoundTrip(client, server, "before", ConnectWait);

    // The next client's upstream name takes long to look up.
    int nextSlot = FirstFreeSlot();
    ASSERT_GE(nextSlot, 0);
    UseServer(std::string(SlowHost) + ":" + std::to_string(upstream.Port()));
    SOCKET waiting = ConnectTo(RelayPort);
    ASSERT_NE(waiting, INVALID_SOCKET);
    ASSERT_EQ(WaitForSingleObject(LookupStarted, ConnectWait), WAIT_OBJECT_0);

    // The events of the slot the new client gets, left set by its last use,
    // which both relay threads reach only now (as under load). They must not
    // make either thread wait for the lookup.
    SetEvent(ClientSideEvents[nextSlot]);
    SetEvent(UpstreamSideEvents[nextSlot]);
    ExpectRoundTrip(client, server, "during the lookup", 3000);

    SetEvent(LookupMayEnd);
    SOCKET late = upstream.Accept(ConnectWait);
    ASSERT_NE(late, INVALID_SOCKET);
    ExpectRoundTrip(waiting, late, "after the lookup", ConnectWait);
    for (SOCKET s : {client, server, waiting, late}) closesocket(s);
}

TEST_F(RelayThreadsTest, TakingOrClosingASlotLeavesNeitherOfItsEventsSet) {
    const int i = MaxConnections - 1;
    RelayConnection* slot = &Connections[i];
    // Held throughout, as by the relay itself, so that no relay thread
    // resets an event before it is looked at.
    EnterCriticalSection(&slot->lock);
    SetEvent(ClientSideEvents[i]);
    SetEvent(UpstreamSideEvents[i]);
    ASSERT_TRUE(TakeSlot(i));
    EXPECT_FALSE(IsSignalled(ClientSideEvents[i])) << "taken";
    EXPECT_FALSE(IsSignalled(UpstreamSideEvents[i])) << "taken";

    SetEvent(ClientSideEvents[i]);
    SetEvent(UpstreamSideEvents[i]);
    CloseConnection(i);
    EXPECT_FALSE(IsSignalled(ClientSideEvents[i])) << "closed";
    EXPECT_FALSE(IsSignalled(UpstreamSideEvents[i])) << "closed";
    EXPECT_EQ(slot->inUse, 0);
    LeaveCriticalSection(&slot->lock);
}
