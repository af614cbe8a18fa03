#include "event_queue.h"

#include <deque>

namespace {
std::deque<WindowEvent> queued;

bool Same(const WindowEvent& a, const WindowEvent& b) {
    return a.code == b.code && a.window == b.window && a.control == b.control && a.type == b.type;
}
} // namespace

void QueueWindowEvent(const WindowEvent& event) {
    if (!queued.empty() && Same(queued.back(), event)) return;
    queued.push_back(event);
}

bool TakeWindowEvent(WindowEvent* event) {
    if (queued.empty()) return false;
    *event = queued.front();
    queued.pop_front();
    return true;
}

void ClearWindowEvents() {
    queued.clear();
}
