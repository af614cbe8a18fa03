// engine_loader_os.h on Windows: LoadLibraryA, GetProcAddress, FreeLibrary.
#include "engine_loader_os.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

void* LoaderOpenLibrary(const char* path, char* reason, std::size_t capacity) {
    // No "DLL not found" box from the system: the caller reports the failure.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE library = LoadLibraryA(path);
    const DWORD error = GetLastError();
    SetErrorMode(oldMode);
    if (library == nullptr) {
        char text[200] = "";
        const DWORD length =
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, sizeof text, nullptr);
        // System messages end in ".\r\n"; a message box line should not.
        std::size_t end = length;
        while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == '.' ||
                           text[end - 1] == ' '))
            --end;
        text[end < sizeof text ? end : sizeof text - 1] = '\0';
        std::snprintf(reason, capacity, "error %lu%s%s", static_cast<unsigned long>(error),
                      end > 0 ? ": " : "", text);
    }
    return reinterpret_cast<void*>(library);
}

void* LoaderFindSymbol(void* library, const char* name) {
    FARPROC proc = GetProcAddress(static_cast<HMODULE>(library), name);
    void* symbol = nullptr;
    static_assert(sizeof proc == sizeof symbol);
    std::memcpy(&symbol, &proc, sizeof symbol);
    return symbol;
}

void LoaderCloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

bool LoaderFileExists(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
