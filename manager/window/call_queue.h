// The calls that worker threads hand to the window thread while they wait
// their turn: a first-in first-out chain through the callers' own records,
// and whether the window still takes calls. Nothing here locks: the window
// thread's path (window_thread_win32) holds its lock around every use.
#pragma once

typedef void (*WindowThreadFunction)(void* argument);

enum CallOutcome { CallWaiting = 0, CallRan = 1, CallNeverRan = 2 };

// One call; it lives in its caller's frame for as long as the caller waits.
struct QueuedCall {
    WindowThreadFunction function;
    void* argument;
    void* done;   // the caller's completion signal
    int outcome;  // a CallOutcome, written before the signal
    QueuedCall* next;
};

struct CallQueue {
    QueuedCall* first;
    QueuedCall* last;
    int closed;
};

void InitCallQueue(CallQueue* queue);
// Appends the call; 0, and nothing queued, once the queue is closed.
int QueueCall(CallQueue* queue, QueuedCall* call);
// Takes the oldest call off the queue; null when none waits.
QueuedCall* TakeCall(CallQueue* queue);
// Closes the queue for good and hands back the calls that waited, oldest
// first, chained through next: none of them will run.
QueuedCall* CloseCallQueue(CallQueue* queue);
