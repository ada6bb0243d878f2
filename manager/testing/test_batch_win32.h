// A test run's batch: the thread that hands the run's servers one by one to
// the probe engine as slots become free, and the run's opening and closing
// steps around it.
#pragma once

#include <windows.h>

#include "probe_engine_win32.h"

struct TestBatch {
    ProbeEngine* engine;
    TestRun* run;
    TestRunWindow* window;
    HANDLE thread;  // RunTestBatch, until the closing has waited for it
};

// On the window thread, after OpenTestRun: the engine reports to this run
// and RunTestBatch starts. 0 when the thread could not be started (the run
// then tests nothing).
int StartTestBatch(TestBatch* batch, ProbeEngine* engine, TestRun* run, TestRunWindow* window);

// On the window thread, at closing: the run is cancelled, the batch thread
// has ended (a name lookup under way finishes first), the probes in flight
// are dropped with their sockets, the verdicts already issued are written,
// and then the rows are closed (CloseTestRunRows). Nothing of the run is
// touched by another thread after this.
void CloseTestBatch(TestBatch* batch);
