#include "dialogs_win32.h"

#include "../resources/resource_ids.h"
#include "window_texts.h"

const int ServerAddressLimit = 65534;  // add mode: the whole box
const int TextBoxLimit = 255;
const int SelectDefaultsEnd = 100;

static int DefaultMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBoxA(owner, text, caption, type);
}

DialogMessageFunction DialogMessageBox = DefaultMessageBox;

ServerDialogData NewServerDialogData() {
    ServerDialogData data;
    data.mode = AddMode;
    data.host = PlaceholderHost;
    data.port = PlaceholderPort;
    data.typeFlag = 0;
    return data;
}

static int TemplateOf(EditDialogKind kind) {
    if (kind == ServerDialogKind) return IDD_SERVER;
    if (kind == CategoryDialogKind) return IDD_CATEGORY;
    return IDD_MAPPED_PORT;
}

static std::string ReadBox(HWND dialog, int id, int limit) {
    std::string text(limit + 1, '\0');
    int length = GetDlgItemTextA(dialog, id, &text[0], limit + 1);
    text.resize(length > 0 ? length : 0);
    return text;
}

static void SelectDefaults(HWND dialog, int id) { SendDlgItemMessageA(dialog, id, EM_SETSEL, 0, SelectDefaultsEnd); }

static void FocusBox(HWND dialog, int id) { SetFocus(GetDlgItem(dialog, id)); }

// ---- records into the controls ----

static void FillServerDialog(HWND dialog, const ServerDialogData* data) {
    SetDlgItemTextA(dialog, IDC_SERVER_ADDRESS, data->host.c_str());
    SetDlgItemTextA(dialog, IDC_SERVER_PORT, data->port.c_str());
    CheckRadioButton(dialog, IDC_SERVER_HTTP, IDC_SERVER_SOCKS, data->typeFlag ? IDC_SERVER_SOCKS : IDC_SERVER_HTTP);
    FocusBox(dialog, IDC_SERVER_ADDRESS);
    SelectDefaults(dialog, IDC_SERVER_ADDRESS);
    SelectDefaults(dialog, IDC_SERVER_PORT);
    if (data->mode == EditMode) SetWindowTextA(dialog, EditServerCaption);
}

static void FillCategoryDialog(HWND dialog, const CategoryDialogData* data) {
    if (data->mode == EditMode) {
        SetWindowTextA(dialog, EditCategoryCaption);
        SetDlgItemTextA(dialog, IDC_CATEGORY_NAME, data->name.c_str());
    }
    FocusBox(dialog, IDC_CATEGORY_NAME);
}

static void FillMappedPortDialog(HWND dialog, const MappedPortDialogData* data) {
    if (data->mode == EditMode) {
        SetWindowTextA(dialog, EditMappedPortCaption);
        SetDlgItemTextA(dialog, IDC_PORT_NAME, data->name.c_str());
        SetDlgItemTextA(dialog, IDC_PORT_NUMBER, data->number.c_str());
    }
    FocusBox(dialog, IDC_PORT_NAME);
}

static void FillDialog(HWND dialog, EditDialog* edit) {
    if (edit->kind == ServerDialogKind) FillServerDialog(dialog, edit->server);
    else if (edit->kind == CategoryDialogKind) FillCategoryDialog(dialog, edit->category);
    else FillMappedPortDialog(dialog, edit->port);
}

// ---- controls into the records, and their check ----

static DialogProblem ReadServerDialog(HWND dialog, ServerDialogData* data) {
    data->host = ReadBox(dialog, IDC_SERVER_ADDRESS, data->mode == AddMode ? ServerAddressLimit : TextBoxLimit);
    data->port = ReadBox(dialog, IDC_SERVER_PORT, TextBoxLimit);
    data->typeFlag = IsDlgButtonChecked(dialog, IDC_SERVER_SOCKS) == BST_CHECKED ? 1 : 0;
    return CheckServerDialog(*data, IDC_SERVER_ADDRESS, IDC_SERVER_PORT);
}

static DialogProblem ReadCategoryDialog(HWND dialog, CategoryDialogData* data) {
    data->name = ReadBox(dialog, IDC_CATEGORY_NAME, TextBoxLimit);
    return CheckCategoryName(data->name, IDC_CATEGORY_NAME);
}

static DialogProblem ReadMappedPortDialog(HWND dialog, MappedPortDialogData* data,
                                          const std::vector<MappedPort>* rows) {
    data->name = ReadBox(dialog, IDC_PORT_NAME, TextBoxLimit);
    data->number = MappedPortNumberText(ReadBox(dialog, IDC_PORT_NUMBER, TextBoxLimit));
    static const std::vector<MappedPort> noRows;
    return CheckMappedPortDialog(*data, rows != nullptr ? *rows : noRows, IDC_PORT_NAME, IDC_PORT_NUMBER);
}

static DialogProblem ReadDialog(HWND dialog, EditDialog* edit) {
    if (edit->kind == ServerDialogKind) return ReadServerDialog(dialog, edit->server);
    if (edit->kind == CategoryDialogKind) return ReadCategoryDialog(dialog, edit->category);
    return ReadMappedPortDialog(dialog, edit->port, edit->rows);
}

static void EndEditDialog(HWND dialog, EditDialog* edit, int result) {
    edit->ended = 1;
    edit->result = result;
    EndDialog(dialog, result);
}

static void OnOk(HWND dialog, EditDialog* edit) {
    DialogProblem problem = ReadDialog(dialog, edit);
    if (problem.message == nullptr) {
        EndEditDialog(dialog, edit, IDOK);
        return;
    }
    UINT icon = problem.icon == IconInformation ? MB_ICONINFORMATION : MB_ICONWARNING;
    DialogMessageBox(dialog, problem.message, MessageCaption, MB_OK | icon);
    if (problem.focusControl != 0) FocusBox(dialog, problem.focusControl);
}

static INT_PTR CALLBACK EditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        FillDialog(dialog, (EditDialog*)lParam);
        return FALSE;  // the focus is set
    }
    EditDialog* edit = (EditDialog*)GetWindowLongPtrA(dialog, DWLP_USER);
    if (edit == nullptr || message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) OnOk(dialog, edit);
    else if (LOWORD(wParam) == IDCANCEL) EndEditDialog(dialog, edit, 0);
    else return FALSE;
    return TRUE;
}

static int RunEditDialog(HWND owner, EditDialog* edit) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(TemplateOf(edit->kind)), owner, EditDialogProc, (LPARAM)edit);
    return edit->ended && edit->result == IDOK;
}

HWND CreateEditDialog(HWND owner, EditDialog* edit) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(TemplateOf(edit->kind)), owner, EditDialogProc,
                              (LPARAM)edit);
}

int RunServerDialog(HWND owner, ServerDialogData* data) {
    EditDialog edit = {ServerDialogKind, data, nullptr, nullptr, nullptr, 0, 0};
    return RunEditDialog(owner, &edit);
}

int RunCategoryDialog(HWND owner, CategoryDialogData* data) {
    EditDialog edit = {CategoryDialogKind, nullptr, data, nullptr, nullptr, 0, 0};
    return RunEditDialog(owner, &edit);
}

int RunMappedPortDialog(HWND owner, MappedPortDialogData* data, const std::vector<MappedPort>* rows) {
    EditDialog edit = {MappedPortDialogKind, nullptr, nullptr, data, rows, 0, 0};
    return RunEditDialog(owner, &edit);
}
