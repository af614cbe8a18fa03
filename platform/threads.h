// threads.h - the link's threads and its one lock.
//
// - The lock is recursive (a critical section on Windows); only the link
//   workers take it.
// - StartThread runs proc(0) on a new thread and gives a non-zero identifier,
//   or 0 when the thread could not be started. ThreadRunning is false for 0 and
//   for a thread that has ended. There is no way to kill a thread: a worker
//   stops by returning from its procedure, which it does only where it holds no
//   lock.
#pragma once

#include <cstdint>

using ThreadProc = void (*)(void* parameter);
using ThreadId = uint32_t;

void CreateLinkLock();
void LockLink();
void UnlockLink();

ThreadId StartThread(ThreadProc proc);
bool ThreadRunning(ThreadId id);
