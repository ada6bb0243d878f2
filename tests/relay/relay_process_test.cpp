// The relay program driven through real sockets and kernel objects.
#include "relay_harness.h"

#include <gtest/gtest.h>

#include "relay/half_close.h"

#include <string>
#include <vector>

static const DWORD StartWait = 15000;
static const DWORD EndWait = 5000;

class RelayProcessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }

    void SetUp() override {
        // A port of its own for every test, so that no socket of an earlier
        // test stands in the way.
        static int nextPort = 47100;
        port = nextPort;
        nextPort += 7;
        portText = std::to_string(port);
        ASSERT_TRUE(manager.Start());
    }

    void TearDown() override {
        for (HANDLE process : relays) {
            if (!WaitForExit(process, 0)) TerminateProcess(process, 1);
            WaitForExit(process, EndWait);
            CloseHandle(process);
        }
        manager.End();
    }

    // Launches a relay for the test's port with the given server and waits
    // until it listens.
    HANDLE StartRelay(const std::string& server) {
        manager.SetEntry(0, port, server.c_str());
        HANDLE relay = Launch(portText);
        EXPECT_TRUE(WaitForListening(port, StartWait)) << "the relay does not listen";
        return relay;
    }

    // Connects count clients through the relay, each taken by the upstream
    // server before the next; false at the first that does not arrive.
    bool ConnectThrough(int count, TestServer& upstream, std::vector<SOCKET>* clients, std::vector<SOCKET>* servers) {
        for (int i = 0; i < count; ++i) {
            clients->push_back(ConnectTo(port));
            SOCKET server = upstream.Accept(StartWait);
            if (server == INVALID_SOCKET) {
                ADD_FAILURE() << "connection " << i << " did not reach the upstream server";
                return false;
            }
            servers->push_back(server);
        }
        return true;
    }

    HANDLE Launch(const std::string& argument) {
        HANDLE relay = LaunchRelay(argument);
        EXPECT_NE(relay, nullptr);
        if (relay != nullptr) relays.push_back(relay);
        return relay;
    }

    // Points the relay at another server and gives it time to re-read its entry.
    void Switch(const std::string& server) {
        SetEntryServer(&manager.table->ports[0], server.c_str());
        ASSERT_TRUE(manager.Signal(portText));
        Sleep(300);
    }

    static int ExitCode(HANDLE process) {
        DWORD code = 1234;
        GetExitCodeProcess(process, &code);
        return (int)code;
    }

    // One request passes up and one answer comes back through a relayed connection.
    static void ExpectRoundTrip(SOCKET client, SOCKET upstream, const std::string& tag) {
        ASSERT_TRUE(SendAll(client, "ping " + tag));
        EXPECT_EQ(ReceiveBytes(upstream, 5 + tag.size()), "ping " + tag);
        ASSERT_TRUE(SendAll(upstream, "pong " + tag));
        EXPECT_EQ(ReceiveBytes(client, 5 + tag.size()), "pong " + tag);
    }

    ManagerSide manager;
    int port = 0;
    std::string portText;
    std::vector<HANDLE> relays;
};

TEST_F(RelayProcessTest, BinaryBytesPassUnchangedBothWaysAtOnce) {
    TestServer upstream;
    StartRelay(upstream.Address());
    const std::string request = RandomBytes(5 << 20, 11);
    const std::string answer = RandomBytes(5 << 20, 12);

    SOCKET client = ConnectTo(port);
    ASSERT_NE(client, INVALID_SOCKET);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);

    std::string atServer, atClient;
    {
        Worker clientSends([&] { SendAll(client, request); });
        Worker serverSends([&] { SendAll(server, answer); });
        Worker serverReads([&] { atServer = ReceiveBytes(server, request.size(), 60000); });
        atClient = ReceiveBytes(client, answer.size(), 60000);
    }
    EXPECT_TRUE(atServer == request) << "upstream got " << atServer.size() << " of " << request.size() << " bytes";
    EXPECT_TRUE(atClient == answer) << "client got " << atClient.size() << " of " << answer.size() << " bytes";
    closesocket(client);
    closesocket(server);
}

