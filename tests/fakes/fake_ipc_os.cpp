#include "fake_ipc_os.h"

#include <cstring>

#include "ipc_client.h"
#include "serve_batch.h"

FakeIpcOs* fakeIpc = nullptr;

namespace {

void Stamp32(std::vector<uint8_t>& data, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        data[at + size_t(i)] = uint8_t(value >> (8 * i));
}

uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

int FakeIpcOs::CountCalls(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : calls)
        n += c.rfind(prefix, 0) == 0;
    return n;
}

void ResetFakeIpc() {
    static std::unique_ptr<FakeIpcOs> current;
    current = std::make_unique<FakeIpcOs>();
    fakeIpc = current.get();
    ipcSession = IpcSession{};
}

bool FakeServe(uint8_t* block, uintptr_t* reply) {
    FakeIpcOs& f = *fakeIpc;
    // Refreshed before every batch, like a live simulator's variables: the
    // handshake's write into 0x330A must not show in a later handshake read.
    Stamp32(f.simData, 0x3304, f.serverVersion);
    Stamp32(f.simData, 0x3308, f.simulatorVersion);
    ServeBatch(block, kIpcBlockSize, f.simData.data(), f.simData.size());
    *reply = f.reply;
    return true;
}

std::vector<uint8_t> BatchBytes(const uint8_t* block) {
    // The client's own layout: walk its records to the end marker.
    size_t at = 0;
    for (;;) {
        uint32_t type = Load32(block + at);
        if (type == 1)
            at += 16 + Load32(block + at + 8);
        else if (type == 2)
            at += 12 + Load32(block + at + 8);
        else
            break;
        if (at + 4 > kIpcBlockSize) break;
    }
    return std::vector<uint8_t>(block, block + at + 4);
}

IpcWindow IpcOsFindWindow(const char* className) {
    fakeIpc->calls.push_back(std::string("FindWindow ") + className);
    if (!fakeIpc->windowClasses.count(className)) return nullptr;
    // Distinct non-null handles per class so tests can tell which was taken.
    return reinterpret_cast<IpcWindow>(std::strcmp(className, "UIPCMAIN") == 0 ? 0x100 : 0x200);
}

uint32_t IpcOsRegisterMessage(const char* name) {
    fakeIpc->calls.push_back(std::string("RegisterMessage ") + name);
    return fakeIpc->messageId;
}

uint32_t IpcOsProcessId() {
    return fakeIpc->processId;
}

uint16_t IpcOsAddAtom(const char* name) {
    fakeIpc->calls.push_back(std::string("AddAtom ") + name);
    fakeIpc->atomNames.push_back(name);
    if (fakeIpc->failAddAtom) return 0;
    uint16_t atom = uint16_t(0xC000 + fakeIpc->atomNames.size());
    fakeIpc->liveAtoms[atom] = name;
    return atom;
}

void IpcOsDeleteAtom(uint16_t atom) {
    fakeIpc->calls.push_back("DeleteAtom");
    fakeIpc->liveAtoms.erase(atom);
}

IpcHandle IpcOsCreateMapping(const char* name, uint32_t size, bool* alreadyExisted) {
    fakeIpc->calls.push_back(std::string("CreateMapping ") + name);
    *alreadyExisted = false;
    if (fakeIpc->failCreateMapping || size != kIpcBlockSize) return nullptr;
    *alreadyExisted = fakeIpc->existingMappings.count(name) > 0;
    auto& mem = fakeIpc->memory[name];
    if (!mem) {
        mem = std::make_unique<uint8_t[]>(kIpcBlockSize);
        std::memset(mem.get(), 0xEE, kIpcBlockSize); // stale bytes, not zeros
    }
    fakeIpc->liveMappings.insert(name);
    return mem.get();
}

uint8_t* IpcOsMapView(IpcHandle mapping) {
    fakeIpc->calls.push_back("MapView");
    if (fakeIpc->failMapView) return nullptr;
    ++fakeIpc->liveViews;
    return static_cast<uint8_t*>(mapping);
}

void IpcOsUnmapView(uint8_t*) {
    fakeIpc->calls.push_back("UnmapView");
    --fakeIpc->liveViews;
}

void IpcOsCloseHandle(IpcHandle mapping) {
    fakeIpc->calls.push_back("CloseHandle");
    for (auto& [name, mem] : fakeIpc->memory)
        if (mem.get() == mapping) fakeIpc->liveMappings.erase(name);
}

bool IpcOsSend(IpcWindow window, uint32_t message, uintptr_t wParam, uint32_t timeoutMs,
               uintptr_t* reply) {
    FakeIpcOs& f = *fakeIpc;
    f.calls.push_back("Send");
    ++f.sends;
    // The server finds the block by the atom's name, as the real one does.
    auto atom = f.liveAtoms.find(uint16_t(wParam));
    if (window == nullptr || message != f.messageId || timeoutMs != kIpcSendTimeoutMs ||
        atom == f.liveAtoms.end() || !f.memory.count(atom->second)) {
        return false;
    }
    uint8_t* block = f.memory[atom->second].get();
    f.sentBatches.push_back(BatchBytes(block));
    if (f.failingSends > 0) {
        --f.failingSends;
        return false;
    }
    if (f.onSend) return f.onSend(block, reply);
    return FakeServe(block, reply);
}

uint32_t IpcOsLastError() {
    fakeIpc->calls.push_back("LastError");
    return fakeIpc->lastError;
}

void IpcOsSleep(uint32_t milliseconds) {
    fakeIpc->calls.push_back("Sleep " + std::to_string(milliseconds));
    fakeIpc->sleeps.push_back(milliseconds);
}
