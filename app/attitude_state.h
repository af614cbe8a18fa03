// attitude_state.h - the state the main thread and the link workers share.
//
// Each field is read and written as one whole value (std::atomic, relaxed): the
// main thread reads pitchRaw/bankRaw and linkUp without linkLock while the poll
// worker writes them under it, and the test keys change the raw values from the
// main thread. No ordering between the fields is needed: a pass that pairs a
// fresh pitch with the previous bank draws again when the newer bank shows.
// windowX/windowY belong to the main thread alone.
#pragma once

#include <atomic>
#include <cstdint>

struct AttitudeState {
    std::atomic<int32_t> pitchRaw; // simulator angle unit: a full turn is 2^32
    std::atomic<int32_t> bankRaw;
    std::atomic<uint8_t> linkUp; // 1 exactly while the IPC session is open
    int32_t windowX;             // frame's top-left corner, recorded on MoveEvent
    int32_t windowY;
};
static_assert(std::atomic<int32_t>::is_always_lock_free);
static_assert(std::atomic<uint8_t>::is_always_lock_free);

extern AttitudeState attitudeState;
