#include "call_queue.h"

void InitCallQueue(CallQueue* queue) {
    queue->first = nullptr;
    queue->last = nullptr;
    queue->closed = 0;
}

int QueueCall(CallQueue* queue, QueuedCall* call) {
    if (queue->closed) return 0;
    call->next = nullptr;
    if (queue->last != nullptr) queue->last->next = call;
    else queue->first = call;
    queue->last = call;
    return 1;
}

QueuedCall* TakeCall(CallQueue* queue) {
    QueuedCall* call = queue->first;
    if (call == nullptr) return nullptr;
    queue->first = call->next;
    if (queue->first == nullptr) queue->last = nullptr;
    call->next = nullptr;
    return call;
}

QueuedCall* CloseCallQueue(CallQueue* queue) {
    QueuedCall* waiting = queue->first;
    queue->first = nullptr;
    queue->last = nullptr;
    queue->closed = 1;
    return waiting;
}
