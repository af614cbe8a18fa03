#include "single_block_ipc_os.h"

alignas(8) uint8_t singleBlock[kIpcBlockSize];

IpcWindow IpcOsFindWindow(const char*) {
    return reinterpret_cast<IpcWindow>(1);
}
uint32_t IpcOsRegisterMessage(const char*) {
    return 0xC000;
}
uint32_t IpcOsProcessId() {
    return 1;
}
uint16_t IpcOsAddAtom(const char*) {
    return 0xC001;
}
void IpcOsDeleteAtom(uint16_t) {}
IpcHandle IpcOsCreateMapping(const char*, uint32_t, bool* existed) {
    *existed = false;
    return singleBlock;
}
uint8_t* IpcOsMapView(IpcHandle) {
    return singleBlock;
}
void IpcOsUnmapView(uint8_t*) {}
void IpcOsCloseHandle(IpcHandle) {}
uint32_t IpcOsLastError() {
    return 0;
}
void IpcOsSleep(uint32_t) {}
