// What the three editing dialogs decide, apart from their windows: the
// checks of what was typed, and the result they hand back.
#pragma once

#include <string>
#include <vector>

#include "../ports/mapped_port.h"

enum DialogMode { AddMode, EditMode };

// A failed check: the message, its icon and the box to focus (0: keep the focus).
enum MessageIcon { IconWarning, IconInformation };
struct DialogProblem {
    const char* message;  // null when everything is in order
    MessageIcon icon;
    int focusControl;
};

struct ServerDialogData {
    DialogMode mode;
    std::string host;  // the Address box
    std::string port;  // the Port box
    int typeFlag;      // 0 Http, 1 Socks
};

// Fills the boxes for editing a row: the address split at its first colon.
ServerDialogData ServerDialogForRow(const char* address, const char* type);
DialogProblem CheckServerDialog(const ServerDialogData& data, int hostControl, int portControl);
// Add mode rewrites the port in decimal (from its first 15 characters);
// edit mode keeps it as typed.
std::string ServerDialogAddress(const ServerDialogData& data);

struct MappedPortDialogData {
    DialogMode mode;
    int editedRow;  // edit mode: the row being edited
    std::string name;
    std::string number;
};

// The number box's text as the port is stored: without the blanks around
// it. The text names the port's event and the relay's argument, so " 8080"
// would name another port than the relay's "8080".
std::string MappedPortNumberText(const std::string& typed);

DialogProblem CheckMappedPortDialog(const MappedPortDialogData& data, const std::vector<MappedPort>& rows,
                                    int nameControl, int numberControl);

DialogProblem CheckCategoryName(const std::string& name, int nameControl);
