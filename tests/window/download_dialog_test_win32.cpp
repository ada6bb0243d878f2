// "Download Proxy List" through the real main window, against a web service
// on 127.0.0.1 run by the test: what is asked, what reaches "New", what the
// dialog and the status bar show, and how Close ends a transfer.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/catalogue/catalogue_texts.h"
#include "manager/resources/resource_ids.h"
#include "manager/window/main_window_win32.h"
#include "tests/support/web_service.h"
#include "tests/window/dialog_visit_win32.h"
#include "tests/window/list_cells_win32.h"
#include "tests/window/test_window_win32.h"

static const char* const DownloadTitle = "Downloading Proxy List";
static const char* const IdleStatus = "Tessaron 1.05";
static const char* const BusyStatus = "Downloading Proxy List...";
static const char* const Complete = "Download Complete";
static const char* const Error = "Error downloading list";
static const char* const ListTarget = "/app/proxylist.php";

static const std::string ExampleList =
    "TESSARONLIST\r\n-SOCKS\r\n192.0.2.1:1080\r\n-HTTP\r\n192.0.2.2:3128\r\nEND\r\n";

// A list of count Http servers, count of them distinct.
static std::string ListOf(int count) {
    std::string list = "TESSARONLIST\r\n";
    for (int i = 0; i < count; ++i)
        list += "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
                std::to_string(i % 256) + ":8080\r\n";
    return list + "END\r\n";
}

// The dialog's state once the download thread has shown its outcome (or
// whatever it showed when the wait ran out).
struct DownloadShown {
    std::string state;
    std::string found;
    ProgressBar bar;
    std::string statusBar;
};

static bool Finished(HWND dialog) {
    std::string state = ItemText(dialog, IDC_DOWNLOAD_STATE);
    return state == Complete || state == Error;
}

class DownloadDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateTestMainWindow(&table);
        ASSERT_NE(window, nullptr);
        main = MainWindowOf(window);
        main->service.host = web.Host();
    }

    void TearDown() override { DestroyMainWindow(window); }

    // "Download Proxy List" with the helper on its visit; returns once the
    // dialog has closed.
    void Download(DialogVisit* visit) {
        visit->title = DownloadTitle;
        RunCommandWithVisit(window, IDM_DOWNLOAD_LIST, visit);
        EXPECT_TRUE(visit->found) << "no download dialog over the main window";
        EXPECT_TRUE(visit->reached) << "the dialog never reached the awaited state";
        EXPECT_TRUE(visit->closedAsAsked) << "the dialog did not close the way it was asked to";
    }

    // A whole download: waits for the outcome, notes it, closes.
    DownloadShown DownloadToEnd(CloseWay close = CloseByCancel) {
        DownloadShown shown;
        DialogVisit visit;
        visit.close = close;
        visit.ready = Finished;
        visit.note = [&](HWND dialog) {
            shown.state = ItemText(dialog, IDC_DOWNLOAD_STATE);
            shown.found = ItemText(dialog, IDC_DOWNLOAD_FOUND);
            shown.bar = ReadProgressBar(dialog, IDC_DOWNLOAD_BAR);
            shown.statusBar = StatusPart(window, 0);
        };
        Download(&visit);
        return shown;
    }

    void AddRow(int slot, const char* address, int typeFlag, int statusCode) {
        ASSERT_GE(AddServerRow(&main->catalogue, slot, address, typeFlag, statusCode), 0) << address;
    }

    std::vector<std::string> NewColumn(int column) { return Column(main->serverLists[NewSlot], column); }
    std::vector<std::string> Labels() { return Column(GetDlgItem(window, IDC_CATEGORY_LIST), 0); }

    WebService web;
    SharedPortTable table = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
};

