// settings_file.h - the three file operations of the settings writer, resolved
// at link time (settings_file_win32.cpp, settings_file_posix.cpp).
#pragma once

#include <cstddef>

// Creates the file or empties an existing one, for reading and writing, shared
// for reading only. Null on failure (read-only file, no access, locked).
void* SettingsFileCreate(const char* fileName);
// Writes the bytes from the start of the file in one write and ends the file there.
void SettingsFileWriteAll(void* file, const char* bytes, size_t length);
void SettingsFileClose(void* file);
