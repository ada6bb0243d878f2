// "Test Server" through the real main window in the test's own thread. The
// Testing Servers dialog is modal, so the test thread sends the command and
// stays inside the dialog's loop until it closes, while a helper thread
// watches the dialog through its controls' messages (which that loop
// serves), notes what it shows and closes it. Fake proxies on 127.0.0.1
// answer the probes.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "manager/catalogue/catalogue_texts.h"
#include "manager/resources/resource_ids.h"
#include "manager/window/main_window_win32.h"
#include "tests/support/fake_proxy.h"
#include "tests/window/dialog_visit_win32.h"
#include "tests/window/list_cells_win32.h"
#include "tests/window/test_window_win32.h"

static const char* const TestingTitle = "Testing Servers";
static const char* const IdleStatus = "Tessaron 1.05";
static const char* const BusyStatus = "Testing Servers...";
// The HTTP probe for the default probe host, and the SOCKS 5 greeting.
static const std::string HttpProbe =
    "GET http://www.example.com/ HTTP/1.1\nHost: www.example.com:80\nConnection: close\n\n";
static const std::string SocksGreetingBytes("\x05\x00", 2);
// The proxies' answers; a SOCKS 5 server answers with its version and the
// method it picked.
static const std::string ProxyOk = "HTTP/1.1 200 Connection established\r\n\r\n";
static const std::string ProxyAuthRequired = "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n";
static const std::string SocksNoAuth("\x05\x00", 2);
// The injected clock's time and its last-check text.
static const char* const CheckedText = "2009.12.1 14:3";
static const UINT TickMs = 50;
static const int TimeoutTicks = 20;
static const int NeverTimesOut = 300;  // 15 s of ticks: far beyond any test step

static void WINAPI DecemberFirst(SYSTEMTIME* now) {
    *now = SYSTEMTIME{};
    now->wYear = 2009;
    now->wMonth = 12;
    now->wDay = 1;
    now->wDayOfWeek = 2;
    now->wHour = 14;
    now->wMinute = 3;
    now->wSecond = 7;
}

// ---- reading the window from any thread of this process ----
// Each read is a message that the window thread serves, inside the dialog's
// loop as well.

static std::vector<int> Icons(HWND list) {
    std::vector<int> icons;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        icons.push_back(item.iImage);
    }
    return icons;
}

// For each delay text: true when it is a count of milliseconds, false when
// it is empty (or anything else).
static std::vector<bool> HasDelay(const std::vector<std::string>& delays) {
    std::vector<bool> numbers;
    for (const std::string& delay : delays)
        numbers.push_back(!delay.empty() && delay.find_first_not_of("0123456789") == std::string::npos);
    return numbers;
}

// ---- the dialog's timer ticks, counted on the window thread ----

static std::atomic<int> dialogTicks{0};

static LRESULT CALLBACK CountDialogTicks(int code, WPARAM removed, LPARAM argument) {
    const MSG* message = (const MSG*)argument;
    if (code == HC_ACTION && removed == PM_REMOVE && message->message == WM_TIMER && message->hwnd != nullptr) {
        char title[64] = "";
        GetWindowTextA(message->hwnd, title, sizeof title);
        if (std::string(title) == TestingTitle) ++dialogTicks;
    }
    return CallNextHookEx(nullptr, code, removed, argument);
}

class TestingDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA winsock;
        WSAStartup(MAKEWORD(2, 2), &winsock);
    }

    void SetUp() override {
        window = CreateTestMainWindow(&table);
        ASSERT_NE(window, nullptr);
        main = MainWindowOf(window);
        main->testing.probes = 8;
        main->testing.timeoutSeconds = TimeoutTicks;
        main->probeTickMilliseconds = TickMs;
        main->localTime = DecemberFirst;
        dialogTicks = 0;
        hook = SetWindowsHookExA(WH_GETMESSAGE, CountDialogTicks, nullptr, GetCurrentThreadId());
    }

    void TearDown() override {
        if (hook != nullptr) UnhookWindowsHookEx(hook);
        DestroyMainWindow(window);
    }

    HWND ShownList() { return main->serverLists[main->catalogue.currentSlot]; }
    HWND List(int slot) { return main->serverLists[slot]; }
    HWND CategoryList() { return GetDlgItem(window, IDC_CATEGORY_LIST); }

    struct Row {
        std::string address;
        int typeFlag;
        int statusCode;
        bool selected;
    };

    void AddRows(int slot, const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            int index = AddServerRow(&main->catalogue, slot, row.address.c_str(), row.typeFlag, row.statusCode);
            ASSERT_GE(index, 0) << row.address;
            if (row.selected) ListView_SetItemState(List(slot), index, LVIS_SELECTED, LVIS_SELECTED);
        }
        RefreshCategoryLabels(&main->catalogue);
    }

    // "Test Server" with the helper on its visit; returns once the dialog
    // has closed and the helper is done.
    void TestServers(DialogVisit* visit) {
        visit->title = TestingTitle;
        RunCommandWithVisit(window, IDM_TEST_SERVER, visit);
        EXPECT_TRUE(visit->found) << "no Testing Servers dialog over the main window";
        EXPECT_TRUE(visit->reached) << "the dialog never reached the awaited state";
        EXPECT_TRUE(visit->closedAsAsked) << "the dialog did not close the way it was asked to";
    }

    std::vector<std::string> Labels() { return Column(CategoryList(), 0); }

    SharedPortTable table = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
    HHOOK hook = nullptr;
};

// What the dialog showed at one moment.
struct DialogTexts {
    std::string progress;
    std::string counts;
    int barLow = -1;
    int barHigh = -1;
    int barPosition = -1;
};

static DialogTexts ReadDialog(HWND dialog) {
    DialogTexts texts;
    texts.progress = ItemText(dialog, IDC_TESTING_PROGRESS);
    texts.counts = ItemText(dialog, IDC_TESTING_COUNTS);
    ProgressBar bar = ReadProgressBar(dialog, IDC_TESTING_BAR);
    texts.barLow = bar.low;
    texts.barHigh = bar.high;
    texts.barPosition = bar.position;
    return texts;
}

TEST_F(TestingDialogTest, NothingSelectedTestsNothingAndCountsZeros) {
    FakeProxy proxy(AnswerReply, ProxyOk, HttpProbe.size());
    AddRows(MyProxyServersSlot, {{proxy.Address(), Http, StatusCodeUntested, false},
                                 {"127.0.0.3:3128", Http, StatusCodeAlive, false}});
    DialogTexts shown;
    DialogVisit visit;
    visit.ready = [](HWND) { return dialogTicks >= 2; };  // the first tick handled
    visit.note = [&](HWND dialog) { shown = ReadDialog(dialog); };
    TestServers(&visit);

    EXPECT_EQ(shown.progress, "Testing 0 of 0 servers");
    EXPECT_EQ(shown.counts, "Alive: 0    Dead: 0");
    EXPECT_EQ(shown.barLow, 0);
    EXPECT_EQ(shown.barHigh, 0);
    EXPECT_EQ(shown.barPosition, 0);
    EXPECT_EQ(proxy.Accepted(), 0);
    EXPECT_EQ(Column(ShownList(), ServerStatus), (std::vector<std::string>{"Untested", "Alive"}));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"My Proxy Servers(2)", "New(0)", "Dead(0)"}));
    EXPECT_EQ(StatusPart(window, 0), IdleStatus);
}

