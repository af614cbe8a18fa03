// Queues a batch described by the input, lets the rest of the input overwrite the
// shared block as a hostile server could, answers 1 and runs the walk. ASan and
// UBSan watch every access; the checks below watch what the walk may change.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "ipc_client.h"
#include "single_block_ipc_os.h"

namespace {

uint8_t* const block = singleBlock;
const uint8_t* patches;
size_t patchBytes;

} // namespace

bool IpcOsSend(IpcWindow, uint32_t, uintptr_t, uint32_t, uintptr_t* reply) {
    // Handshake: valid versions, so the session opens.
    if (block[4] == 0x04 && block[5] == 0x33 && patches == nullptr) {
        const uint8_t server[4] = {5, 0, 0x98, 0x19}, sim[4] = {0, 0, 0xDE, 0xFA};
        std::memcpy(block + 16, server, 4);
        std::memcpy(block + 36, sim, 4);
    }
    // The hostile server: (offset lo, offset hi, value) triples anywhere in the block.
    for (size_t i = 0; patches && i + 3 <= patchBytes; i += 3) {
        size_t at = (size_t(patches[i]) | size_t(patches[i + 1]) << 8) % kIpcBlockSize;
        block[at] = patches[i + 2];
    }
    *reply = 1;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ipcSession.block == nullptr) {
        IpcResult r;
        patches = nullptr;
        if (!IpcOpen(0, &r)) std::abort();
    }
    if (size < 1) return 0;
    // Records: count, then per record a flags byte and a size byte.
    size_t count = data[0] % 24, at = 1;
    std::vector<std::unique_ptr<uint8_t[]>> destinations;
    std::vector<uint32_t> sizes;
    for (size_t i = 0; i < count && at + 2 <= size; ++i, at += 2) {
        uint8_t flags = data[at];
        uint32_t n = data[at + 1] * ((flags & 4) ? 97u : 1u);
        IpcResult r;
        if (flags & 1) {
            static const uint8_t source[255 * 97] = {};
            IpcWrite(flags, n, source, &r);
        } else {
            // Exactly n bytes, so a copy of one byte too many is caught.
            destinations.push_back((flags & 2) && n ? std::make_unique<uint8_t[]>(n) : nullptr);
            if (destinations.back()) std::memset(destinations.back().get(), 0x5A, n);
            IpcRead(flags, n, destinations.back().get(), &r);
        }
    }
    const uint32_t used = uint32_t(ipcSession.cursor - ipcSession.block);
    std::vector<uint8_t> tail(block + used + 4, block + kIpcBlockSize);
    patches = data + at;
    patchBytes = size - at;
    IpcResult r;
    bool ok = IpcProcess(&r);
    patches = nullptr;
    if (used == 0) {
        if (ok || r != IpcResult::EmptyBatch) std::abort();
        return 0;
    }
    if (!ok || r != IpcResult::Ok) std::abort();
    // Past the end marker nothing is the walk's: only the server's patches may differ.
    for (size_t i = 0; i + 3 <= patchBytes; i += 3) {
        size_t p = (size_t(data[at + i]) | size_t(data[at + i + 1]) << 8) % kIpcBlockSize;
        if (p >= used + 4) tail[p - used - 4] = data[at + i + 2];
    }
    if (std::memcmp(tail.data(), block + used + 4, tail.size()) != 0) std::abort();
    if (ipcSession.cursor != ipcSession.block) std::abort();
    return 0;
}
