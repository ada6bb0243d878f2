// What the main window loads at start-up and saves at Exit: its geometry,
// its splitters and its mapped ports, through the settings' load and save.
#pragma once

#include <windows.h>

#include "../catalogue/save_outcome.h"
#include "../catalogue/settings.h"

struct MainWindow;

struct WindowState : public ManagerStateAccess {
    MainWindow* main = nullptr;
    int IsMaximized() override;
    WindowRect OuterRect() override;
    void PlaceWindow(const WindowRect& rect) override;
    void SizeWindow(int width, int height) override;
    int SplitterTop() override;
    int SplitterLeft() override;
    void PlaceSplitters(int top, int left) override;
    int MappedPortCount() override;
    StoredPort MappedPortRow(int row) override;
    void AppendMappedPort(const StoredPort& port) override;
    void SetLocalOnly(uint8_t value) override;
    void SetAutorun(int flag) override;
};

// The data folder's files into the window and its models (the defaults
// when the window was made without them), and back at Exit.
void LoadManagerState(MainWindow* main);
SaveOutcome SaveManagerState(MainWindow* main);
