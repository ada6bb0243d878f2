// Driving a modal dialog of the manager from a helper thread: the test's
// thread sends the command that opens it and stays inside the dialog's loop,
// while the helper finds the dialog by its owner and title, waits for a
// state, notes what it shows and closes it. Every read is a message that the
// dialog's thread serves.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

const DWORD StepWaitMs = 10000;

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds);
// On the window thread: the same wait, handling the thread's messages
// meanwhile (workers' calls among them).
bool WaitHandlingMessages(const std::function<bool()>& condition, DWORD milliseconds);

std::string ItemText(HWND dialog, int id);
std::string WindowTitle(HWND window);
std::string StatusPart(HWND window, int part);

struct ProgressBar {
    int low = -1;
    int high = -1;
    int position = -1;
};
ProgressBar ReadProgressBar(HWND dialog, int id);

enum CloseWay { CloseByCancel, CloseByOk, CloseByWindowClose, CloseByEscape };

struct DialogVisit {
    HWND owner = nullptr;
    std::string title;       // "" for any title
    bool ownerThread = true;  // the dialog runs on the owner's thread
    std::function<bool(HWND dialog)> ready;  // the state to wait for
    std::function<void(HWND dialog)> note;   // what to note once it is reached
    CloseWay close = CloseByCancel;
    DWORD findWaitMs = StepWaitMs;
    bool found = false;
    bool reached = false;
    bool closedAsAsked = false;
    DWORD closeMs = 0;  // how long the close took
};

// Starts the helper thread on its visit.
HANDLE StartDialogVisit(DialogVisit* visit);
// On the window thread: sends the command to the owner, which opens the
// dialog, then serves messages until the helper is done.
void RunCommandWithVisit(HWND window, int command, DialogVisit* visit);
// On the window thread: serves sent messages until the handle is signalled.
void ServeUntil(HANDLE handle);
