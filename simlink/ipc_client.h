// ipc_client.h - the simulator IPC client: one session per process, a batch of
// read/write records built in place in a 32768-byte shared block, and one
// registered-message exchange per batch.
//
// Contract
// - One process-wide `ipcSession`; no lock of its own. Callers serialise every
//   call (in the gauge, the link workers hold linkLock around each one).
// - Every operation returns true exactly when it reports IpcResult::Ok through
//   its out-parameter; callers act on true/false alone.
// - Record layout (little-endian 32-bit header fields, no padding, back to back
//   from the block's first byte):
//     read  (type 1): type, offset, size, destination, then `size` data bytes
//     write (type 2): type, offset, size, then `size` data bytes
//     end marker:      4 zero bytes, written by IpcProcess after the last record
// - Capacity: a read or write of `size` bytes is accepted only if
//   used + 16 + size <= 32512, computed without wrap-around (writes add 16 too).
// - The destination field is 4 bytes wide but our addresses are 64-bit, so the
//   client keeps each read's destination in its own list, in queue order. What
//   goes into the field is the read's 1-based position among the batch's records,
//   or 0 when the caller passed no destination; the server leaves it alone and
//   the walk uses it only to recognise its own record.
// - The walk after a reply of 1 trusts nothing in the block: it visits at most
//   the records the client queued, in block order, and compares each header with
//   what was queued. A type 0 ends the walk; an unknown type is zeroed in the
//   block and ends the walk; a header of type 1 or 2 that differs from the queued
//   one (type, offset, size or destination field) ends the walk untouched. In all
//   three cases the reads before that record have been copied, those after it are
//   not, and the result is Ok. Nothing beyond the client's own end marker is read.
// - OS operations sit behind ipc_os.h (a link-time seam): Win32 in the shipped
//   programs, a fake in the native tests.
#pragma once

#include <cstdint>

#include "ipc_os.h"

enum class IpcResult : int32_t {
    Ok = 0,
    AlreadyOpen = 1,
    NoServerWindow = 2,
    RegisterMessageFailed = 3,
    AddAtomFailed = 4,
    CreateMappingFailed = 5,
    MapViewFailed = 6,
    VersionRejected = 7,
    SimulatorMismatch = 8,
    NotOpen = 9,
    EmptyBatch = 10,
    SendFailedNoError = 11,
    SendFailedWithError = 12,
    BadReply = 13,
    VersionRejectedFallback = 14,
    BatchFull = 15,
};

// The name of a result code as the table names it ("NoServerWindow"), or
// "Unknown" for a value outside 0..15.
const char* IpcResultName(IpcResult code);

struct IpcSession {
    uint32_t serverVersion;
    uint32_t simulatorVersion;
    IpcWindow serverWindow;
    uint32_t messageId;
    uint16_t atom;
    IpcHandle mapping;
    uint8_t* block;
    uint8_t* cursor;
    uint32_t openCount;
};

extern IpcSession ipcSession;

constexpr uint32_t kIpcBlockSize = 0x8000;
constexpr uint32_t kIpcCapacityLimit = 0x7F00;
constexpr uint32_t kIpcReadHeader = 16;
constexpr uint32_t kIpcWriteHeader = 12;
constexpr uint32_t kIpcSendAttempts = 9;
constexpr uint32_t kIpcSendTimeoutMs = 2000;
constexpr uint32_t kIpcRetryPauseMs = 100;
constexpr uint32_t kIpcHandshakeExchanges = 5;
constexpr uint32_t kIpcHandshakePauseMs = 100;
constexpr uint32_t kIpcLowestServerVersion = 0x19980005;
constexpr uint16_t kIpcSimulatorMarker = 0xFADE;
constexpr char kIpcMessageName[] = "FsasmLib:IPC";
constexpr char kIpcServerClass[] = "UIPCMAIN";
constexpr char kIpcFallbackClass[] = "FS98MAIN";

bool IpcRead(uint32_t offset, uint32_t size, void* destination, IpcResult* result);
bool IpcWrite(uint32_t offset, uint32_t size, const void* source, IpcResult* result);
bool IpcProcess(IpcResult* result);
bool IpcOpen(uint32_t requestedSimulator, IpcResult* result);
void IpcClose();
