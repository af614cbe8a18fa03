// recording_engine.h - an engine "library" for native tests: the loader's OS
// seam resolves every export to a function that only records its call.
//
// Linked in place of engine_loader_posix.cpp. LoadEngine(kRecordingEngine)
// then succeeds; any other path fails as a missing file. Each call is logged as
// `Name(arg, arg, ...)` with floats in %.9g (exact for single floats) and texts
// quoted. TextureID/MeshID/MaterialID/EntityID return a handle that encodes
// kind and id, so tests can see that the handle of the right object was passed.
#pragma once

#include <functional>
#include <string>
#include <vector>

constexpr char kRecordingEngine[] = "recording-engine";

extern std::vector<std::string> engineCalls;
// Called after each call is recorded, with its log line (tests use it to act
// "during" a frame).
extern std::function<void(const std::string&)> engineCallHook;

// The handle the recording engine returns for a kind ("TextureID", ...) and id,
// formatted as it appears in a later call's log line.
std::string RecordedHandle(const char* kind, int id);
