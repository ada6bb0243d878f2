#include "internet_win32.h"

#include "fetch_rules.h"
#include "webservice_texts.h"

// A list fetched again must come from the service, not from WinINet's cache.
const DWORD RequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
const DWORD LengthHeaderSize = 256;

void InitFetch(Fetch* fetch) {
    InitializeCriticalSection(&fetch->lock);
    fetch->session = nullptr;
    fetch->request = nullptr;
    fetch->cancel = 0;
}

void DeleteFetch(Fetch* fetch) { DeleteCriticalSection(&fetch->lock); }

static void CloseHandles(Fetch* fetch) {
    if (fetch->request != nullptr) InternetCloseHandle(fetch->request);
    if (fetch->session != nullptr) InternetCloseHandle(fetch->session);
    fetch->request = nullptr;
    fetch->session = nullptr;
}

void CancelFetch(Fetch* fetch) {
    EnterCriticalSection(&fetch->lock);
    InterlockedExchange(&fetch->cancel, 1);
    CloseHandles(fetch);
    LeaveCriticalSection(&fetch->lock);
}

int FetchCancelled(Fetch* fetch) { return InterlockedCompareExchange(&fetch->cancel, 0, 0) != 0; }

// Stores a handle for a cancel to close; 0 (and the handle closed) when the
// transfer was cancelled meanwhile.
static int KeepHandle(Fetch* fetch, HINTERNET* place, HINTERNET handle) {
    EnterCriticalSection(&fetch->lock);
    int kept = handle != nullptr && !FetchCancelled(fetch);
    if (kept) {
        *place = handle;
    } else if (handle != nullptr) {
        InternetCloseHandle(handle);
    }
    LeaveCriticalSection(&fetch->lock);
    return kept;
}

static unsigned long long AnnouncedLength(HINTERNET request) {
    char header[LengthHeaderSize] = "";
    DWORD size = sizeof header - 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, header, &size, nullptr)) return 0;
    header[size < sizeof header ? size : sizeof header - 1] = '\0';
    return ContentLengthValue(header);
}

static void ReadReply(Fetch* fetch, HINTERNET request, const FetchRequest& wanted, FetchProgress* progress,
                      FetchReply* reply) {
    std::string& text = reply->text;
    // One byte beyond the cap tells a reply that does not fit.
    while (!FetchCancelled(fetch)) {
        size_t room = wanted.cap + 1 - text.size();
        DWORD ask = (DWORD)(room < wanted.step ? room : wanted.step);
        size_t held = text.size();
        text.resize(held + ask);
        DWORD got = 0;
        BOOL read = InternetReadFile(request, &text[held], ask, &got);
        text.resize(held + (read ? got : 0));
        if (!read || got == 0) break;
        if (text.size() > wanted.cap) {
            reply->capped = 1;
            text.resize(wanted.cap);
            break;
        }
        if (progress != nullptr) progress->Received(text.size());
    }
}

void FetchUrl(Fetch* fetch, const FetchRequest& wanted, FetchProgress* progress, FetchReply* reply) {
    *reply = FetchReply();
    HINTERNET session = InternetOpenA(ServiceUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (KeepHandle(fetch, &fetch->session, session)) {
        HINTERNET request = InternetOpenUrlA(session, wanted.url, nullptr, 0, RequestFlags, 0);
        if (KeepHandle(fetch, &fetch->request, request)) {
            reply->expected = AnnouncedLength(request);
            if (progress != nullptr) progress->Expect(reply->expected);
            if (wanted.wholeOrNothing && reply->expected > wanted.cap) {
                reply->capped = 1;
            } else {
                ReadReply(fetch, request, wanted, progress, reply);
            }
        }
    }
    EnterCriticalSection(&fetch->lock);
    CloseHandles(fetch);
    LeaveCriticalSection(&fetch->lock);
}
