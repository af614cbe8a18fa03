// The IPC client's OS operations over Win32.
#include "ipc_os.h"

#include <windows.h>

#include "delay.h"

IpcWindow IpcOsFindWindow(const char* className) {
    return FindWindowExA(nullptr, nullptr, className, nullptr);
}

uint32_t IpcOsRegisterMessage(const char* name) {
    return RegisterWindowMessageA(name);
}

uint32_t IpcOsProcessId() {
    return GetCurrentProcessId();
}

uint16_t IpcOsAddAtom(const char* name) {
    return GlobalAddAtomA(name);
}

void IpcOsDeleteAtom(uint16_t atom) {
    GlobalDeleteAtom(atom);
}

IpcHandle IpcOsCreateMapping(const char* name, uint32_t size, bool* alreadyExisted) {
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    *alreadyExisted = mapping && GetLastError() == ERROR_ALREADY_EXISTS;
    return mapping;
}

uint8_t* IpcOsMapView(IpcHandle mapping) {
    return static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
}

void IpcOsUnmapView(uint8_t* view) {
    UnmapViewOfFile(view);
}

void IpcOsCloseHandle(IpcHandle mapping) {
    CloseHandle(mapping);
}

bool IpcOsSend(IpcWindow window, uint32_t message, uintptr_t wParam, uint32_t timeoutMs,
               uintptr_t* reply) {
    DWORD_PTR answer = 0;
    LRESULT ok = SendMessageTimeoutA(static_cast<HWND>(window), message, wParam, 0, SMTO_BLOCK,
                                     timeoutMs, &answer);
    *reply = answer;
    return ok != 0;
}

uint32_t IpcOsLastError() {
    return GetLastError();
}

void IpcOsSleep(uint32_t milliseconds) {
    Delay(milliseconds);
}