// One run over every kind of answer, with rows left out of it, and its
// closing: the dialog's counts, the rows' texts and icons while it is open,
// and where the dead servers end up.
TEST_F(TestingDialogTest, RunOverLiveDeadRefusedAndSilentServersMovesTheDeadOnClosing) {
    FakeProxy alive(AnswerReply, ProxyOk, HttpProbe.size());
    FakeProxy socks(AnswerReply, SocksNoAuth, SocksGreetingBytes.size());
    FakeProxy denied(AnswerReply, ProxyAuthRequired, HttpProbe.size());
    FakeProxy hangUp(AnswerHangUp, "", HttpProbe.size());
    FakeProxy reset(AnswerReset, "", HttpProbe.size());
    FakeProxy silent(AnswerSilent);
    const std::string refused = "127.0.0.1:" + std::to_string(UnusedPort());
    // Refused too, and already listed in "Dead" with texts of its own.
    const std::string refusedListed = "127.0.0.2:" + std::to_string(UnusedPort());
    const std::string oldDead = "127.0.0.9:3128", untested = "127.0.0.10:3128";
    AddRows(DeadSlot, {{refusedListed, Http, StatusCodeDead, false}});
    SetServerText(&main->catalogue, DeadSlot, 0, ServerDelay, "900");
    SetServerText(&main->catalogue, DeadSlot, 0, ServerLastCheck, "2009.11.30 8:0");
    AddRows(MyProxyServersSlot, {{alive.Address(), Http, StatusCodeUntested, true},
                                 {refused, Http, StatusCodeAlive, true},
                                 {oldDead, Http, StatusCodeDead, false},
                                 {denied.Address(), Http, StatusCodeUntested, true},
                                 {hangUp.Address(), Http, StatusCodeUntested, true},
                                 {reset.Address(), Http, StatusCodeUntested, true},
                                 {socks.Address(), Socks, StatusCodeUntested, true},
                                 {silent.Address(), Http, StatusCodeAlive, true},
                                 {untested, Http, StatusCodeUntested, false},
                                 {refusedListed, Http, StatusCodeUntested, true}});

    DialogTexts shown;
    std::vector<std::string> statuses, delays, checks;
    std::vector<int> icons;
    std::string statusBar;
    DialogVisit visit;
    visit.ready = [](HWND dialog) { return ItemText(dialog, IDC_TESTING_PROGRESS) == "Testing 8 of 8 servers"; };
    visit.note = [&](HWND dialog) {
        shown = ReadDialog(dialog);
        HWND list = ShownList();
        statuses = Column(list, ServerStatus);
        delays = Column(list, ServerDelay);
        checks = Column(list, ServerLastCheck);
        icons = Icons(list);
        // The batch ends once the last probe has started, before its verdict.
        WaitUntil([&] { return StatusPart(window, 0) == IdleStatus; }, StepWaitMs);
        statusBar = StatusPart(window, 0);
    };
    TestServers(&visit);

    EXPECT_EQ(shown.progress, "Testing 8 of 8 servers");
    EXPECT_EQ(shown.counts, "Alive: 2    Dead: 6");
    EXPECT_EQ(shown.barLow, 0);
    EXPECT_EQ(shown.barHigh, 8);
    EXPECT_EQ(shown.barPosition, 8);
    EXPECT_EQ(statusBar, IdleStatus);
    // Rows in list order: alive, refused, old dead, denied, hung up, reset,
    // socks, silent, untested, refused and listed.
    EXPECT_EQ(statuses, (std::vector<std::string>{"Alive", "Dead", "Dead", "Dead", "Dead", "Dead", "Alive", "Dead",
                                                  "Untested", "Dead"}));
    EXPECT_EQ(HasDelay(delays), (std::vector<bool>{true, false, false, true, false, false, true, false, false, false}))
        << "reply bytes give a delay, also a refusing reply; no bytes give none";
    const std::string none;
    EXPECT_EQ(checks, (std::vector<std::string>{CheckedText, CheckedText, none, CheckedText, CheckedText, CheckedText,
                                                CheckedText, CheckedText, none, CheckedText}));
    EXPECT_EQ(icons, (std::vector<int>{ImageAlive, ImageDead, ImageDead, ImageDead, ImageDead, ImageDead, ImageAlive,
                                       ImageDead, ImageOther, ImageDead}));
    EXPECT_EQ(alive.Request(), HttpProbe);
    EXPECT_EQ(denied.Request(), HttpProbe);
    EXPECT_EQ(socks.Request(), SocksGreetingBytes);
    EXPECT_EQ(silent.Accepted(), 1);
    for (FakeProxy* held : {&alive, &socks, &denied, &silent})
        EXPECT_TRUE(held->FirstClosedByPeer(StepWaitMs)) << held->Address() << ": the probe kept its socket";

    // Closed: every Dead row moved, in the order it stood, the one "Dead"
    // held already dropped; moved rows lose their delay and last check.
    EXPECT_EQ(Column(ShownList(), ServerAddress),
              (std::vector<std::string>{alive.Address(), socks.Address(), untested}));
    EXPECT_EQ(Column(ShownList(), ServerStatus), (std::vector<std::string>{"Alive", "Alive", "Untested"}));
    EXPECT_EQ(Column(ShownList(), ServerLastCheck), (std::vector<std::string>{CheckedText, CheckedText, none}));
    HWND dead = List(DeadSlot);
    EXPECT_EQ(Column(dead, ServerAddress), (std::vector<std::string>{refusedListed, refused, oldDead, denied.Address(),
                                                                     hangUp.Address(), reset.Address(),
                                                                     silent.Address()}));
    EXPECT_EQ(Column(dead, ServerStatus), std::vector<std::string>(7, "Dead"));
    EXPECT_EQ(Column(dead, ServerDelay), (std::vector<std::string>{"900", none, none, none, none, none, none}));
    EXPECT_EQ(Column(dead, ServerLastCheck),
              (std::vector<std::string>{"2009.11.30 8:0", none, none, none, none, none, none}));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"My Proxy Servers(3)", "New(0)", "Dead(7)"}));
    EXPECT_EQ(StatusPart(window, 0), IdleStatus);
    EXPECT_EQ(StatusPart(window, 1), "Total: 3   Socks: 1   Http: 2");
    EXPECT_EQ(ArmedProbeCount(main->probeEngine), 0);
}

