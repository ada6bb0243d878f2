#include "proxy_list_download_win32.h"

#include "fetch_rules.h"
#include "proxy_list_reply.h"

static volatile LONG runningDownloads = 0;

int RunningListDownloads() { return (int)InterlockedCompareExchange(&runningDownloads, 0, 0); }

void ReleaseListDownload(ListDownload* download) {
    if (InterlockedDecrement(&download->references) != 0) return;
    DeleteFetch(&download->fetch);
    delete download;
}

void CancelListDownload(ListDownload* download) {
    download->cancel = 1;
    CancelFetch(&download->fetch);
}

// ---- steps run on the window thread ----

static void BeginStep(void* argument) {
    ListDownload* download = (ListDownload*)argument;
    if (download->cancel) return;
    download->busy = 1;
    download->window->Begin(download);
}

static void ProgressStep(void* argument) {
    ListDownload* download = (ListDownload*)argument;
    if (!download->cancel) download->window->Progress(download, download->range, download->position);
}

static void CancelledStep(ListDownload* download) {
    download->busy = 0;
    download->window->Cancelled(download);
}

static void CancelStep(void* argument) { CancelledStep((ListDownload*)argument); }

struct Outcome {
    ListDownload* download;
    const ProxyListReply* reply;
    int failed;
};

// The servers are added only here: a Close that came first leaves "New" as
// it was.
static void FinishStep(void* argument) {
    Outcome* outcome = (Outcome*)argument;
    ListDownload* download = outcome->download;
    if (download->cancel) {
        CancelledStep(download);
        return;
    }
    int found = 0;
    if (!outcome->failed) found = download->window->AddToNew(download, outcome->reply->servers);
    download->busy = 0;
    download->window->Finish(download, outcome->failed, found);
}

// ---- the download thread ----

// The bar moves in steps of a hundredth, so that a long list costs a
// hundred window calls rather than one per read.
class DownloadProgress : public FetchProgress {
public:
    explicit DownloadProgress(ListDownload* download) : download(download) {}
    void Expect(unsigned long long expected) override {
        download->range = ProgressRange(expected);
        download->position = 0;
        shown = 0;
        download->window->RunCall(ProgressStep, download);
    }
    void Received(size_t total) override {
        int position = ProgressPosition(total, download->range);
        int stride = download->range / 100 > 0 ? download->range / 100 : 1;
        if (position - shown < stride && position != download->range) return;
        if (position == shown) return;
        shown = position;
        download->position = position;
        download->window->RunCall(ProgressStep, download);
    }

private:
    ListDownload* download;
    int shown = 0;
};

static DWORD WINAPI DownloadProxyList(void* argument) {
    ListDownload* download = (ListDownload*)argument;
    if (download->window->RunCall(BeginStep, download) && download->busy) {
        FetchReply reply;
        if (!download->neverResolvable) {
            DownloadProgress progress(download);
            FetchRequest request = {download->url.c_str(), ReplyCap, ReadStep, 1};
            FetchUrl(&download->fetch, request, &progress, &reply);
        }
        if (FetchCancelled(&download->fetch)) {
            download->window->RunCall(CancelStep, download);
        } else {
            int failed = JudgeFetch(reply.text.size(), reply.expected, reply.capped) == FetchFailed;
            ProxyListReply list = {0, {}};
            if (!failed) list = ParseProxyListReply(reply.text.data(), reply.text.size());
            reply.text = std::string();  // the rows hold their own copies
            Outcome outcome = {download, &list, failed || !list.accepted};
            download->window->RunCall(FinishStep, &outcome);
        }
    }
    ReleaseListDownload(download);
    InterlockedDecrement(&runningDownloads);
    return 0;
}

ListDownload* StartListDownload(const char* url, int neverResolvable, ListDownloadWindow* window) {
    ListDownload* download = new ListDownload();
    InitFetch(&download->fetch);
    download->url = url;
    download->neverResolvable = neverResolvable;
    download->window = window;
    InterlockedIncrement(&runningDownloads);
    HANDLE thread = CreateThread(nullptr, 0, DownloadProxyList, download, 0, nullptr);
    if (thread == nullptr) {
        InterlockedDecrement(&runningDownloads);
        DeleteFetch(&download->fetch);
        delete download;
        return nullptr;
    }
    CloseHandle(thread);
    return download;
}
