// The Downloading Proxy List dialog (resource 113): "Download Proxy List"
// opens it over the main window; it starts the download, follows the
// transfer on its progress bar and shows the outcome until the user closes
// it. Close during a transfer cancels it; the dialog ends once the download
// thread has seen the cancel, and within half a second in any case.
#pragma once

#include <windows.h>

#include "../webservice/proxy_list_download_win32.h"

struct MainWindow;

// The main window as a list download reaches it.
struct WindowListDownload : public ListDownloadWindow {
    MainWindow* main = nullptr;
    int RunCall(void (*function)(void* argument), void* argument) override;
    void Begin(ListDownload* download) override;
    void Progress(ListDownload* download, int range, int position) override;
    int AddToNew(ListDownload* download, const std::vector<NewServer>& servers) override;
    void Finish(ListDownload* download, int failed, int found) override;
    void Cancelled(ListDownload* download) override;
};

// Modal, until the user closes it.
void RunDownloadDialog(MainWindow* main);
