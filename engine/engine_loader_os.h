// engine_loader_os.h - the three OS operations the engine loader needs, resolved
// at link time: engine_loader_win32.cpp (LoadLibraryA, GetProcAddress,
// FreeLibrary) or engine_loader_posix.cpp (dlopen, dlsym, dlclose).
//
// Contract
// - LoaderOpenLibrary returns null on failure and then writes a short reason
//   (system message text, trimmed) into `reason` (capacity >= 1, always
//   zero-terminated).
// - LoaderFindSymbol returns null when the library does not export `name`.
#pragma once

#include <cstddef>

void* LoaderOpenLibrary(const char* path, char* reason, std::size_t capacity);
void* LoaderFindSymbol(void* library, const char* name);
void LoaderCloseLibrary(void* library);
// True when `path` names an existing file; asked after a failed open to tell
// "missing" from "will not load".
bool LoaderFileExists(const char* path);
