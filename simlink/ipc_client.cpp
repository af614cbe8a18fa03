#include "ipc_client.h"

#include <cstdio>
#include <cstring>

IpcSession ipcSession;

namespace {

// What the client queued, in queue order: the walk checks every header it reads
// back against this, and takes each read's 64-bit destination from here.
struct QueuedRecord {
    uint32_t type;
    uint32_t offset;
    uint32_t size;
    uint32_t destinationField;
    void* destination;
};

// The smallest record the capacity rule lets in takes 12 bytes (a write of 0 bytes,
// accepted while used + 16 <= 32512), so no batch holds more records than this.
constexpr uint32_t kMaxRecords = (kIpcCapacityLimit - 16) / kIpcWriteHeader + 1;

QueuedRecord queued[kMaxRecords];
uint32_t queuedCount;

void Store32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Report(IpcResult* result, IpcResult code) {
    if (result) *result = code;
    return code == IpcResult::Ok;
}

uint32_t Used() {
    return uint32_t(ipcSession.cursor - ipcSession.block);
}

// used + 16 + size <= 32512 in 64-bit arithmetic, so a size near 2^32 cannot wrap.
bool Fits(uint32_t size) {
    return uint64_t(Used()) + kIpcReadHeader + uint64_t(size) <= kIpcCapacityLimit;
}

// Copies the data of every read, in block order, as far as the block still shows
// the batch the client queued (see the contract in the header).
void Walk(uint32_t count) {
    const uint8_t* const block = ipcSession.block;
    uint32_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const QueuedRecord& q = queued[i];
        uint8_t* header = ipcSession.block + at;
        uint32_t type = Load32(header);
        if (type == 0) return;
        if (type != 1 && type != 2) {
            Store32(header, 0);
            return;
        }
        if (type != q.type || Load32(header + 4) != q.offset || Load32(header + 8) != q.size)
            return;
        if (type == 1) {
            if (Load32(header + 12) != q.destinationField) return;
            if (q.destination && q.size) {
                std::memcpy(q.destination, block + at + kIpcReadHeader, q.size);
            }
            at += kIpcReadHeader + q.size;
        } else {
            at += kIpcWriteHeader + q.size;
        }
    }
}

} // namespace

const char* IpcResultName(IpcResult code) {
    static const char* const kNames[] = {"Ok",
                                         "AlreadyOpen",
                                         "NoServerWindow",
                                         "RegisterMessageFailed",
                                         "AddAtomFailed",
                                         "CreateMappingFailed",
                                         "MapViewFailed",
                                         "VersionRejected",
                                         "SimulatorMismatch",
                                         "NotOpen",
                                         "EmptyBatch",
                                         "SendFailedNoError",
                                         "SendFailedWithError",
                                         "BadReply",
                                         "VersionRejectedFallback",
                                         "BatchFull"};
    auto index = static_cast<uint32_t>(code);
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "Unknown";
}

bool IpcRead(uint32_t offset, uint32_t size, void* destination, IpcResult* result) {
    if (!ipcSession.block) return Report(result, IpcResult::NotOpen);
    if (!Fits(size)) return Report(result, IpcResult::BatchFull);
    uint8_t* record = ipcSession.cursor;
    QueuedRecord& q = queued[queuedCount];
    q = {1, offset, size, destination ? queuedCount + 1 : 0, destination};
    ++queuedCount;
    Store32(record, 1);
    Store32(record + 4, offset);
    Store32(record + 8, size);
    Store32(record + 12, q.destinationField);
    std::memset(record + kIpcReadHeader, 0, size);
    ipcSession.cursor = record + kIpcReadHeader + size;
    return Report(result, IpcResult::Ok);
}

bool IpcWrite(uint32_t offset, uint32_t size, const void* source, IpcResult* result) {
    if (!ipcSession.block) return Report(result, IpcResult::NotOpen);
    if (!Fits(size)) return Report(result, IpcResult::BatchFull);
    uint8_t* record = ipcSession.cursor;
    queued[queuedCount++] = {2, offset, size, 0, nullptr};
    Store32(record, 2);
    Store32(record + 4, offset);
    Store32(record + 8, size);
    if (size) std::memcpy(record + kIpcWriteHeader, source, size);
    ipcSession.cursor = record + kIpcWriteHeader + size;
    return Report(result, IpcResult::Ok);
}

