#include "status_bar_win32.h"

#include <string>

#include "../resources/resource_ids.h"
#include "main_window_win32.h"
#include "status_counts.h"
#include "window_texts.h"

const int StatusBarSplit = 250;

void CreateStatusBar(MainWindow* main) {
    main->statusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "", main->window, IDC_STATUS_BAR);
    int parts[2] = {StatusBarSplit, -1};
    SendMessageA(main->statusBar, SB_SETPARTS, 2, (LPARAM)parts);
}

void SetStatusText(MainWindow* main, int part, const char* text) {
    if (text == nullptr) {
        part = 0;
        text = DefaultStatusText;
    }
    SendMessageA(main->statusBar, SB_SETTEXTA, (WPARAM)part, (LPARAM)text);
}

void UpdateServerCounts(MainWindow* main) {
    std::string counts = ServerCountsText(main->catalogue.lists[main->catalogue.currentSlot]);
    SendMessageA(main->statusBar, SB_SETTEXTA, 1, (LPARAM)counts.c_str());
}