TEST_F(RelayProcessTest, WholeAnswerReachesASlowReaderAfterTheServerCloses) {
    TestServer upstream;
    StartRelay(upstream.Address());
    const std::string answer = RandomBytes(3 * 65535 + 4321, 21);

    SOCKET client = ConnectTo(port);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);
    ASSERT_TRUE(SendAll(server, answer));
    closesocket(server);  // the server writes its answer and closes at once

    Sleep(500);
    std::string atClient;
    bool ended = false;
    std::vector<char> piece(4096);
    for (int reads = 0; reads < 100000; ++reads) {
        int got = recv(client, piece.data(), (int)piece.size(), 0);
        if (got == 0) {
            ended = true;
            break;
        }
        if (got < 0) break;
        atClient.append(piece.data(), (size_t)got);
        if (reads % 16 == 0) Sleep(5);
    }
    EXPECT_TRUE(atClient == answer) << "client got " << atClient.size() << " of " << answer.size() << " bytes";
    EXPECT_TRUE(ended) << "the end of the answer did not reach the client";
    closesocket(client);
}

TEST_F(RelayProcessTest, ClientThatHalfClosesStillGetsTheAnswer) {
    TestServer upstream;
    StartRelay(upstream.Address());
    const std::string request = "GET http://example.test/ HTTP/1.0\r\n\r\n";
    const std::string answer = RandomBytes(200000, 31);

    SOCKET client = ConnectTo(port);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);
    ASSERT_TRUE(SendAll(client, request));
    shutdown(client, SD_SEND);

    bool requestEnded = false;
    EXPECT_EQ(ReceiveUntilEnd(server, &requestEnded), request);
    EXPECT_TRUE(requestEnded) << "the client's half-close did not reach the server";
    ASSERT_TRUE(SendAll(server, answer));
    closesocket(server);

    bool answerEnded = false;
    std::string atClient = ReceiveUntilEnd(client, &answerEnded);
    EXPECT_TRUE(atClient == answer) << "client got " << atClient.size() << " of " << answer.size() << " bytes";
    EXPECT_TRUE(answerEnded);
    closesocket(client);
}

TEST_F(RelayProcessTest, ClientsAreClosedWhileNoServerCanBeReachedAndTheRelayGoesOn) {
    HANDLE relay = StartRelay("None");
    const std::vector<std::string> unreachable = {
        "None",
        "no..such..host:80",                          // does not resolve (and asks no name server)
        "127.0.0.1:" + std::to_string(UnusedPort()),  // refused
        "127.0.0.1",                                  // no colon: no port
        "127.0.0.1:70000",                            // outside the port range
    };
    for (const std::string& server : unreachable) {
        SCOPED_TRACE(server);
        Switch(server);
        for (int attempt = 0; attempt < 2; ++attempt) {
            SOCKET client = ConnectTo(port);
            ASSERT_NE(client, INVALID_SOCKET);
            EXPECT_TRUE(SeesClosed(client));
            closesocket(client);
        }
        EXPECT_FALSE(WaitForExit(relay, 0));
    }

    TestServer upstream;
    Switch(upstream.Address());
    SOCKET client = ConnectTo(port);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);
    ExpectRoundTrip(client, server, "after None");
    closesocket(client);
    closesocket(server);
}

TEST_F(RelayProcessTest, SwitchLeavesOpenConnectionsOnTheOldServer) {
    TestServer first, second;
    StartRelay(first.Address());
    SOCKET oldClient = ConnectTo(port);
    SOCKET oldServer = first.Accept(StartWait);
    ASSERT_NE(oldServer, INVALID_SOCKET);

    Switch(second.Address());
    SOCKET newClient = ConnectTo(port);
    SOCKET newServer = second.Accept(StartWait);
    ASSERT_NE(newServer, INVALID_SOCKET) << "the next connection did not go to the new server";
    EXPECT_EQ(first.Accept(200), INVALID_SOCKET);

    ExpectRoundTrip(oldClient, oldServer, "old");
    ExpectRoundTrip(newClient, newServer, "new");
    for (SOCKET s : {oldClient, oldServer, newClient, newServer}) closesocket(s);
}