bool IpcProcess(IpcResult* result) {
    if (!ipcSession.block) return Report(result, IpcResult::NotOpen);
    if (ipcSession.cursor == ipcSession.block) return Report(result, IpcResult::EmptyBatch);

    // From here on the queue is empty whatever the outcome: a failed batch is lost.
    Store32(ipcSession.cursor, 0);
    ipcSession.cursor = ipcSession.block;
    const uint32_t count = queuedCount;
    queuedCount = 0;

    uintptr_t reply = 0;
    bool delivered = false;
    for (uint32_t attempt = 0; attempt < kIpcSendAttempts && !delivered; ++attempt) {
        delivered = IpcOsSend(ipcSession.serverWindow, ipcSession.messageId, ipcSession.atom,
                              kIpcSendTimeoutMs, &reply);
        if (!delivered) IpcOsSleep(kIpcRetryPauseMs);
    }
    if (!delivered) {
        return Report(result, IpcOsLastError() == 0 ? IpcResult::SendFailedNoError
                                                    : IpcResult::SendFailedWithError);
    }
    if (reply != 1) return Report(result, IpcResult::BadReply);

    Walk(count);
    return Report(result, IpcResult::Ok);
}

void IpcClose() {
    ipcSession.serverWindow = nullptr;
    ipcSession.messageId = 0;
    if (ipcSession.atom != 0) {
        IpcOsDeleteAtom(ipcSession.atom);
        ipcSession.atom = 0;
    }
    if (ipcSession.block) {
        IpcOsUnmapView(ipcSession.block);
        ipcSession.block = nullptr;
    }
    if (ipcSession.mapping) {
        IpcOsCloseHandle(ipcSession.mapping);
        ipcSession.mapping = nullptr;
    }
}

namespace {

bool FailOpen(IpcResult* result, IpcResult code) {
    IpcClose();
    return Report(result, code);
}

} // namespace

bool IpcOpen(uint32_t requestedSimulator, IpcResult* result) {
    if (ipcSession.block) return Report(result, IpcResult::AlreadyOpen);
    ipcSession.serverVersion = 0;
    ipcSession.simulatorVersion = 0;

    bool fallbackClass = false;
    ipcSession.serverWindow = IpcOsFindWindow(kIpcServerClass);
    if (!ipcSession.serverWindow) {
        ipcSession.serverWindow = IpcOsFindWindow(kIpcFallbackClass);
        fallbackClass = true;
    }
    if (!ipcSession.serverWindow) return Report(result, IpcResult::NoServerWindow);

    ipcSession.messageId = IpcOsRegisterMessage(kIpcMessageName);
    if (ipcSession.messageId == 0) return Report(result, IpcResult::RegisterMessageFailed);

    // Every attempt that gets this far works under a fresh name, also if it fails.
    ++ipcSession.openCount;
    char name[32];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", unsigned(IpcOsProcessId()),
                  unsigned(ipcSession.openCount));

    ipcSession.atom = IpcOsAddAtom(name);
    if (ipcSession.atom == 0) return FailOpen(result, IpcResult::AddAtomFailed);

    bool existed = false;
    ipcSession.mapping = IpcOsCreateMapping(name, kIpcBlockSize, &existed);
    // Someone else's block under our name could be read or changed behind our back.
    if (!ipcSession.mapping || existed) return FailOpen(result, IpcResult::CreateMappingFailed);

    ipcSession.block = IpcOsMapView(ipcSession.mapping);
    if (!ipcSession.block) return FailOpen(result, IpcResult::MapViewFailed);
    ipcSession.cursor = ipcSession.block;
    queuedCount = 0;

    for (uint32_t exchange = 1; exchange <= kIpcHandshakeExchanges; ++exchange) {
        if (ipcSession.serverVersion != 0 && ipcSession.simulatorVersion != 0) break;
        IpcResult code = IpcResult::Ok;
        bool queuedAll = IpcRead(0x3304, 4, &ipcSession.serverVersion, &code) &&
                         IpcRead(0x3308, 4, &ipcSession.simulatorVersion, &code);
        if (queuedAll && exchange == 1) {
            const uint16_t handshakeValue = 2002;
            queuedAll = IpcWrite(0x330A, 2, &handshakeValue, &code);
        }
        if (!queuedAll) return FailOpen(result, code);
        if (!IpcProcess(&code)) return FailOpen(result, code);
        IpcOsSleep(kIpcHandshakePauseMs);
    }

    if (ipcSession.serverVersion < kIpcLowestServerVersion ||
        (ipcSession.simulatorVersion >> 16) != kIpcSimulatorMarker) {
        return FailOpen(result, fallbackClass ? IpcResult::VersionRejectedFallback
                                              : IpcResult::VersionRejected);
    }
    ipcSession.simulatorVersion &= 0xFFFF;
    if (requestedSimulator != 0 && requestedSimulator != ipcSession.simulatorVersion)
        return FailOpen(result, IpcResult::SimulatorMismatch);
    return Report(result, IpcResult::Ok);
}
