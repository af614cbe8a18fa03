#include "link_workers.h"

#include <atomic>

#include "attitude_state.h"
#include "delay.h"
#include "ipc_client.h"

ThreadId pollWorkerThread;

namespace {

// Set by the main thread, read by the poll worker outside the lock; cleared only
// when a new worker is started, which happens after the previous one has ended.
std::atomic<bool> pollStopRequested;

// The workers pass these to every IPC call and never read them.
IpcResult connectResult;
IpcResult pollResult;

} // namespace

void ConnectAttempt() {
    LockLink();
    if (attitudeState.linkUp.load(std::memory_order_relaxed) == 0) {
        const bool opened = IpcOpen(0, &connectResult);
        attitudeState.linkUp.store(opened ? 1 : 0, std::memory_order_relaxed);
    }
    UnlockLink();
}

void PollTurn() {
    // Tested before the lock and not again: only this worker clears the flag,
    // and the connect worker sets it only while it is 0.
    if (attitudeState.linkUp.load(std::memory_order_relaxed) != 1) return;
    LockLink();
    // Start from the values in place: a walk that stops early (a server that
    // broke the batch's headers) leaves a read uncopied, and storing a made-up
    // value for it would throw the drum to level.
    int32_t pitch = attitudeState.pitchRaw.load(std::memory_order_relaxed);
    int32_t bank = attitudeState.bankRaw.load(std::memory_order_relaxed);
    uint16_t discard = 0;
    IpcRead(0x0578, 4, &pitch, &pollResult);
    IpcRead(0x057C, 4, &bank, &pollResult);
    IpcRead(0x0D0C, 2, &discard, &pollResult);
    if (IpcProcess(&pollResult)) {
        attitudeState.pitchRaw.store(pitch, std::memory_order_relaxed);
        attitudeState.bankRaw.store(bank, std::memory_order_relaxed);
    } else {
        IpcClose();
        attitudeState.linkUp.store(0, std::memory_order_relaxed);
    }
    UnlockLink();
}

void ConnectWorker(void*) {
    for (;;) {
        ConnectAttempt();
        Delay(1000);
    }
}

void PollWorker(void*) {
    for (;;) {
        if (pollStopRequested.load(std::memory_order_acquire)) return;
        PollTurn();
        Delay(1);
    }
}

void SupervisePollWorker() {
    const uint8_t up = attitudeState.linkUp.load(std::memory_order_relaxed);
    const bool running = ThreadRunning(pollWorkerThread);
    if (up == 1 && !running) {
        pollStopRequested.store(false, std::memory_order_release);
        pollWorkerThread = StartThread(PollWorker);
    } else if (up == 0 && running) {
        pollStopRequested.store(true, std::memory_order_release);
    }
}
