#include "test_batch_win32.h"

#include "testing_texts.h"

// How long the batch waits for a free slot before it looks again; a freed
// slot or the closing wakes it at once.
const DWORD FreeSlotWaitMs = 100;

struct StatusText {
    TestRunWindow* window;
    const char* text;
};

static void ShowStatusCall(void* argument) {
    StatusText* status = (StatusText*)argument;
    status->window->ShowStatus(status->text);
}

static void ShowStatusFromBatch(TestBatch* batch, const char* text) {
    StatusText status = {batch->window, text};
    batch->window->RunCall(ShowStatusCall, &status);
}

// The run's servers in list order; ends once the last one's probe has
// started, or at once when the run is cancelled.
static DWORD WINAPI RunTestBatch(void* argument) {
    TestBatch* batch = (TestBatch*)argument;
    TestRun* run = batch->run;
    ShowStatusFromBatch(batch, TestingStatusText);
    for (size_t next = 0; next < run->rows.size(); ++next) {
        for (;;) {
            if (run->cancel) {
                ShowStatusFromBatch(batch, nullptr);
                return 0;
            }
            if (StartProbe(batch->engine, run->addresses[next].c_str(), run->rows[next], run->socks[next])) break;
            // Every slot busy: the rows started meanwhile show "Testing"
            // while the batch waits, not in the way of the next start.
            ShowStartedProbes(batch->engine);
            WaitForFreeSlot(batch->engine, FreeSlotWaitMs);
        }
    }
    ShowStartedProbes(batch->engine);
    ShowStatusFromBatch(batch, nullptr);
    return 0;
}

int StartTestBatch(TestBatch* batch, ProbeEngine* engine, TestRun* run, TestRunWindow* window) {
    batch->engine = engine;
    batch->run = run;
    batch->window = window;
    BeginProbing(engine, run, window);
    batch->thread = CreateThread(nullptr, 0, RunTestBatch, batch, 0, nullptr);
    return batch->thread != nullptr;
}

void CloseTestBatch(TestBatch* batch) {
    TestRun* run = batch->run;
    if (run == nullptr) return;
    run->cancel = 1;
    WakeBatch(batch->engine);
    if (batch->thread != nullptr) {
        batch->window->WaitServingCalls(batch->thread);
        CloseHandle(batch->thread);
        batch->thread = nullptr;
    }
    DropProbes(batch->engine);
    CloseTestRunRows(run);
    batch->run = nullptr;
}
