// The three editing dialogs (resources 104, 129, 105): each opens over its
// owner with a data record, and on OK hands the record back filled in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_logic.h"

struct CategoryDialogData {
    DialogMode mode;
    std::string name;
};

// What a validation message goes through; tests put a recorder here so that
// no message box waits for a click.
typedef int (*DialogMessageFunction)(HWND owner, const char* text, const char* caption, UINT type);
extern DialogMessageFunction DialogMessageBox;

// A new server: placeholder host, port 8080, Http.
ServerDialogData NewServerDialogData();

// Modal: 1 when closed with OK (the record then holds what was typed).
int RunServerDialog(HWND owner, ServerDialogData* data);
int RunCategoryDialog(HWND owner, CategoryDialogData* data);
int RunMappedPortDialog(HWND owner, MappedPortDialogData* data, const std::vector<MappedPort>* rows);

enum EditDialogKind { ServerDialogKind, CategoryDialogKind, MappedPortDialogKind };

// One open dialog: its record and, once closed, how.
struct EditDialog {
    EditDialogKind kind;
    ServerDialogData* server;
    CategoryDialogData* category;
    MappedPortDialogData* port;
    const std::vector<MappedPort>* rows;
    int ended;
    int result;  // 1 OK, 0 Cancel
};

// The same dialogs modeless (for tests): driven through their messages.
HWND CreateEditDialog(HWND owner, EditDialog* dialog);
