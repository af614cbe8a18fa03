// link_workers.h - the two threads that tie the gauge to the simulator, and the
// main thread's supervision of the poll worker.
//
// Contract
// - linkLock (threads.h) is created before ConnectWorker starts; only the two
//   workers take it, and every IPC call is made with it held.
// - ConnectWorker: for ever, one ConnectAttempt, then a 1000 ms pause.
// - PollWorker: for ever, one PollTurn, then a 1 ms pause; it returns (ends its
//   thread) only at the top of a turn, holding no lock and in no IPC call, once
//   SupervisePollWorker has asked it to stop.
// - SupervisePollWorker (main thread, head of every pass): starts a poll worker
//   when linkUp is 1 and none runs; asks the running one to stop when linkUp is
//   0. A new worker is started only after the previous thread has ended, so two
//   never run at once, also when the link drops and returns between two passes.
// - The poll batch reads into the worker's own buffers, which start from the
//   values in place; after a successful exchange each raw value is stored into
//   attitudeState as one whole atomic 32-bit store (a read the walk did not copy
//   stores its old value back). A failed exchange stores nothing, closes the session and
//   clears linkUp, so the gauge keeps its last attitude.
#pragma once

#include "threads.h"

void ConnectWorker(void* parameter);
void PollWorker(void* parameter);
void SupervisePollWorker();

// One attempt of the connect worker (lock, IpcOpen(0) when the link is down,
// unlock) and one turn of the poll worker (when the link is up: lock, the poll
// batch, IpcClose and linkUp 0 on failure, unlock). The thread procedures loop
// over these; tests drive them directly.
void ConnectAttempt();
void PollTurn();

// The main thread's record of the poll worker (0 while none was started).
extern ThreadId pollWorkerThread;