TEST_F(DownloadDialogTest, AsksTheServiceOnceAndAddsTheListToNewWithItsSectionsTypes) {
    web.SetReply(ListTarget, WholeReply(ExampleList));
    DownloadShown shown = DownloadToEnd();

    EXPECT_EQ(shown.state, Complete);
    EXPECT_EQ(shown.found, "New Proxies found: 2");
    EXPECT_EQ(shown.statusBar, IdleStatus);
    ASSERT_EQ(web.Requests(), 1);
    EXPECT_EQ(web.RequestLine(0), "GET /app/proxylist.php HTTP/1.1");
    EXPECT_EQ(web.Header(0, "User-Agent"), "Tessaron1.05");
    EXPECT_EQ(NewColumn(ServerAddress), (std::vector<std::string>{"192.0.2.1:1080", "192.0.2.2:3128"}));
    EXPECT_EQ(NewColumn(ServerTypeColumn), (std::vector<std::string>{"Socks", "Http"}));
    EXPECT_EQ(NewColumn(ServerStatus), (std::vector<std::string>{"Untested", "Untested"}));
    EXPECT_EQ(Labels(), (std::vector<std::string>{"My Proxy Servers(0)", "New(2)", "Dead(0)"}));
}

// The only duplicate check is against "New": what "New" holds stays as it
// is, what another category holds is added to "New" again.
TEST_F(DownloadDialogTest, MergesIntoNewOnlyAndTheSameListTwiceAddsNothing) {
    AddRow(NewSlot, "192.0.2.2:3128", Http, StatusCodeAlive);
    SetServerText(&main->catalogue, NewSlot, 0, ServerDelay, "120");
    AddRow(MyProxyServersSlot, "192.0.2.1:1080", Socks, StatusCodeDead);
    web.SetReply(ListTarget, WholeReply(ExampleList));

    DownloadShown first = DownloadToEnd();
    EXPECT_EQ(first.found, "New Proxies found: 1");
    EXPECT_EQ(NewColumn(ServerAddress), (std::vector<std::string>{"192.0.2.2:3128", "192.0.2.1:1080"}));
    EXPECT_EQ(NewColumn(ServerStatus), (std::vector<std::string>{"Alive", "Untested"}));
    EXPECT_EQ(NewColumn(ServerDelay), (std::vector<std::string>{"120", ""}));

    DownloadShown second = DownloadToEnd(CloseByEscape);
    EXPECT_EQ(second.state, Complete);
    EXPECT_EQ(second.found, "New Proxies found: 0");
    EXPECT_EQ(web.Requests(), 2) << "the second download must reach the service, not a cache";
    EXPECT_EQ(Labels(), (std::vector<std::string>{"My Proxy Servers(1)", "New(2)", "Dead(0)"}));
}

struct FailedCase {
    const char* name;
    WebReply reply;
    bool reachable;
};

// Each failure shows the error with a count of 0 and leaves "New" as it was.
TEST_F(DownloadDialogTest, FailedDownloadsShowTheErrorAndAddNothing) {
    const FailedCase cases[] = {
        {"html error page", StatusReply("404 Not Found", "<html><body>TESSARONLIST</body></html>"), true},
        {"lower-case marker", WholeReply("tessaronlist\r\n192.0.2.1:1080\r\n"), true},
        {"empty reply", WholeReply(""), true},
        {"binary junk with a NUL", WholeReply(std::string("\x01\xff\0TESSARONLIST\r\n192.0.2.1:1080\r\n", 32)), true},
        // The last line would arrive as 192.0.2.3:80.
        {"transfer cut short", ShortReply("TESSARONLIST\r\n192.0.2.3:80", 2), true},
        {"announced beyond 16 MiB", ShortReply(ExampleList, 17u * 1024 * 1024), true},
        {"nobody listening", WholeReply(ExampleList), false},
    };
    AddRow(NewSlot, "192.0.2.9:8080", Http, StatusCodeUntested);
    for (const FailedCase& test : cases) {
        SCOPED_TRACE(test.name);
        web.SetReply(ListTarget, test.reply);
        main->service.host = test.reachable ? web.Host() : "127.0.0.1:" + std::to_string(UnusedPort());
        DownloadShown shown = DownloadToEnd();
        EXPECT_EQ(shown.state, Error);
        EXPECT_EQ(shown.found, "New Proxies found: 0");
        EXPECT_EQ(shown.statusBar, IdleStatus);
        EXPECT_EQ(NewColumn(ServerAddress), std::vector<std::string>{"192.0.2.9:8080"});
    }
}

// A reply that never ends is read up to 16 MiB and then refused whole.
TEST_F(DownloadDialogTest, AnEndlessReplyStopsAtTheCapWithNothingAdded) {
    web.SetReply(ListTarget, EndlessReply(ListOf(200)));
    DownloadShown shown = DownloadToEnd();
    EXPECT_EQ(shown.state, Error);
    EXPECT_EQ(shown.found, "New Proxies found: 0");
    EXPECT_EQ(main->catalogue.lists[NewSlot].Count(), 0);
}