// With one probe at a time and the first server holding its answer back,
// the second waits for the slot while the status bar reads busy.
TEST_F(TestingDialogTest, StatusBarReadsBusyWhileTheBatchWaitsForAFreeSlot) {
    main->testing.probes = 1;
    main->testing.timeoutSeconds = NeverTimesOut;
    FakeProxy held(AnswerReplyOnGo, "HTTP/1.0 302 Found\r\n\r\n", HttpProbe.size());
    FakeProxy second(AnswerReply, ProxyOk, HttpProbe.size());
    AddRows(MyProxyServersSlot, {{held.Address(), Http, StatusCodeUntested, true},
                                 {second.Address(), Http, StatusCodeDead, true}});
    SetServerText(&main->catalogue, MyProxyServersSlot, 0, ServerDelay, "55");
    std::string busyStatus, idleStatus, firstDelay, secondWhileWaiting, progressWhileWaiting, progressAfter;
    int secondAccepted = -1;
    DialogVisit visit;
    visit.ready = [&](HWND) {
        return held.Request() == HttpProbe && CellText(ShownList(), 0, ServerStatus) == StatusTestingText;
    };
    visit.note = [&](HWND dialog) {
        int ticks = dialogTicks;
        // The batch has looked for a free slot more than once by now.
        WaitUntil([&] { return dialogTicks >= ticks + 6; }, StepWaitMs);
        busyStatus = StatusPart(window, 0);
        firstDelay = CellText(ShownList(), 0, ServerDelay);
        secondWhileWaiting = CellText(ShownList(), 1, ServerStatus);
        secondAccepted = second.Accepted();
        progressWhileWaiting = ItemText(dialog, IDC_TESTING_PROGRESS);
        held.Go();
        WaitUntil([&] { return ItemText(dialog, IDC_TESTING_PROGRESS) == "Testing 2 of 2 servers"; }, StepWaitMs);
        progressAfter = ItemText(dialog, IDC_TESTING_PROGRESS);
        WaitUntil([&] { return StatusPart(window, 0) == IdleStatus; }, StepWaitMs);
        idleStatus = StatusPart(window, 0);
    };
    TestServers(&visit);

    EXPECT_EQ(busyStatus, BusyStatus);
    EXPECT_EQ(firstDelay, "") << "a row under test keeps the delay of an earlier test";
    EXPECT_EQ(secondWhileWaiting, "Dead") << "the second server was started with no free slot";
    EXPECT_EQ(secondAccepted, 0);
    EXPECT_EQ(progressWhileWaiting, "Testing 0 of 2 servers");
    EXPECT_EQ(progressAfter, "Testing 2 of 2 servers");
    EXPECT_EQ(idleStatus, IdleStatus);
    EXPECT_EQ(Column(ShownList(), ServerStatus), (std::vector<std::string>{"Alive", "Alive"}));
    EXPECT_EQ(StatusPart(window, 0), IdleStatus);
}

