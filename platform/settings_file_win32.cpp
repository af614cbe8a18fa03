// The settings writer's file operations over Win32.
#include "settings_file.h"

#include <windows.h>

void* SettingsFileCreate(const char* fileName) {
    HANDLE h = CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void SettingsFileWriteAll(void* file, const char* bytes, size_t length) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
    SetEndOfFile(file);
}

void SettingsFileClose(void* file) {
    CloseHandle(file);
}
