// ipc_os.h - the operating-system operations the IPC client needs, and nothing
// more. A link-time seam: ipc_os_win32.cpp implements them over Win32 for the
// shipped programs; the native tests link a fake with the same symbols.
//
// Each function mirrors one Win32 call of the client and keeps its meaning:
// null/0 for failure, the last-error code read separately and only on request.
#pragma once

#include <cstdint>

using IpcWindow = void*; // HWND
using IpcHandle = void*; // HANDLE of the file mapping

// FindWindowExA(no parent, no child after, className, no title).
IpcWindow IpcOsFindWindow(const char* className);
// RegisterWindowMessageA(name); 0 on failure.
uint32_t IpcOsRegisterMessage(const char* name);
// GetCurrentProcessId().
uint32_t IpcOsProcessId();
// GlobalAddAtomA(name); 0 on failure.
uint16_t IpcOsAddAtom(const char* name);
// GlobalDeleteAtom(atom).
void IpcOsDeleteAtom(uint16_t atom);
// CreateFileMappingA(INVALID_HANDLE_VALUE, no security, PAGE_READWRITE, 0, size, name).
// *alreadyExisted is GetLastError() == ERROR_ALREADY_EXISTS read right after a
// successful call; a handle is returned in that case too.
IpcHandle IpcOsCreateMapping(const char* name, uint32_t size, bool* alreadyExisted);
// MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0); null on failure.
uint8_t* IpcOsMapView(IpcHandle mapping);
// UnmapViewOfFile(view).
void IpcOsUnmapView(uint8_t* view);
// CloseHandle(mapping).
void IpcOsCloseHandle(IpcHandle mapping);
// SendMessageTimeoutA(window, message, wParam, 0, SMTO_BLOCK, timeoutMs, &reply):
// true when the server handled the message, with *reply its answer.
bool IpcOsSend(IpcWindow window, uint32_t message, uintptr_t wParam, uint32_t timeoutMs,
               uintptr_t* reply);
// GetLastError() of the calling thread.
uint32_t IpcOsLastError();
// Pause the calling thread (through the program's one delay facility).
void IpcOsSleep(uint32_t milliseconds);
