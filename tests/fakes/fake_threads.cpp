#include "fake_threads.h"

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "delay.h"
#include "threads.h"

FakeThreads fakeThreads;

namespace {

std::recursive_mutex linkLock;
std::atomic<std::thread::id> lockOwner;
thread_local int heldDepth;

std::mutex tableLock;
std::map<ThreadId, std::shared_ptr<std::atomic<bool>>> alive;
ThreadId lastId;

} // namespace

void CreateLinkLock() {}

void LockLink() {
    linkLock.lock();
    ++heldDepth;
    lockOwner = std::this_thread::get_id();
}

void UnlockLink() {
    if (--heldDepth == 0) lockOwner = std::thread::id();
    linkLock.unlock();
}

bool LinkLockFree() {
    if (!linkLock.try_lock()) return false;
    linkLock.unlock();
    return true;
}

ThreadId StartThread(ThreadProc proc) {
    auto flag = std::make_shared<std::atomic<bool>>(true);
    ThreadId id;
    {
        std::lock_guard<std::mutex> guard(tableLock);
        id = ++lastId;
        alive[id] = flag;
    }
    ++fakeThreads.started;
    int now = ++fakeThreads.running;
    int peak = fakeThreads.peakRunning.load();
    while (now > peak && !fakeThreads.peakRunning.compare_exchange_weak(peak, now)) {}
    std::thread([proc, flag] {
        proc(nullptr);
        if (heldDepth != 0) fakeThreads.endedHoldingLock = true;
        --fakeThreads.running;
        flag->store(false);
    }).detach();
    return id;
}

bool ThreadRunning(ThreadId id) {
    std::lock_guard<std::mutex> guard(tableLock);
    auto it = alive.find(id);
    return it != alive.end() && it->second->load();
}

void Delay(uint32_t milliseconds) {
    std::this_thread::sleep_for(
        std::chrono::microseconds(1000ull * milliseconds / uint32_t(fakeThreads.delayDivisor)));
}
