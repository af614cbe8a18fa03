// The link's lock and threads over the C++ library, for native builds and tests.
#include "threads.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

std::recursive_mutex linkLock;
std::mutex tableLock;
std::map<ThreadId, std::shared_ptr<std::atomic<bool>>> running;
ThreadId lastId;

} // namespace

void CreateLinkLock() {}
void LockLink() {
    linkLock.lock();
}
void UnlockLink() {
    linkLock.unlock();
}

ThreadId StartThread(ThreadProc proc) {
    auto flag = std::make_shared<std::atomic<bool>>(true);
    std::lock_guard<std::mutex> guard(tableLock);
    const ThreadId id = ++lastId;
    running[id] = flag;
    std::thread([proc, flag] {
        proc(nullptr);
        flag->store(false);
    }).detach();
    return id;
}

bool ThreadRunning(ThreadId id) {
    std::lock_guard<std::mutex> guard(tableLock);
    auto it = running.find(id);
    if (it == running.end()) return false;
    if (it->second->load()) return true;
    running.erase(it);
    return false;
}
