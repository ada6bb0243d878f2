// The three editing dialogs, opened modeless and driven through their
// messages; validation messages are recorded instead of shown.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manager/resources/resource_ids.h"
#include "manager/window/dialogs_win32.h"

struct ShownMessage {
    std::string text;
    std::string caption;
    UINT type;
};
static std::vector<ShownMessage> shownMessages;

static int RecordMessage(HWND, const char* text, const char* caption, UINT type) {
    shownMessages.push_back(ShownMessage{text, caption, type});
    return IDOK;
}

static std::string BoxText(HWND dialog, int id) {
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

static std::string Caption(HWND dialog) {
    char text[64] = "";
    GetWindowTextA(dialog, text, sizeof text);
    return text;
}

class EditDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        shownMessages.clear();
        DialogMessageBox = RecordMessage;
    }
    void TearDown() override {
        if (dialog != nullptr) DestroyWindow(dialog);
    }
    void Open(EditDialog* edit) {
        dialog = CreateEditDialog(nullptr, edit);
        ASSERT_NE(dialog, nullptr);
    }
    void Type(int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
    void Press(int id) { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }

    HWND dialog = nullptr;
};

TEST_F(EditDialogTest, NewServerOffersThePlaceholderAndHttp) {
    ServerDialogData data = NewServerDialogData();
    EditDialog edit = {ServerDialogKind, &data, nullptr, nullptr, nullptr, 0, 0};
    Open(&edit);
    EXPECT_EQ(Caption(dialog), "Add Server");
    EXPECT_EQ(BoxText(dialog, IDC_SERVER_ADDRESS), "proxy.example.com");
    EXPECT_EQ(BoxText(dialog, IDC_SERVER_PORT), "8080");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SERVER_HTTP), (UINT)BST_CHECKED);
}

TEST_F(EditDialogTest, EditServerShowsTheRowSplitAtItsColon) {
    ServerDialogData data = ServerDialogForRow("10.0.0.1:3128", "Socks");
    EditDialog edit = {ServerDialogKind, &data, nullptr, nullptr, nullptr, 0, 0};
    Open(&edit);
    EXPECT_EQ(Caption(dialog), "Edit Server");
    EXPECT_EQ(BoxText(dialog, IDC_SERVER_ADDRESS), "10.0.0.1");
    EXPECT_EQ(BoxText(dialog, IDC_SERVER_PORT), "3128");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SERVER_SOCKS), (UINT)BST_CHECKED);
}

TEST_F(EditDialogTest, ServerDialogChecksAndBuildsTheAddress) {
    struct Case {
        DialogMode mode;
        const char* host;
        const char* port;
        int socks;
        const char* message;  // null: closes with OK
        int focus;
        const char* address;
    };
    const Case cases[] = {
        {AddMode, "", "8080", 0, "Please enter valid Server hostname", IDC_SERVER_ADDRESS, nullptr},
        {AddMode, "h", "", 0, "Please enter valid Port Number", IDC_SERVER_PORT, nullptr},
        {AddMode, "h", "0", 0, "Please enter valid Port Number", IDC_SERVER_PORT, nullptr},
        {EditMode, "h", "abc", 0, "Please enter valid Port number", IDC_SERVER_PORT, nullptr},
        {AddMode, "h", " 080", 0, nullptr, 0, "h:80"},
        {EditMode, "h", " 080", 1, nullptr, 0, "h: 080"},
        {AddMode, "1.2.3.4:3128", "8080", 1, nullptr, 0, "1.2.3.4:3128:8080"},
        // What the catalogue file cannot hold, in both modes.
        {AddMode, "a;b", "8080", 0, "Please enter valid Server hostname", IDC_SERVER_ADDRESS, nullptr},
        {EditMode, "a;b", "8080", 0, "Please enter valid Server hostname", IDC_SERVER_ADDRESS, nullptr},
        {EditMode, "h\r\nx:1;0;0;;;3", "8080", 0, "Please enter valid Server hostname", IDC_SERVER_ADDRESS, nullptr},
        {EditMode, "h", "80;0;0;;;3", 0, "Please enter valid Server hostname", IDC_SERVER_ADDRESS, nullptr},
        {AddMode, "h", "80;1", 0, nullptr, 0, "h:80"},
    };
    for (const Case& c : cases) {
        SetUp();
        ServerDialogData data = c.mode == AddMode ? NewServerDialogData() : ServerDialogForRow("x:1", "Http");
        EditDialog edit = {ServerDialogKind, &data, nullptr, nullptr, nullptr, 0, 0};
        Open(&edit);
        Type(IDC_SERVER_ADDRESS, c.host);
        Type(IDC_SERVER_PORT, c.port);
        ASSERT_EQ(BoxText(dialog, IDC_SERVER_ADDRESS), c.host) << "the box holds what was typed";
        if (c.socks) Press(IDC_SERVER_SOCKS);
        Press(IDOK);
        if (c.message != nullptr) {
            EXPECT_FALSE(edit.ended) << c.port;
            ASSERT_EQ(shownMessages.size(), 1u) << c.port;
            EXPECT_EQ(shownMessages[0].text, c.message);
            EXPECT_EQ(shownMessages[0].caption, "Tessaron");
            EXPECT_EQ(shownMessages[0].type, (UINT)(MB_OK | MB_ICONWARNING));
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, c.focus)) << c.message;
        } else {
            EXPECT_TRUE(edit.ended && edit.result == IDOK) << c.host << " " << c.port;
            EXPECT_TRUE(shownMessages.empty());
            EXPECT_EQ(ServerDialogAddress(data), c.address);
            EXPECT_EQ(data.typeFlag, c.socks);
        }
        DestroyWindow(dialog);
        dialog = nullptr;
    }
}

