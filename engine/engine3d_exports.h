// engine3d_exports.h - the plain C interface of the 3D engine library
// (Engine3D.dll on Windows, libEngine3D.so natively), shared by the library
// and by the gauge-side loader.
//
// Contract
// - C linkage, C types only: ints, floats, zero-terminated UTF-8 texts and
//   opaque handles (void*). Called from one thread only; nothing is locked.
// - InitEngine3D first; before it every call fails with E3D_ERR_NOT_INITIALISED
//   and every handle query returns null. A second InitEngine3D is a no-op.
// - Results: 0 on success, one of the negative E3D_ERR_* codes on failure; a
//   failed call changes nothing unless its comment says otherwise. Handle
//   queries return null for an unknown id.
// - Ids are chosen by the caller, one id space per kind (mesh, texture,
//   material, entity, node, camera, light, GUI window). Creating or loading
//   an object at an id that is in use replaces it: handles to the old object
//   stop resolving, but objects built from it keep what they were given.
// - Colours are red + 256 * green + 65536 * blue, each 0..255; anything outside
//   0..0xFFFFFF is refused. Coordinates, scales and angles (degrees) must be
//   finite.
// - Mode 0 sets a position or orientation, mode 1 adds to it.
// - The full behaviour (transform order, projection, render modes, shadows,
//   antialiasing) is described in docs/engine.md.
#pragma once

#if defined(_WIN32)
#if defined(ENGINE3D_BUILDING)
#define ENGINE3D_API __declspec(dllexport)
#else
#define ENGINE3D_API
#endif
#else
#define ENGINE3D_API __attribute__((visibility("default")))
#endif

// Bumped whenever a signature or a documented behaviour the gauge relies on
// changes; the loader refuses a library that reports another value.
#define ENGINE3D_INTERFACE_VERSION 1

#define E3D_OK 0
#define E3D_ERR_NOT_INITIALISED -1 /* InitEngine3D has not been called */
#define E3D_ERR_BAD_ARGUMENT -2    /* value out of range, NaN, null text */
#define E3D_ERR_UNKNOWN_ID -3      /* no object of that kind at that id */
#define E3D_ERR_BAD_HANDLE -4      /* null or stale handle, or one of another kind */
#define E3D_ERR_NO_SCREEN -5       /* needs an open screen */
#define E3D_ERR_NOT_FOUND -6       /* archive file or member not found */
#define E3D_ERR_BAD_DATA -7        /* archive, mesh or image content is broken */
#define E3D_ERR_TOO_LARGE -8       /* over one of the engine's size limits */
#define E3D_ERR_UNSUPPORTED -9     /* valid but not handled (zip64, encryption...) */
#define E3D_ERR_IO -10             /* the file could not be read */

/* EntityRenderMode values. */
#define E3D_RENDER_DEFAULT 0       /* lit, textured, honours texture alpha, receives shadows */
#define E3D_RENDER_SHADOW_CASTER 4 /* as the default, and casts shadows of kind 2 */

#ifdef __cplusplus
extern "C" {
#endif

ENGINE3D_API int InitEngine3D(void);
/* kind 1 = zip. The central directory is read now; members are read on load. */
ENGINE3D_API int Add3DArchive(const char* path, int kind);
ENGINE3D_API int CloseScreen(void);
/* surfaceWindow: an HWND to present into on Windows; null = headless. */
ENGINE3D_API int OpenScreen(int width, int height, int depth, const char* title, int flags,
                            void* surfaceWindow, int reserved, int flipMode);
/* 4 = four samples per pixel; any other value >= 0 = one sample. */
ENGINE3D_API int AntialiasingMode(int mode);
/* Recorded only: the in-scene GUI draws nothing, so it never hides the scene. */
ENGINE3D_API int OpenWindow3D(int id, int x, int y, int width, int height, const char* title,
                              int options);
/* Viewport in percent of the screen. */
ENGINE3D_API int CreateCamera(int id, float x, float y, float width, float height);
ENGINE3D_API int MoveCamera(int id, float x, float y, float z);
/* mode 1: offset in world space. */
ENGINE3D_API int MoveCamera2(int id, float x, float y, float z, int mode);
ENGINE3D_API int CameraLookAt(int id, float x, float y, float z);
ENGINE3D_API int CameraBackColor(int id, int colour);
/* A point light at (x, y, z). Only light 0 lights the scene. */
ENGINE3D_API int CreateLight2(int id, int colour, float x, float y, float z);
ENGINE3D_API int LoadMesh(int id, const char* member);
ENGINE3D_API int LoadTexture(int id, const char* member);
ENGINE3D_API void* TextureID(int id);
ENGINE3D_API void* MeshID(int id);
ENGINE3D_API void* MaterialID(int id);
ENGINE3D_API void* EntityID(int id);
/* A null or stale texture still creates the material (untextured white) and
   returns E3D_ERR_BAD_HANDLE. */
ENGINE3D_API int CreateMaterial(int id, void* texture);
/* A null or stale mesh still creates the entity, which then draws nothing, and
   returns E3D_ERR_BAD_HANDLE; likewise a bad material (drawn untextured white). */
ENGINE3D_API int CreateEntity(int id, void* mesh, void* material);
ENGINE3D_API int CreateNode(int id);
ENGINE3D_API int AttachNodeObject(int nodeId, void* entity);
ENGINE3D_API int EntityRenderMode(int id, int mode);
ENGINE3D_API int MoveEntity(int id, float x, float y, float z);
ENGINE3D_API int MoveNode(int id, float x, float y, float z);
ENGINE3D_API int ScaleEntity(int id, float x, float y, float z);
/* Angles in degrees; R = Rz * Ry * Rx. mode 1 adds to the stored angles. */
ENGINE3D_API int RotateEntity2(int id, float x, float y, float z, int mode);
ENGINE3D_API int RotateNode(int id, float x, float y, float z);
/* kind 0 = off, kind 2 = shadow map from light 0; value <= 0 = automatic extent,
   value > 0 = shadows only within that distance of the light. */
ENGINE3D_API int WorldShadows3(int kind, float value, int colour);
ENGINE3D_API int RenderWorld(void);
ENGINE3D_API int FlipBuffers(void);

/* Extras for the loader, tests and tools. */
ENGINE3D_API int Engine3DInterfaceVersion(void);
/* Size of the last presented frame; 0 x 0 before the first FlipBuffers. */
ENGINE3D_API int Engine3DFrameSize(int* width, int* height);
/* Copies the last presented frame as top-down RGBA (alpha 255). Returns the
   number of bytes written, or E3D_ERR_TOO_LARGE if capacity is too small. */
ENGINE3D_API int Engine3DCopyFrame(unsigned char* rgba, int capacity);
/* Frees everything and returns to the state before InitEngine3D. */
ENGINE3D_API int Engine3DShutdown(void);
/* A short English text about the last failed call ("" when none failed). */
ENGINE3D_API const char* Engine3DLastError(void);

#ifdef __cplusplus
}
#endif
