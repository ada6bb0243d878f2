// One "Download Proxy List": the download thread fetches the service's list,
// parses it, and has the window thread add the new servers to "New" and show
// the outcome. The dialog and the thread share the record; whichever lets go
// of it last frees it, so that a dialog closed while the service is silent
// never waits for the thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../catalogue/proxy_catalogue.h"
#include "internet_win32.h"

struct ListDownload;

// The window as a download reaches it. RunCall runs a function on the window
// thread and waits for it (0 when the window takes no more calls); the other
// members are called only from such calls, on the window thread.
class ListDownloadWindow {
public:
    virtual ~ListDownloadWindow() {}
    virtual int RunCall(void (*function)(void* argument), void* argument) = 0;
    // The transfer starts: status texts.
    virtual void Begin(ListDownload* download) = 0;
    virtual void Progress(ListDownload* download, int range, int position) = 0;
    // Adds the servers to "New"; returns how many rows were added.
    virtual int AddToNew(ListDownload* download, const std::vector<NewServer>& servers) = 0;
    // The outcome: the texts, the counts and labels, the status bar's default text.
    virtual void Finish(ListDownload* download, int failed, int found) = 0;
    // A cancelled download's end: the status bar's default text, and the
    // dialog ended if it still shows this download.
    virtual void Cancelled(ListDownload* download) = 0;
};

struct ListDownload {
    volatile LONG references = 2;  // the dialog's and the thread's
    Fetch fetch;
    std::string url;
    int neverResolvable = 0;  // the service's name can never resolve: fail at once
    ListDownloadWindow* window = nullptr;
    // Written on the window thread only.
    int busy = 0;    // from the transfer's start until the outcome is shown
    int cancel = 0;  // set by Close
    // Read by the progress steps.
    int range = 0;
    int position = 0;
};

// Starts the download thread; the caller holds one reference. nullptr when
// no thread could be started.
ListDownload* StartListDownload(const char* url, int neverResolvable, ListDownloadWindow* window);
// On the window thread: no server is added from now on, and a transfer under
// way stops, a blocked read included.
void CancelListDownload(ListDownload* download);
void ReleaseListDownload(ListDownload* download);

// Download threads not yet ended, for a window that goes away.
int RunningListDownloads();
