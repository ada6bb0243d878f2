// The update check against a web service on 127.0.0.1 run by the test: the
// request, the offer dialog that the update thread opens over the main
// window, its "Yes", and a manager started hidden.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "manager/window/main_window_win32.h"
#include "tests/support/web_service.h"
#include "tests/window/dialog_visit_win32.h"
#include "tests/window/test_window_win32.h"

static const char* const VersionTarget = "/app/version.php?ver=3";
static const char* const OfferLink = "http://downloads.example.test/tessaron-4.exe";

static std::vector<std::string> openedLinks;
static void RecordLink(const char* link) { openedLinks.push_back(link); }

static std::string Offer(const char* version, const char* link) {
    return std::string("TESSARONVERSION\r\n") + version + "\r\n" + link +
           "\r\nCaption\r\nTitle\r\nFirst line\r\nEND\r\n";
}

// What the offer showed.
struct OfferShown {
    std::string message;
    std::string caption;
    bool yesVisible = false;
    std::string secondButton;
    bool ownerEnabled = true;
    bool visible = false;
    DWORD thread = 0;
};

class UpdateOfferTest : public ::testing::Test {
protected:
    void Open(const char* commandLine) {
        window = CreateTestMainWindow(&table, commandLine);
        ASSERT_NE(window, nullptr);
        main = MainWindowOf(window);
        main->service.host = web->Host();
        main->shellOpen = RecordLink;
        openedLinks.clear();
    }

    void TearDown() override {
        web.reset();
        if (window != nullptr) DestroyMainWindow(window);
    }

    // The check as the window's initialisation starts it.
    void StartCheck() {
        StartUpdateCheck(&main->updateCheck, VersionUrl(main->service).c_str(), IsNeverResolvable(main->service),
                         &main->updateWindow);
    }

    // Starts the check with a helper waiting for the offer; returns once the
    // helper is done. start runs on this thread after the helper started.
    void VisitOffer(DialogVisit* visit, OfferShown* shown, const std::function<void()>& start) {
        visit->owner = window;
        visit->title = "Title";
        visit->ownerThread = false;  // found whichever thread runs it; the test asks which
        // The offer is looked at once its loop has shown it.
        std::function<bool(HWND)> ready = visit->ready;
        visit->ready = [ready](HWND dialog) { return IsWindowVisible(dialog) && (!ready || ready(dialog)); };
        visit->note = [&](HWND dialog) {
            shown->thread = GetWindowThreadProcessId(dialog, nullptr);
            shown->message = ItemText(dialog, IDC_OFFER_MESSAGE);
            shown->caption = ItemText(dialog, IDC_OFFER_CAPTION);
            shown->yesVisible = IsWindowVisible(GetDlgItem(dialog, IDOK)) != FALSE;
            shown->secondButton = ItemText(dialog, IDCANCEL);
            shown->ownerEnabled = IsWindowEnabled(window) != FALSE;
            shown->visible = IsWindowVisible(dialog) != FALSE;
        };
        HANDLE helper = StartDialogVisit(visit);
        ASSERT_NE(helper, nullptr);
        start();
        ServeUntil(helper);
        CloseHandle(helper);
    }

    // Serves the window until the update thread has ended.
    bool CheckEnds() {
        return WaitHandlingMessages(
            [&] { return WaitForSingleObject(main->updateCheck.thread, 0) == WAIT_OBJECT_0; }, StepWaitMs);
    }

    std::unique_ptr<WebService> web{new WebService()};
    SharedPortTable table = {};
    HWND window = nullptr;
    MainWindow* main = nullptr;
};

TEST_F(UpdateOfferTest, ANewerVersionIsOfferedAndYesOpensItsLink) {
    Open("");
    web->SetReply(VersionTarget, WholeReply(Offer("4", OfferLink)));
    DialogVisit visit;
    visit.close = CloseByOk;
    OfferShown shown;
    VisitOffer(&visit, &shown, [&] { StartCheck(); });

    ASSERT_TRUE(visit.found) << "no offer over the main window";
    EXPECT_TRUE(visit.closedAsAsked);
    EXPECT_EQ(shown.message, "First line\r\n");
    EXPECT_EQ(shown.caption, "Caption");
    EXPECT_TRUE(shown.yesVisible);
    EXPECT_EQ(shown.secondButton, "No");
    EXPECT_FALSE(shown.ownerEnabled) << "the offer is modal over the main window";
    EXPECT_EQ(shown.thread, GetWindowThreadProcessId(window, nullptr)) << "the offer runs on the window thread";
    EXPECT_EQ(openedLinks, std::vector<std::string>{OfferLink});
    EXPECT_TRUE(CheckEnds());
    EXPECT_TRUE(IsWindowEnabled(window));
    ASSERT_EQ(web->Requests(), 1);
    EXPECT_EQ(web->RequestLine(0), "GET /app/version.php?ver=3 HTTP/1.1");
    EXPECT_EQ(web->Header(0, "User-Agent"), "Tessaron1.05");
}