TEST_F(RelayProcessTest, LocalOnlyRefusesOtherAddressesAndFollowsTheFlag) {
    TestServer upstream;
    manager.SetLocalOnly(1);
    StartRelay(upstream.Address());

    SOCKET stranger = ConnectTo(port, "127.0.0.2");
    ASSERT_NE(stranger, INVALID_SOCKET);
    SOCKET madeForStranger = upstream.Accept(StartWait);
    ASSERT_NE(madeForStranger, INVALID_SOCKET);  // the upstream sees a connection opened...
    EXPECT_TRUE(SeesClosed(madeForStranger));     // ...and closed
    EXPECT_TRUE(SeesClosed(stranger));
    closesocket(stranger);
    closesocket(madeForStranger);

    SOCKET local = ConnectTo(port, "127.0.0.1");
    SOCKET localServer = upstream.Accept(StartWait);
    ASSERT_NE(localServer, INVALID_SOCKET);
    ExpectRoundTrip(local, localServer, "local");
    closesocket(local);
    closesocket(localServer);

    manager.SetLocalOnly(0);
    ASSERT_TRUE(manager.Signal(portText));
    Sleep(300);
    SOCKET welcome = ConnectTo(port, "127.0.0.2");
    SOCKET welcomeServer = upstream.Accept(StartWait);
    ASSERT_NE(welcomeServer, INVALID_SOCKET);
    ExpectRoundTrip(welcome, welcomeServer, "from 127.0.0.2");
    closesocket(welcome);
    closesocket(welcomeServer);
}

TEST_F(RelayProcessTest, SixtyFourConnectionsAtOnceAndTheNextWhenOneFrees) {
    TestServer upstream;
    StartRelay(upstream.Address());
    const int Slots = 64;
    std::vector<SOCKET> clients, servers;
    ASSERT_TRUE(ConnectThrough(Slots, upstream, &clients, &servers));
    for (int i = 0; i < Slots; ++i) ExpectRoundTrip(clients[i], servers[i], std::to_string(i));

    SOCKET waiting = ConnectTo(port);  // lands in the listen backlog
    ASSERT_NE(waiting, INVALID_SOCKET);
    ASSERT_TRUE(SendAll(waiting, "ping waiting"));
    EXPECT_EQ(upstream.Accept(1000), INVALID_SOCKET) << "a 65th connection was relayed";

    // One connection ends from both sides; its slot frees and the waiting client is served.
    closesocket(clients[10]);
    EXPECT_TRUE(SeesClosed(servers[10]));
    closesocket(servers[10]);
    SOCKET late = upstream.Accept(StartWait);
    ASSERT_NE(late, INVALID_SOCKET) << "the waiting client was not served after a slot freed";
    EXPECT_EQ(ReceiveBytes(late, 12), "ping waiting");
    ASSERT_TRUE(SendAll(late, "pong"));
    EXPECT_EQ(ReceiveBytes(waiting, 4), "pong");

    for (int i = 0; i < Slots; ++i) {
        if (i == 10) continue;
        closesocket(clients[i]);
        closesocket(servers[i]);
    }
    closesocket(waiting);
    closesocket(late);
}