// Closed while the first of three silent servers is under test: its probe
// is dropped with its socket and its row reads Untested again; the servers
// never started keep what they had.
TEST_F(TestingDialogTest, ClosingMidRunDropsTheProbeAndLeavesUnstartedRowsAsTheyWere) {
    main->testing.probes = 1;
    main->testing.timeoutSeconds = NeverTimesOut;
    FakeProxy first(AnswerSilent), second(AnswerSilent), third(AnswerSilent);
    AddRows(MyProxyServersSlot, {{first.Address(), Http, StatusCodeUntested, true},
                                 {second.Address(), Http, StatusCodeAlive, true},
                                 {third.Address(), Socks, StatusCodeDead, true}});
    SetServerText(&main->catalogue, MyProxyServersSlot, 1, ServerDelay, "120");
    SetServerText(&main->catalogue, MyProxyServersSlot, 1, ServerLastCheck, "2009.11.2 7:45");
    DialogVisit visit;
    visit.close = CloseByWindowClose;
    visit.ready = [&](HWND) {
        return first.Accepted() == 1 && CellText(ShownList(), 0, ServerStatus) == StatusTestingText;
    };
    TestServers(&visit);

    EXPECT_TRUE(first.FirstClosedByPeer(StepWaitMs)) << "the dropped probe kept its socket";
    EXPECT_EQ(second.Accepted(), 0);
    EXPECT_EQ(third.Accepted(), 0);
    EXPECT_EQ(ArmedProbeCount(main->probeEngine), 0);
    HWND list = ShownList();
    EXPECT_EQ(Column(list, ServerAddress), (std::vector<std::string>{first.Address(), second.Address()}));
    EXPECT_EQ(Column(list, ServerStatus), (std::vector<std::string>{"Untested", "Alive"}));
    EXPECT_EQ(Column(list, ServerDelay), (std::vector<std::string>{"", "120"}));
    EXPECT_EQ(Column(list, ServerLastCheck), (std::vector<std::string>{"", "2009.11.2 7:45"}));
    EXPECT_EQ(Icons(list), (std::vector<int>{ImageOther, ImageAlive}));
    // The one Dead before the run still goes to "Dead".
    EXPECT_EQ(Column(List(DeadSlot), ServerAddress), (std::vector<std::string>{third.Address()}));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"My Proxy Servers(2)", "New(0)", "Dead(1)"}));
    EXPECT_EQ(StatusPart(window, 0), IdleStatus);
}

