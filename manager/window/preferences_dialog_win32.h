// The Preferences dialog (resource 107): the relays' local-only flag and
// the start at logon. OK applies both at once; config.ini takes them at Exit.
#pragma once

#include <windows.h>

struct MainWindow;

struct PreferencesData {
    int localOnly;  // relays accept only clients of this computer
    int autorun;    // start hidden at logon
};

// Modal: 1 when closed with OK (the record then holds the boxes' states).
int RunPreferencesDialog(HWND owner, PreferencesData* data);

// The manager's flags as the dialog shows them.
PreferencesData CurrentPreferences(const MainWindow* main);
// Into the flags, the shared port table (every relay told at once) and the
// start-at-logon value.
void ApplyPreferences(MainWindow* main, const PreferencesData& data);
