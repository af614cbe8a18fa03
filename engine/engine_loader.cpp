// The pure half of the engine loader: resolves the table through the OS seam
// and keeps the reason for a refusal. See engine_api.h.
#include "engine_api.h"

#include <cstdio>
#include <cstring>

#include "engine_loader_os.h"

Engine3DApi engine3d;

namespace {

void* loadedLibrary = nullptr;
char loadError[512];

void SetLoadError(const char* path, const char* what) {
    std::snprintf(loadError, sizeof loadError, "%s: %s", path, what);
}

void ClearTable() {
    engine3d = Engine3DApi{};
}

template <typename Fn> bool Resolve(void* library, const char* name, Fn* slot) {
    void* symbol = LoaderFindSymbol(library, name);
    // Function and object pointers share a representation on both targets;
    // the copy avoids a cast the compilers warn about.
    Fn fn = nullptr;
    static_assert(sizeof fn == sizeof symbol);
    std::memcpy(&fn, &symbol, sizeof fn);
    *slot = fn;
    return fn != nullptr;
}

} // namespace

bool LoadEngine(const char* path) {
    UnloadEngine();
    loadError[0] = '\0';
    if (path == nullptr || path[0] == '\0') {
        SetLoadError("(none)", "no library path given");
        return false;
    }
    char reason[256] = "";
    void* library = LoaderOpenLibrary(path, reason, sizeof reason);
    if (library == nullptr) {
        // The system searches more places than the working directory for a bare
        // name, so existence is only asked once the load itself has failed.
        if (!LoaderFileExists(path)) {
            SetLoadError(path, "file not found");
            return false;
        }
        char what[300];
        std::snprintf(what, sizeof what, "cannot be loaded (%s)", reason);
        SetLoadError(path, what);
        return false;
    }

    Engine3DApi table{};
    char what[128];
    if (!Resolve(library, "Engine3DInterfaceVersion", &table.Engine3DInterfaceVersion)) {
        SetLoadError(path, "missing export \"Engine3DInterfaceVersion\"");
        LoaderCloseLibrary(library);
        return false;
    }
    const int version = table.Engine3DInterfaceVersion();
    if (version != ENGINE3D_INTERFACE_VERSION) {
        std::snprintf(what, sizeof what, "incompatible interface version %d (expected %d)", version,
                      ENGINE3D_INTERFACE_VERSION);
        SetLoadError(path, what);
        LoaderCloseLibrary(library);
        return false;
    }
#define ENGINE3D_RESOLVE(name)                                                                     \
    if (!Resolve(library, #name, &table.name)) {                                                   \
        SetLoadError(path, "missing export \"" #name "\"");                                        \
        LoaderCloseLibrary(library);                                                               \
        return false;                                                                              \
    }
    ENGINE3D_FUNCTIONS(ENGINE3D_RESOLVE)
#undef ENGINE3D_RESOLVE

    engine3d = table;
    loadedLibrary = library;
    return true;
}

void UnloadEngine() {
    ClearTable();
    if (loadedLibrary != nullptr) {
        LoaderCloseLibrary(loadedLibrary);
        loadedLibrary = nullptr;
    }
}

bool EngineLoaded() {
    return loadedLibrary != nullptr;
}

const char* EngineLoadError() {
    return loadError;
}