// Testing the servers of "Dead" itself: their verdicts are written, and no
// row moves anywhere, in that list or another.
TEST_F(TestingDialogTest, ClosingWhileDeadIsShownMovesNothing) {
    FakeProxy denied(AnswerReply, ProxyAuthRequired, HttpProbe.size());
    FakeProxy alive(AnswerReply, ProxyOk, HttpProbe.size());
    const std::string refused = "127.0.0.1:" + std::to_string(UnusedPort());
    AddRows(MyProxyServersSlot, {{"127.0.0.9:3128", Http, StatusCodeDead, false}});
    ListView_SetItemState(CategoryList(), 2, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_EQ(main->catalogue.currentSlot, DeadSlot);
    AddRows(DeadSlot, {{denied.Address(), Http, StatusCodeDead, true},
                       {alive.Address(), Http, StatusCodeDead, true},
                       {refused, Http, StatusCodeUntested, true}});
    DialogVisit visit;
    visit.close = CloseByEscape;
    visit.ready = [](HWND dialog) { return ItemText(dialog, IDC_TESTING_PROGRESS) == "Testing 3 of 3 servers"; };
    TestServers(&visit);

    HWND list = List(DeadSlot);
    EXPECT_EQ(Column(list, ServerAddress), (std::vector<std::string>{denied.Address(), alive.Address(), refused}));
    EXPECT_EQ(Column(list, ServerStatus), (std::vector<std::string>{"Dead", "Alive", "Dead"}));
    EXPECT_EQ(HasDelay(Column(list, ServerDelay)), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(Column(list, ServerLastCheck), std::vector<std::string>(3, CheckedText));
    EXPECT_EQ(Column(List(MyProxyServersSlot), ServerAddress), (std::vector<std::string>{"127.0.0.9:3128"}));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"My Proxy Servers(1)", "New(0)", "Dead(3)"}));
    EXPECT_EQ(StatusPart(window, 1), "Total: 3   Socks: 0   Http: 3");
}

struct DialogCount {
    HWND owner;
    std::vector<HWND> dialogs;
};

static BOOL CALLBACK CountTestingDialog(HWND window, LPARAM argument) {
    DialogCount* count = (DialogCount*)argument;
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if (GetWindow(window, GW_OWNER) == count->owner && std::string(title) == TestingTitle)
        count->dialogs.push_back(window);
    return TRUE;
}

// Another program may send the command while the dialog is open: it opens
// no second dialog, and the run under way keeps its record and its batch.
TEST_F(TestingDialogTest, TestServerSentWhileTheDialogIsOpenStartsNoSecondRun) {
    main->testing.probes = 1;
    main->testing.timeoutSeconds = NeverTimesOut;
    FakeProxy first(AnswerSilent), second(AnswerSilent);
    AddRows(MyProxyServersSlot,
            {{first.Address(), Http, StatusCodeUntested, true}, {second.Address(), Http, StatusCodeUntested, true}});
    int runBefore = main->testRun.number;
    bool answered = false;
    size_t dialogs = 0;
    DialogVisit visit;
    visit.ready = [&](HWND) { return first.Accepted() == 1; };
    visit.note = [&](HWND dialog) {
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(IDM_TEST_SERVER, 0), 0, SMTO_NORMAL,
                                       StepWaitMs, &result) != 0;
        DialogCount count = {window, {}};
        EnumWindows(CountTestingDialog, (LPARAM)&count);
        dialogs = count.dialogs.size();
        for (HWND other : count.dialogs)  // a second dialog would hold the first one open
            if (other != dialog) PostMessageA(other, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    TestServers(&visit);

    EXPECT_TRUE(answered);
    EXPECT_EQ(dialogs, 1u);
    EXPECT_EQ(main->testRun.number, runBefore + 1);
    EXPECT_EQ(second.Accepted(), 0);
    EXPECT_EQ(Column(ShownList(), ServerStatus), (std::vector<std::string>{"Untested", "Untested"}));
}
