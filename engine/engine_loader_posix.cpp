// engine_loader_os.h on POSIX: dlopen, dlsym, dlclose.
#include "engine_loader_os.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>

void* LoaderOpenLibrary(const char* path, char* reason, std::size_t capacity) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* text = dlerror();
        std::snprintf(reason, capacity, "%s", text != nullptr ? text : "unknown error");
    }
    return library;
}

void* LoaderFindSymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void LoaderCloseLibrary(void* library) {
    dlclose(library);
}

bool LoaderFileExists(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}
