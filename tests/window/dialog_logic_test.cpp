#include "manager/window/dialog_logic.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

static const int HostBox = 1002, PortBox = 1005;

struct ServerCase {
    DialogMode mode;
    const char* host;
    const char* port;
    const char* message;  // null: accepted
    int focus;
    const char* address;  // what OK hands back
};

// Line breaks shown as \r and \n.
static std::string Visible(const char* text) {
    std::string shown;
    for (const char* c = text; *c != '\0'; ++c) shown += *c == '\r' ? "\\r" : *c == '\n' ? "\\n" : std::string(1, *c);
    return shown;
}

static std::ostream& operator<<(std::ostream& out, const ServerCase& c) {
    return out << (c.mode == AddMode ? "add" : "edit") << " \"" << Visible(c.host) << "\" \"" << Visible(c.port)
               << "\"";
}

class ServerDialogTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(ServerDialogTest, ChecksAndBuildsTheAddress) {
    const ServerCase& c = GetParam();
    ServerDialogData data = {c.mode, c.host, c.port, 0};
    DialogProblem problem = CheckServerDialog(data, HostBox, PortBox);
    if (c.message == nullptr) {
        EXPECT_EQ(problem.message, nullptr);
        EXPECT_EQ(ServerDialogAddress(data), c.address);
    } else {
        ASSERT_NE(problem.message, nullptr);
        EXPECT_STREQ(problem.message, c.message);
        EXPECT_EQ(problem.icon, IconWarning);
        EXPECT_EQ(problem.focusControl, c.focus);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ServerDialogTest,
    ::testing::Values(
        ServerCase{AddMode, "", "8080", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{AddMode, "h", "", "Please enter valid Port Number", PortBox, nullptr},
        ServerCase{AddMode, "h", "abc", "Please enter valid Port Number", PortBox, nullptr},
        ServerCase{AddMode, "h", "0", "Please enter valid Port Number", PortBox, nullptr},
        ServerCase{EditMode, "", "80", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "h", "0", "Please enter valid Port number", PortBox, nullptr},
        ServerCase{AddMode, "10.0.0.1", " 080", nullptr, 0, "10.0.0.1:80"},
        ServerCase{EditMode, "10.0.0.1", " 080", nullptr, 0, "10.0.0.1: 080"},
        ServerCase{AddMode, "h", "3128abc", nullptr, 0, "h:3128"},
        ServerCase{AddMode, "1.2.3.4:3128", "8080", nullptr, 0, "1.2.3.4:3128:8080"},
        ServerCase{AddMode, "h", "-5", nullptr, 0, "h:-5"},
        ServerCase{AddMode, "h", "1234567890123456789", nullptr, 0, "h:2147483647"},  // first 15 digits, held
        ServerCase{AddMode, "a b", "70000", nullptr, 0, "a b:70000"},
        // What a line of the catalogue file cannot hold: ';', CR, LF.
        ServerCase{AddMode, "a;b", "80", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{AddMode, "a\rb", "80", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "a\nb", "80", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "a;", "80", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "h", "80;0;0;;;3", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "h", "80\r\n", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "", "80;", "Please enter valid Server hostname", HostBox, nullptr},
        ServerCase{EditMode, "h", "0;", "Please enter valid Port number", PortBox, nullptr},
        ServerCase{AddMode, "h", "80;0;0;;;3", nullptr, 0, "h:80"}));  // added: the port is rewritten

TEST(ServerDialog, EditModeSplitsTheRowAtItsFirstColon) {
    ServerDialogData data = ServerDialogForRow("10.0.0.1:3128", "Socks");
    EXPECT_EQ(data.host, "10.0.0.1");
    EXPECT_EQ(data.port, "3128");
    EXPECT_EQ(data.typeFlag, 1);
    data = ServerDialogForRow("a:b:c", "Http");
    EXPECT_EQ(data.host, "a");
    EXPECT_EQ(data.port, "b:c");
    EXPECT_EQ(data.typeFlag, 0);
}

static std::vector<MappedPort> Rows(std::initializer_list<const char*> numbers) {
    std::vector<MappedPort> rows;
    for (const char* number : numbers) {
        MappedPort port;
        port.text[PortName] = "p";
        port.text[PortNumber] = number;
        rows.push_back(port);
    }
    return rows;
}

TEST(MappedPortDialog, ChecksNameNumberAndClashes) {
    const int NameBox = 1002, NumberBox = 1003;
    std::vector<MappedPort> rows = Rows({"8080", "9800", "9801"});
    struct Case {
        MappedPortDialogData data;
        const char* message;
        MessageIcon icon;
        int focus;
    } cases[] = {
        {{AddMode, -1, "", "1"}, "Please enter Port Name", IconWarning, NameBox},
        {{AddMode, -1, "x", ""}, "Please enter valid Port Number", IconWarning, NumberBox},
        {{AddMode, -1, "x", "zero"}, "Please enter valid Port Number", IconWarning, NumberBox},
        {{AddMode, -1, "x", "9800"}, "Port already added", IconInformation, 0},
        {{AddMode, -1, "x", "09800"}, "Port already added", IconInformation, 0},
        {{EditMode, 1, "x", "9800"}, nullptr, IconWarning, 0},  // the edited row keeps its number
        {{EditMode, 2, "x", "9800"}, "Port already added", IconInformation, 0},
        {{AddMode, -1, "x", "9802"}, nullptr, IconWarning, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.name + " / " + c.data.number);
        DialogProblem problem = CheckMappedPortDialog(c.data, rows, NameBox, NumberBox);
        if (c.message == nullptr) {
            EXPECT_EQ(problem.message, nullptr);
            continue;
        }
        ASSERT_NE(problem.message, nullptr);
        EXPECT_STREQ(problem.message, c.message);
        EXPECT_EQ(problem.icon, c.icon);
        EXPECT_EQ(problem.focusControl, c.focus);
    }
}

TEST(MappedPortDialog, NumberTextLosesTheBlanksAroundIt) {
    struct Case {
        const char* typed;
        const char* stored;
    } cases[] = {{"8080", "8080"},       {" 8080", "8080"}, {" 9853 ", "9853"}, {"\t9853\t ", "9853"},
                 {"98 53", "98 53"},     {"   ", ""},       {"", ""},           {"080", "080"},
                 {" 8080x ", "8080x"}};
    for (const Case& c : cases) EXPECT_EQ(MappedPortNumberText(c.typed), c.stored) << "[" << c.typed << "]";
}

TEST(CategoryDialog, NameMustNotBeEmpty) {
    DialogProblem problem = CheckCategoryName("", 1002);
    ASSERT_NE(problem.message, nullptr);
    EXPECT_STREQ(problem.message, "Please enter valid Category name");
    EXPECT_EQ(problem.focusControl, 1002);
    EXPECT_EQ(CheckCategoryName("Work", 1002).message, nullptr);
}
