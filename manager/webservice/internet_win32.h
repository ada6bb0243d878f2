// Plain-HTTP GETs from the web service through WinINet, shared by the list
// download and the update check. Another thread may cancel a transfer: it
// closes the transfer's handles, which makes a blocked WinINet call return.
#pragma once

#include <windows.h>

#include <wininet.h>

#include <string>

struct Fetch {
    CRITICAL_SECTION lock;  // guards the handles against a cancel from another thread
    HINTERNET session;
    HINTERNET request;
    volatile LONG cancel;
};

void InitFetch(Fetch* fetch);
void DeleteFetch(Fetch* fetch);
// From any thread: the transfer stops, now or at its next step.
void CancelFetch(Fetch* fetch);
int FetchCancelled(Fetch* fetch);

// What a transfer reports while it runs, on the fetching thread.
class FetchProgress {
public:
    virtual ~FetchProgress() {}
    virtual void Expect(unsigned long long expected) = 0;  // the announced length, 0 when unknown
    virtual void Received(size_t total) = 0;
};

struct FetchRequest {
    const char* url;
    size_t cap;          // bytes kept at most
    size_t step;         // bytes asked per read
    int wholeOrNothing;  // a reply announced beyond the cap is not read at all
};

struct FetchReply {
    std::string text;                 // what arrived, at most the cap
    unsigned long long expected = 0;  // Content-Length, 0 when unknown
    int capped = 0;                   // more than the cap arrived or was announced
};

// One GET of the url: the user agent and a direct connection as the service
// expects them. An unreachable service or a failed request leaves the text
// empty. progress may be null.
void FetchUrl(Fetch* fetch, const FetchRequest& request, FetchProgress* progress, FetchReply* reply);
