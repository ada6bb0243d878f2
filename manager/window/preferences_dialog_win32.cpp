#include "preferences_dialog_win32.h"

#include "../resources/resource_ids.h"
#include "main_window_win32.h"

static void CheckBox(HWND dialog, int id, int checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

static int Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

static INT_PTR CALLBACK PreferencesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    PreferencesData* data = (PreferencesData*)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (message) {
    case WM_INITDIALOG:
        data = (PreferencesData*)lParam;
        SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)data);
        CheckBox(dialog, IDC_PREF_LOCAL_ONLY, data->localOnly);
        CheckBox(dialog, IDC_PREF_AUTORUN, data->autorun);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && data != nullptr) {
            data->localOnly = Checked(dialog, IDC_PREF_LOCAL_ONLY);
            data->autorun = Checked(dialog, IDC_PREF_AUTORUN);
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
    }
}

int RunPreferencesDialog(HWND owner, PreferencesData* data) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PREFERENCES), owner, PreferencesDialogProc,
                           (LPARAM)data) == 1;
}

PreferencesData CurrentPreferences(const MainWindow* main) {
    return PreferencesData{main->flags.acceptLocal != 0, main->flags.autorun != 0};
}

void ApplyPreferences(MainWindow* main, const PreferencesData& data) {
    main->flags.autorun = data.autorun;
    main->flags.acceptLocal = data.localOnly;
    main->state.SetLocalOnly((uint8_t)data.localOnly);
    NotifyAllRelays(&main->ports, &main->host);
    main->state.SetAutorun(data.autorun);
}
