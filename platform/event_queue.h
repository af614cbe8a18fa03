// event_queue.h - the window layer's queue of program events: first in, first
// out; an event identical to the newest one still queued is not queued again,
// so a run of moves with nothing between them leaves a single move event.
//
// Pure and single-threaded: the window procedure queues on the main thread and
// the main loop takes from it on the same thread.
#pragma once

#include <cstdint>

struct WindowEvent {
    int32_t code;
    void* window;
    int32_t control; // control identifier of a command, 0 otherwise
    int32_t type;    // notification code of a command, 0 otherwise
};

void QueueWindowEvent(const WindowEvent& event);
// Removes the oldest event into *event; false when the queue is empty.
bool TakeWindowEvent(WindowEvent* event);
void ClearWindowEvents();
