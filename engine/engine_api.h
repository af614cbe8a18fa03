// engine_api.h - the gauge's side of the 3D engine: one table of function
// pointers filled from Engine3D.dll (libEngine3D.so natively) at run time.
//
// Contract
// - `engine3d` holds one pointer per export, named as the export
//   (engine3d.RotateNode(0, pitch, 0.0f, bank)). All are null until LoadEngine
//   succeeds, and again after UnloadEngine or a failed LoadEngine.
// - LoadEngine(path) loads the library, checks Engine3DInterfaceVersion against
//   ENGINE3D_INTERFACE_VERSION, then resolves every export. All or nothing: a
//   missing file, a library that will not load, a missing export or another
//   interface version leaves no engine (table cleared, library released) and
//   EngineLoadError() says why in one line fit for a message box.
// - A second LoadEngine while loaded releases the first library first.
// - Not thread-safe: the main thread loads, calls and unloads.
// - The OS work (LoadLibraryA/GetProcAddress, dlopen/dlsym) sits behind
//   engine_loader_os.h: engine_loader_win32.cpp or engine_loader_posix.cpp.
#pragma once

#include "engine3d_export_names.h"
#include "engine3d_exports.h"

struct Engine3DApi {
    decltype(&::Engine3DInterfaceVersion) Engine3DInterfaceVersion;
#define ENGINE3D_API_MEMBER(name) decltype(&::name) name;
    ENGINE3D_FUNCTIONS(ENGINE3D_API_MEMBER)
#undef ENGINE3D_API_MEMBER
};

extern Engine3DApi engine3d;

bool LoadEngine(const char* path);
void UnloadEngine();
bool EngineLoaded();
// Why the last LoadEngine failed ("" after a success or before any attempt),
// e.g. `Engine3D.dll: missing export "RotateNode"`.
const char* EngineLoadError();