TEST_F(RelayProcessTest, HalfClosedConnectionsThatCarryNothingEndAfterTheLimitOthersStay) {
    TestServer upstream;
    StartRelay(upstream.Address());
    const int Slots = 64;
    const int Open = 0;     // fully open and quiet: stays as long as its peers keep it
    const int Trickle = 1;  // half-closed, but a byte passes now and then
    const DWORD TrickleEvery = HalfClosedIdleLimit / 3;
    std::vector<SOCKET> clients, servers;
    ASSERT_TRUE(ConnectThrough(Slots, upstream, &clients, &servers));
    ExpectRoundTrip(clients[Open], servers[Open], "open");

    // Every client but the open one ends its request; no server ever closes its side.
    DWORD halfClosedAt = GetTickCount();
    for (int i = 0; i < Slots; ++i) {
        if (i != Open) shutdown(clients[i], SD_SEND);
    }
    for (int i = 0; i < Slots; ++i) {
        if (i == Open) continue;
        bool ended = false;
        ReceiveUntilEnd(servers[i], &ended, 5000);
        ASSERT_TRUE(ended) << "the half-close of connection " << i << " did not reach its server";
    }

    SOCKET waiting = ConnectTo(port);  // lands in the listen backlog: every slot is taken
    ASSERT_NE(waiting, INVALID_SOCKET);
    ASSERT_TRUE(SendAll(waiting, "ping waiting"));
    SOCKET late = INVALID_SOCKET;
    DWORD lastTrickle = halfClosedAt;
    while (late == INVALID_SOCKET && GetTickCount() - halfClosedAt < HalfClosedIdleLimit + 15000) {
        late = upstream.Accept(500);
        if (late == INVALID_SOCKET && GetTickCount() - lastTrickle >= TrickleEvery) {
            ASSERT_TRUE(SendAll(servers[Trickle], "t"));
            ASSERT_EQ(ReceiveBytes(clients[Trickle], 1), "t");
            lastTrickle = GetTickCount();
        }
    }
    DWORD servedAfter = GetTickCount() - halfClosedAt;
    ASSERT_NE(late, INVALID_SOCKET) << "no slot freed: the half-closed connections keep theirs";
    EXPECT_GE(servedAfter, HalfClosedIdleLimit - 1000) << "a half-closed connection ended before its limit";
    EXPECT_EQ(ReceiveBytes(late, 12), "ping waiting");

    // The quiet half-closed connections have ended at both ends.
    for (int i = 0; i < Slots; ++i) {
        if (i == Open || i == Trickle) continue;
        EXPECT_TRUE(SeesClosed(servers[i])) << "server of connection " << i;
        EXPECT_TRUE(SeesClosed(clients[i])) << "client of connection " << i;
    }
    ASSERT_TRUE(SendAll(servers[Trickle], "still there"));
    EXPECT_EQ(ReceiveBytes(clients[Trickle], 11), "still there");
    ExpectRoundTrip(clients[Open], servers[Open], "open after the limit");

    for (int i = 0; i < Slots; ++i) {
        closesocket(clients[i]);
        closesocket(servers[i]);
    }
    closesocket(waiting);
    closesocket(late);
}

TEST_F(RelayProcessTest, SecondRelayForThePortEndsAtOnceAndTheFirstGoesOn) {
    TestServer upstream;
    HANDLE first = StartRelay(upstream.Address());
    HANDLE second = Launch(portText);
    ASSERT_TRUE(WaitForExit(second, EndWait));
    EXPECT_EQ(ExitCode(second), 0);
    EXPECT_FALSE(WaitForExit(first, 0));

    SOCKET client = ConnectTo(port);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);
    ExpectRoundTrip(client, server, "first relay");
    closesocket(client);
    closesocket(server);
}

TEST_F(RelayProcessTest, ArgumentsWithoutAUsablePortEndTheRelay) {
    manager.SetEntry(0, port, "None");
    for (const char* argument : {"0", "abc", "", "70000"}) {
        SCOPED_TRACE(argument);
        HANDLE relay = Launch(argument);
        ASSERT_TRUE(WaitForExit(relay, EndWait));
        EXPECT_EQ(ExitCode(relay), 0);
    }
}

TEST_F(RelayProcessTest, ArgumentWithTrailingCharactersServesItsNumber) {
    manager.SetEntry(0, port, "None");
    std::string argument = portText + "x";
    HANDLE relay = Launch(argument);
    ASSERT_TRUE(WaitForListening(port, StartWait));
    EXPECT_TRUE(ManagerSide::RelayRunning(argument));   // the event carries the whole text
    EXPECT_FALSE(ManagerSide::RelayRunning(portText));

    manager.table->ports[0].enabled = 0;
    manager.table->ports[0].inUse = 0;
    ASSERT_TRUE(manager.Signal(argument));
    EXPECT_TRUE(WaitForExit(relay, EndWait));
}

TEST_F(RelayProcessTest, SignalWithTheEntryStillEnabledKeepsTheRelay) {
    TestServer upstream;
    HANDLE relay = StartRelay(upstream.Address());
    ASSERT_TRUE(manager.Signal(portText));
    EXPECT_FALSE(WaitForExit(relay, 1000));
    SOCKET client = ConnectTo(port);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);
    ExpectRoundTrip(client, server, "still here");
    closesocket(client);
    closesocket(server);
}

