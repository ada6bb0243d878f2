// The probe engine: a fixed table of probe slots, one event per slot, and
// one thread (ProbeThread) that waits on all of them and drives every probe
// from its connection to its verdict.
//
// Three threads meet in a slot: the batch thread arms it, the probe thread
// handles its socket's notices, the window thread times it out or drops it.
// Each slot has a lock, held only for short socket work and never across a
// call to the window thread. Whoever frees an armed slot under its lock
// issues the slot's one verdict (or, at closing, none), closes its socket
// once and clears its event, so that a late notice of that probe can never
// judge the next one, even when the new socket gets the old handle value.
// Verdicts reach the rows on the window thread, with a check of their run.
#pragma once

#include <windows.h>

#include "test_run.h"

const int ProbeSlotCount = MostProbeCount;  // every slot's event in one wait
const int ProbeReplyBytes = 65535;          // what one reception takes

// What the engine and the batch need of the window.
class TestRunWindow {
public:
    virtual ~TestRunWindow() {}
    // From a worker: runs function(argument) on the window thread and
    // waits for it; 0 when it never ran (the window is gone).
    virtual int RunCall(void (*function)(void* argument), void* argument) = 0;
    // On the window thread: waits for the handle while serving the calls.
    virtual void WaitServingCalls(HANDLE handle) = 0;
    // On the window thread: the local time of a verdict.
    virtual CheckTime Now() = 0;
    // On the window thread: status-bar part 0; null gives the default text.
    virtual void ShowStatus(const char* text) = 0;
};

// The slot table, its events and ProbeThread.
struct ProbeEngine;

// Creates the slots, their events and locks, and starts ProbeThread; null
// on failure.
ProbeEngine* CreateProbeEngine();
// Ends ProbeThread and releases the engine (tests; the manager's engine
// lives as long as the process). No run may be open.
void DestroyProbeEngine(ProbeEngine* engine);
// The manager's engine, started on the first call: at start-up, before the
// window.
ProbeEngine* ProcessProbeEngine();

// On the window thread, when a run opens: its probes report to this run.
void BeginProbing(ProbeEngine* engine, TestRun* run, TestRunWindow* window);

// From the batch thread: 0 when not started (no free slot among the run's
// first probes slots, or the run is being cancelled); 1 when the server is
// dealt with (its probe is in flight, or its verdict is issued: a name that
// does not resolve, or a connection that fails at once). socks: 1 for the
// SOCKS greeting. The row is marked "Testing" on the window thread later,
// but always before its verdict is written: the start does not wait for
// the window.
int StartProbe(ProbeEngine* engine, const char* address, int row, int socks);

// From the batch thread, when it has nothing to start: the rows of the
// probes started so far read "Testing" now.
void ShowStartedProbes(ProbeEngine* engine);

// On the window thread, once per timer tick (after the rows started so far
// are marked): every slot ages, and an armed
// slot whose age reaches the run's time-out gets its Dead verdict.
void TickProbes(ProbeEngine* engine);

// On the window thread, at closing, once the batch has ended: every armed
// slot is freed and its socket closed with no verdict; then waits until
// the verdicts claimed before are written, and marks the rows started.
void DropProbes(ProbeEngine* engine);

// From the batch thread: waits until a slot is freed or the run is
// cancelled, at most the given time.
void WaitForFreeSlot(ProbeEngine* engine, DWORD milliseconds);
// Wakes a batch waiting for a free slot.
void WakeBatch(ProbeEngine* engine);

// Test support: the number of slots armed now.
int ArmedProbeCount(ProbeEngine* engine);