// The service that the manager ships with can never resolve: the command
// fails at once instead of waiting for the network.
TEST_F(DownloadDialogTest, TheDefaultServiceFailsAtOnce) {
    main->service.host = DefaultServiceHost;
    DownloadShown shown = DownloadToEnd();
    EXPECT_EQ(shown.state, Error);
    EXPECT_EQ(shown.found, "New Proxies found: 0");
    EXPECT_EQ(web.Requests(), 0);
}

// The bar follows the announced length, 0 … 100 without one; a long list is
// one view update and its rows all arrive.
TEST_F(DownloadDialogTest, ProgressFollowsContentLengthOrAHundred) {
    web.SetReply(ListTarget, NoLengthReply(ExampleList));
    DownloadShown unknown = DownloadToEnd();
    EXPECT_EQ(unknown.state, Complete);
    EXPECT_EQ(unknown.bar.low, 0);
    EXPECT_EQ(unknown.bar.high, 100);
    EXPECT_EQ(unknown.bar.position, (int)ExampleList.size());  // the bytes received

    std::string big = ListOf(60000);  // about 1 MiB
    ASSERT_GT(big.size(), 1024u * 1024);
    web.SetReply(ListTarget, WholeReply(big));
    DownloadShown known = DownloadToEnd();
    EXPECT_EQ(known.state, Complete);
    EXPECT_EQ(known.found, "New Proxies found: 60000");  // after the two of the first list
    EXPECT_EQ(known.bar.low, 0);
    EXPECT_EQ(known.bar.high, (int)big.size());
    EXPECT_EQ(known.bar.position, (int)big.size());
    EXPECT_EQ(ListView_GetItemCount(main->serverLists[NewSlot]), 60002);
    EXPECT_EQ(main->catalogue.lists[NewSlot].Row(60001).text[ServerAddress], "10.0.234.95:8080");
}

// Close during a transfer: the dialog ends, nothing is added, and the
// status bar is back to its default text. A read blocked in the network may
// hold the download thread past the dialog; when it comes back, it adds
// nothing either.
TEST_F(DownloadDialogTest, CloseDuringATransferCancelsIt) {
    struct CancelCase {
        const char* name;
        WebReplyMode mode;
        CloseWay close;
    };
    const CancelCase cases[] = {
        {"slow transfer, Close button", WebReplySlow, CloseByCancel},
        {"slow transfer, close box", WebReplySlow, CloseByWindowClose},
        {"service that never answers, Escape", WebReplySilent, CloseByEscape},
    };
    for (const CancelCase& test : cases) {
        SCOPED_TRACE(test.name);
        WebService* service = new WebService();
        // About 50 KiB, in pieces over two seconds; wine's reads wait for
        // whole pieces of 4,095 bytes.
        service->SetReply(ListTarget, test.mode == WebReplySilent ? SilentReply() : SlowReply(ListOf(3000), 8192, 300));
        main->service.host = service->Host();
        std::string busyStatus;
        DialogVisit visit;
        visit.close = test.close;
        visit.ready = [&](HWND dialog) {
            if (service->Requests() == 0) return false;
            return test.mode == WebReplySilent || ReadProgressBar(dialog, IDC_DOWNLOAD_BAR).position > 0;
        };
        visit.note = [&](HWND dialog) {
            busyStatus = StatusPart(window, 0);
            EXPECT_EQ(ItemText(dialog, IDC_DOWNLOAD_STATE), "Downloading Proxy list");
        };
        Download(&visit);
        std::printf("[ %s: the dialog closed %lu ms after Close ]\n", test.name, (unsigned long)visit.closeMs);
        EXPECT_EQ(busyStatus, BusyStatus);
        EXPECT_EQ(StatusPart(window, 0), IdleStatus);
        EXPECT_EQ(main->catalogue.lists[NewSlot].Count(), 0);
        delete service;  // ends a connection still held
        EXPECT_TRUE(WaitHandlingMessages([] { return RunningListDownloads() == 0; }, StepWaitMs));
        EXPECT_EQ(main->catalogue.lists[NewSlot].Count(), 0);
        EXPECT_EQ(StatusPart(window, 0), IdleStatus);
    }
}