TEST_F(EditDialogTest, MappedPortDialogRefusesANumberAnotherRowHas) {
    std::vector<MappedPort> rows(2);
    rows[0].text[PortName] = "Default";
    rows[0].text[PortNumber] = "9800";
    rows[1].text[PortName] = "Other";
    rows[1].text[PortNumber] = "8080";
    struct Case {
        DialogMode mode;
        int editedRow;
        const char* name;
        const char* number;
        const char* message;
        UINT icon;
    };
    const Case cases[] = {
        {AddMode, -1, "New", "9800", "Port already added", MB_ICONINFORMATION},
        {AddMode, -1, "New", "09800", "Port already added", MB_ICONINFORMATION},
        {EditMode, 0, "Renamed", "9800", nullptr, 0},
        {EditMode, 1, "Other", "09800", "Port already added", MB_ICONINFORMATION},
        {AddMode, -1, "", "1234", "Please enter Port Name", MB_ICONWARNING},
        {AddMode, -1, "New", "0", "Please enter valid Port Number", MB_ICONWARNING},
        {AddMode, -1, "New", "1234", nullptr, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        MappedPortDialogData data = {c.mode, c.editedRow, "", ""};
        if (c.mode == EditMode) {
            data.name = rows[c.editedRow].text[PortName];
            data.number = rows[c.editedRow].text[PortNumber];
        }
        EditDialog edit = {MappedPortDialogKind, nullptr, nullptr, &data, &rows, 0, 0};
        Open(&edit);
        if (c.mode == EditMode) {
            EXPECT_EQ(Caption(dialog), "Edit Mapped Port");
            EXPECT_EQ(BoxText(dialog, IDC_PORT_NUMBER), rows[c.editedRow].text[PortNumber]);
        }
        Type(IDC_PORT_NAME, c.name);
        Type(IDC_PORT_NUMBER, c.number);
        Press(IDOK);
        if (c.message != nullptr) {
            EXPECT_FALSE(edit.ended) << c.number;
            ASSERT_EQ(shownMessages.size(), 1u) << c.number;
            EXPECT_EQ(shownMessages[0].text, c.message);
            EXPECT_EQ(shownMessages[0].type, (UINT)MB_OK | c.icon);
        } else {
            EXPECT_TRUE(edit.ended && edit.result == IDOK) << c.name << " " << c.number;
            EXPECT_EQ(data.name, c.name);
            EXPECT_EQ(data.number, c.number);
        }
        DestroyWindow(dialog);
        dialog = nullptr;
    }
}

// The number names the relay's event: typed with blanks around it, it is
// handed back without them.
TEST_F(EditDialogTest, MappedPortDialogHandsTheNumberBackWithoutBlanks) {
    MappedPortDialogData data = {AddMode, -1, "", ""};
    EditDialog edit = {MappedPortDialogKind, nullptr, nullptr, &data, nullptr, 0, 0};
    Open(&edit);
    Type(IDC_PORT_NAME, "Padded");
    Type(IDC_PORT_NUMBER, " 9853 ");
    Press(IDOK);
    ASSERT_TRUE(edit.ended && edit.result == IDOK);
    EXPECT_EQ(data.number, "9853");
    EXPECT_EQ(data.name, "Padded");
}

TEST_F(EditDialogTest, CategoryDialogWantsANameAndCancelChangesNothing) {
    CategoryDialogData data = {EditMode, "Work"};
    EditDialog edit = {CategoryDialogKind, nullptr, &data, nullptr, nullptr, 0, 0};
    Open(&edit);
    EXPECT_EQ(Caption(dialog), "Edit Category");
    EXPECT_EQ(BoxText(dialog, IDC_CATEGORY_NAME), "Work");
    Type(IDC_CATEGORY_NAME, "");
    Press(IDOK);
    EXPECT_FALSE(edit.ended);
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0].text, "Please enter valid Category name");
    Type(IDC_CATEGORY_NAME, "Home");
    Press(IDCANCEL);
    EXPECT_TRUE(edit.ended);
    EXPECT_EQ(edit.result, 0);
}
