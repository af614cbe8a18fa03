// reference_scene.h - a synthetic scene shaped like the attitude gauge (a
// textured drum of 1000 triangles carried by a node, a mask plate with a round
// transparent window, a bezel plate with a window and a symbol, one light,
// shadows of kind 2, antialiasing 4), for the engine's tests and benchmark.
//
// Contract
// - WriteReferenceArchive writes the six members (drum.mesh, mask.mesh,
//   frame.mesh, drum.png, mask.png, frame.png) as a zip to `path`. The
//   geometry follows the gauge's layout: camera at z = 450, frame plate at
//   z = 190 scaled 0.8 so that it just fills a 30 degree view, mask at z = 180
//   scaled (1.6, 1.6, 1), drum about the x axis on node 0 at z = 100.
// - BuildReferenceScene makes the same calls as the gauge builds its scene,
//   through an engine table (the real library's exports or a loaded one),
//   with ids drum 0, frame 1, mask 3; PoseReferenceScene turns node 0 and the
//   mask like the gauge's pose does, then renders and presents.
// - ReferenceFrameHash is FNV-1a 64 over the presented frame's RGBA bytes.
#pragma once

#include <cstdint>
#include <string>

#include "engine_api.h"

bool WriteReferenceArchive(const std::string& path);

// Opens a headless screen of size x size unless `surface` is given.
void BuildReferenceScene(const Engine3DApi& api, const std::string& archivePath, int size,
                         void* surface);

void PoseReferenceScene(const Engine3DApi& api, float pitchDegrees, float bankDegrees);

std::uint64_t ReferenceFrameHash(const Engine3DApi& api);

// ReferenceFrameHash of the reference scene at 128 x 128 posed at pitch 12.5,
// bank -33: the same on the native and the Windows build, since frames must be
// identical bits everywhere. When the renderer's output changes on purpose,
// look at the frames first (ENGINE_TEST_DUMP), then take the new value.
inline constexpr std::uint64_t kReferenceFrameHash = 0xa9dbb0342f69f7c5ull;

// The table of the exports this program is linked with (native tests and
// benchmark link the engine library directly).
Engine3DApi LinkedEngine();
