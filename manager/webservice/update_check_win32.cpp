#include "update_check_win32.h"

#include "fetch_rules.h"

const size_t VersionReplyCap = 1023;
const size_t VersionReadStep = 1024;

static DWORD WINAPI CheckForUpdate(void* argument) {
    UpdateCheck* check = (UpdateCheck*)argument;
    if (check->neverResolvable) return 0;
    FetchReply reply;
    FetchRequest request = {check->url.c_str(), VersionReplyCap, VersionReadStep, 0};
    FetchUrl(&check->fetch, request, nullptr, &reply);
    // A reply cut short of its announced length may have lost part of its
    // link: no offer from it.
    if (FetchCancelled(&check->fetch) || reply.text.empty()) return 0;
    if (!reply.capped && JudgeFetch(reply.text.size(), reply.expected, 0) == FetchFailed) return 0;
    if (!ParseVersionReply(reply.text.data(), reply.text.size(), &check->offer)) return 0;
    if (!check->window->WaitUntilShown()) return 0;
    check->window->ShowOffer(&check->offer);
    return 0;
}

void StartUpdateCheck(UpdateCheck* check, const char* url, int neverResolvable, UpdateCheckWindow* window) {
    InitFetch(&check->fetch);
    check->url = url;
    check->neverResolvable = neverResolvable;
    check->window = window;
    check->thread = CreateThread(nullptr, 0, CheckForUpdate, check, 0, nullptr);
}

void StopUpdateCheck(UpdateCheck* check, DWORD milliseconds) {
    if (check->thread == nullptr) return;
    CancelFetch(&check->fetch);
    // A thread that does not end in time keeps its record.
    if (WaitForSingleObject(check->thread, milliseconds) != WAIT_OBJECT_0) return;
    CloseHandle(check->thread);
    check->thread = nullptr;
    DeleteFetch(&check->fetch);
}
