// The Testing Servers dialog (resource 115): "Test Server" opens it over
// the main window; it tests the selected servers of the current category,
// shows the counts once a tick, and on closing ends the run and moves the
// dead servers to "Dead".
#pragma once

#include <windows.h>

#include "../testing/test_batch_win32.h"

struct MainWindow;

// The main window as a test run reaches it.
struct WindowTestRun : public TestRunWindow {
    MainWindow* main = nullptr;
    int RunCall(void (*function)(void* argument), void* argument) override;
    void WaitServingCalls(HANDLE handle) override;
    CheckTime Now() override;
    void ShowStatus(const char* text) override;
};

// One opening of the dialog.
struct TestingDialog {
    MainWindow* main;
    TestBatch batch;
    int closing;
};

// Modal, until the user closes it.
void RunTestingDialog(MainWindow* main);
