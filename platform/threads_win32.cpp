// The link's lock and threads over Win32.
#include "threads.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace {

CRITICAL_SECTION linkLock;

DWORD WINAPI Trampoline(LPVOID parameter) {
    auto proc = reinterpret_cast<ThreadProc>(parameter);
    proc(nullptr);
    return 0;
}

// Handles of started threads by identifier. StartThread and ThreadRunning are
// called by the main thread only, but keep the table safe anyway.
std::mutex tableLock;
std::map<ThreadId, HANDLE> handles;

} // namespace

void CreateLinkLock() {
    InitializeCriticalSection(&linkLock);
}
void LockLink() {
    EnterCriticalSection(&linkLock);
}
void UnlockLink() {
    LeaveCriticalSection(&linkLock);
}

ThreadId StartThread(ThreadProc proc) {
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, Trampoline, reinterpret_cast<LPVOID>(proc), 0, &id);
    if (!thread) return 0;
    std::lock_guard<std::mutex> guard(tableLock);
    handles[id] = thread;
    return id;
}

bool ThreadRunning(ThreadId id) {
    std::lock_guard<std::mutex> guard(tableLock);
    auto it = handles.find(id);
    if (it == handles.end()) return false;
    if (WaitForSingleObject(it->second, 0) == WAIT_TIMEOUT) return true;
    CloseHandle(it->second);
    handles.erase(it);
    return false;
}
