// fake_threads.h - the platform's threads and lock for native tests of the link
// workers: real threads and a real recursive lock, instrumented.
//
// It counts how many started threads run at once (peakRunning) and records any
// thread that ends while still holding the link lock (endedHoldingLock). Delay
// is a real sleep of the given milliseconds divided by delayDivisor (so a test
// can run the 1000 ms connect pause quickly).
#pragma once

#include <atomic>

struct FakeThreads {
    std::atomic<int> running{0};
    std::atomic<int> peakRunning{0};
    std::atomic<int> started{0};
    std::atomic<bool> endedHoldingLock{false};
    std::atomic<int> delayDivisor{1};
};

extern FakeThreads fakeThreads;

// True when no thread holds the link lock at this moment.
bool LinkLockFree();