TEST_F(RelayProcessTest, DisableEndsTheRelay) {
    // As the manager disables: enabled and inUse cleared, then the signal.
    HANDLE relay = StartRelay("None");
    manager.table->ports[0].enabled = 0;
    manager.table->ports[0].inUse = 0;
    ASSERT_TRUE(manager.Signal(portText));
    ASSERT_TRUE(WaitForExit(relay, EndWait));
    EXPECT_EQ(ExitCode(relay), 0);
    EXPECT_FALSE(ManagerSide::RelayRunning(portText));
}

TEST_F(RelayProcessTest, EntryLeftInUseButDisabledEndsTheRelay) {
    HANDLE relay = StartRelay("None");
    manager.table->ports[0].enabled = 0;
    ASSERT_TRUE(manager.Signal(portText));
    ASSERT_TRUE(WaitForExit(relay, EndWait));
}

TEST_F(RelayProcessTest, OlderOfTwoEntriesForThePortIsTheOneThatCounts) {
    TestServer older, newer;
    manager.SetEntry(2, port, newer.Address().c_str());
    manager.SetEntry(1, port, older.Address().c_str());
    Launch(portText);
    ASSERT_TRUE(WaitForListening(port, StartWait));
    SOCKET client = ConnectTo(port);
    SOCKET server = older.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);
    EXPECT_EQ(newer.Accept(200), INVALID_SOCKET);
    closesocket(client);
    closesocket(server);
}

TEST_F(RelayProcessTest, ManagersEndEndsTheRelayWithinASecond) {
    TestServer upstream;
    HANDLE relay = StartRelay(upstream.Address());
    SOCKET client = ConnectTo(port);
    SOCKET server = upstream.Accept(StartWait);
    ASSERT_NE(server, INVALID_SOCKET);

    manager.End();
    DWORD start = GetTickCount();
    ASSERT_TRUE(WaitForExit(relay, EndWait));
    EXPECT_LE(GetTickCount() - start, 2000u);  // one 500 ms poll and the exit, with room for a loaded machine
    EXPECT_EQ(ExitCode(relay), 0);
    EXPECT_TRUE(SeesClosed(client));  // open connections go with it
    closesocket(client);
    closesocket(server);
}

TEST_F(RelayProcessTest, MissingTableOrEntryEndsTheRelay) {
    HANDLE noEntry = Launch(portText);
    ASSERT_TRUE(WaitForExit(noEntry, EndWait));
    EXPECT_EQ(ExitCode(noEntry), 0);

    manager.End();
    ASSERT_TRUE(manager.Start(false));  // the alive event without the table
    HANDLE noTable = Launch(portText);
    ASSERT_TRUE(WaitForExit(noTable, EndWait));
    EXPECT_EQ(ExitCode(noTable), 0);
}

// Collects the texts of a window's static controls.
static BOOL CALLBACK CollectText(HWND child, LPARAM parameter) {
    char text[512];
    if (GetWindowTextA(child, text, sizeof text) > 0) {
        std::string* all = (std::string*)parameter;
        *all += text;
        *all += "\n";
    }
    return TRUE;
}

TEST_F(RelayProcessTest, FailedBindShowsTheMessageAndEndsOnceItIsDismissed) {
    // Another program holds the port on all interfaces.
    SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in any;
    ZeroMemory(&any, sizeof any);
    any.sin_family = AF_INET;
    any.sin_port = htons((u_short)port);
    ASSERT_EQ(bind(holder, (sockaddr*)&any, sizeof any), 0);
    listen(holder, 1);

    manager.SetEntry(0, port, "None");
    HANDLE relay = Launch(portText);
    HWND box = nullptr;
    for (int tries = 0; tries < 300 && box == nullptr; ++tries) {
        box = FindWindowA(nullptr, "Tessaron 1.0");
        if (box == nullptr) Sleep(50);
    }
    ASSERT_NE(box, nullptr) << "no message box";
    std::string texts;
    EnumChildWindows(box, CollectText, (LPARAM)&texts);
    EXPECT_NE(texts.find("Can't bind to port " + portText + ". Another application uses this port."),
              std::string::npos)
        << texts;
    EXPECT_TRUE(ManagerSide::RelayRunning(portText));  // the manager shows it as running meanwhile
    EXPECT_FALSE(WaitForExit(relay, 500));

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForExit(relay, EndWait));
    EXPECT_EQ(ExitCode(relay), 0);
    closesocket(holder);
}
