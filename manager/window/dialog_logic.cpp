#include "dialog_logic.h"

#include <cstdio>
#include <cstring>

#include "../../shared/address_text.h"
#include "../../shared/number_text.h"
#include "../catalogue/catalogue_texts.h"
#include "../catalogue/proxy_catalogue.h"
#include "window_texts.h"

static const size_t AddModePortCharacters = 15;

static DialogProblem NoProblem() { return DialogProblem{nullptr, IconWarning, 0}; }

static DialogProblem Warning(const char* message, int control) { return DialogProblem{message, IconWarning, control}; }

ServerDialogData ServerDialogForRow(const char* address, const char* type) {
    ServerDialogData data;
    data.mode = EditMode;
    std::string split = address;
    const char* port = SplitHostPort(&split[0]);
    data.port = port;
    data.host = split.c_str();
    data.typeFlag = std::strcmp(type, TypeSocksText) == 0 ? 1 : 0;
    return data;
}

// The address is stored as typed, except for an added server's port, which
// is rewritten in decimal: what the catalogue file cannot hold is refused
// here, with the host's message, rather than lost at the next start.
DialogProblem CheckServerDialog(const ServerDialogData& data, int hostControl, int portControl) {
    if (data.host.empty() || !FitsCatalogueFile(data.host.c_str())) return Warning(ServerHostMissing, hostControl);
    if (data.port.empty() || ReadNumber(data.port.c_str()) == 0)
        return Warning(data.mode == AddMode ? ServerPortMissingAdd : ServerPortMissingEdit, portControl);
    if (data.mode == EditMode && !FitsCatalogueFile(data.port.c_str())) return Warning(ServerHostMissing, hostControl);
    return NoProblem();
}

std::string ServerDialogAddress(const ServerDialogData& data) {
    if (data.mode == EditMode) return data.host + ":" + data.port;
    char port[16];
    std::snprintf(port, sizeof port, "%d", ReadNumber(data.port.substr(0, AddModePortCharacters).c_str()));
    return data.host + ":" + port;
}

// The white space that reading a number skips.
static const char* const Blanks = " \t\r\n\v\f";

std::string MappedPortNumberText(const std::string& typed) {
    size_t first = typed.find_first_not_of(Blanks);
    if (first == std::string::npos) return "";
    size_t last = typed.find_last_not_of(Blanks);
    return typed.substr(first, last - first + 1);
}

DialogProblem CheckMappedPortDialog(const MappedPortDialogData& data, const std::vector<MappedPort>& rows,
                                    int nameControl, int numberControl) {
    if (data.name.empty()) return Warning(PortNameMissing, nameControl);
    int value = ReadNumber(data.number.c_str());
    if (data.number.empty() || value == 0) return Warning(PortNumberMissing, numberControl);
    for (int row = 0; row < (int)rows.size(); ++row) {
        if (ReadNumber(rows[row].text[PortNumber].c_str()) != value) continue;
        // The first row with the number decides: the edited row itself is no clash.
        if (data.mode == EditMode && row == data.editedRow) return NoProblem();
        return DialogProblem{PortAlreadyAdded, IconInformation, 0};
    }
    return NoProblem();
}

DialogProblem CheckCategoryName(const std::string& name, int nameControl) {
    return name.empty() ? Warning(CategoryNameMissing, nameControl) : NoProblem();
}