// A link starting with '-' names nothing: only "Close" is offered, and
// neither it nor Enter opens anything.
TEST_F(UpdateOfferTest, ALinkOfADashOffersOnlyClose) {
    Open("");
    web->SetReply(VersionTarget, WholeReply(Offer("4", "-")));
    DialogVisit visit;
    OfferShown shown;
    visit.ready = [&](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // Enter
        return IsWindow(dialog) != FALSE;
    };
    VisitOffer(&visit, &shown, [&] { StartCheck(); });

    ASSERT_TRUE(visit.found);
    EXPECT_TRUE(visit.reached) << "Enter closed the offer";
    EXPECT_FALSE(shown.yesVisible);
    EXPECT_EQ(shown.secondButton, "Close");
    EXPECT_TRUE(openedLinks.empty());
    EXPECT_TRUE(CheckEnds());
}

// "Yes" hands the link to the system: only a web address is opened, any
// other link is no link, and the offer shows only "Close".
TEST_F(UpdateOfferTest, OnlyAWebAddressIsOffered) {
    const struct {
        const char* link;
        bool opens;
    } cases[] = {
        {"\\\\attacker.example\\share\\setup.exe", false},
        {"C:\\windows\\notepad.exe", false},
        {"file:///C:/Windows/notepad.exe", false},
        {"javascript:alert(1)", false},
        {"HTTPS://example.org/", true},
    };
    Open("");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        openedLinks.clear();
        web->SetReply(VersionTarget, WholeReply(Offer("4", c.link)));
        DialogVisit visit;
        OfferShown shown;
        // Enter: Yes when it is shown, and never anything else. The offer's
        // buttons are noted after it.
        visit.ready = [&](HWND dialog) {
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        };
        VisitOffer(&visit, &shown, [&] { StartCheck(); });
        ASSERT_TRUE(visit.found);
        EXPECT_TRUE(CheckEnds());
        StopUpdateCheck(&main->updateCheck, StepWaitMs);
        if (c.opens) {
            EXPECT_EQ(openedLinks, std::vector<std::string>{c.link});
        } else {
            EXPECT_TRUE(openedLinks.empty());
            EXPECT_FALSE(shown.yesVisible);
            EXPECT_EQ(shown.secondButton, "Close");
        }
    }
}

// Every reply but a newer version ends the check silently.
TEST_F(UpdateOfferTest, NoOfferUnlessTheVersionIsNewer) {
    const struct {
        const char* name;
        WebReply reply;
    } cases[] = {
        {"same version", WholeReply(Offer("3", OfferLink))},
        {"version not a number", WholeReply(Offer("four", OfferLink))},
        {"lower-case marker", WholeReply("tessaronversion\r\n4\r\n")},
        {"empty reply", WholeReply("")},
        {"error page", StatusReply("404 Not Found", "<html>TESSARONVERSION</html>")},
        {"cut short", ShortReply(Offer("4", OfferLink), 1)},  // the message would lose its end
    };
    Open("");
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        web->SetReply(VersionTarget, test.reply);
        int asked = web->Requests();
        StartCheck();
        EXPECT_TRUE(CheckEnds());
        StopUpdateCheck(&main->updateCheck, StepWaitMs);
        EXPECT_EQ(web->Requests(), asked + 1);
        EXPECT_EQ(main->offerDialog, nullptr);
        EXPECT_TRUE(IsWindowEnabled(window));
    }
}

// Started hidden, the manager keeps the offer back, enabled, until the user
// shows it; then the offer appears over it.
TEST_F(UpdateOfferTest, AHiddenStartHoldsTheOfferUntilShowManager) {
    Open("Tessaron.exe h");
    web->SetReply(VersionTarget, WholeReply(Offer("4", OfferLink)));
    DialogVisit visit;
    visit.close = CloseByCancel;
    OfferShown shown;
    bool heldBack = false, enabledMeanwhile = false;
    VisitOffer(&visit, &shown, [&] {
        StartCheck();
        ASSERT_TRUE(web->WaitForRequests(1, StepWaitMs));
        // Time for the reply to be read and parsed.
        WaitHandlingMessages([] { return false; }, 1000);
        heldBack = main->offerDialog == nullptr;
        enabledMeanwhile = IsWindowEnabled(window) != FALSE;
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_SHOW_MANAGER, 0), 0);
    });

    EXPECT_TRUE(heldBack) << "the offer came while the manager was hidden";
    EXPECT_TRUE(enabledMeanwhile);
    ASSERT_TRUE(visit.found) << "no offer after Show Manager";
    EXPECT_TRUE(shown.visible);
    EXPECT_TRUE(openedLinks.empty());
    EXPECT_TRUE(CheckEnds());
}

// A hidden manager that goes away with its offer held back lets the update
// thread end.
TEST_F(UpdateOfferTest, AHeldOfferEndsWithTheWindow) {
    Open("Tessaron.exe h");
    web->SetReply(VersionTarget, WholeReply(Offer("4", OfferLink)));
    StartCheck();
    ASSERT_TRUE(web->WaitForRequests(1, StepWaitMs));
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), main->updateCheck.thread, GetCurrentProcess(), &thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    DestroyMainWindow(window);
    window = nullptr;
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
}
