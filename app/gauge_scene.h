// gauge_scene.h - the gauge's 3D scene: registers the data archive, builds the
// drum, mask and frame with their camera and light, and poses them from the raw
// attitude. Every drawing action goes through the engine table (engine_api.h).
//
// Contract
// - No engine result is looked at except the handles of TextureID, MeshID,
//   MaterialID and EntityID, which are passed straight on: a missing archive or
//   member only leaves that object absent.
// - While no engine is loaded, none of these functions calls anything.
// - Main thread only. UpdateGaugePose reads pitchRaw/bankRaw of attitudeState,
//   each as one whole atomic value, and renders and presents exactly one frame
//   per call, whether or not the attitude changed.
#pragma once

#include <cstdint>

// Camera distance along +z at which the scene is built; set at start-up.
extern int32_t cameraDistance;
constexpr int32_t kCameraStartDistance = 450;

void AddGaugeArchive();
void BuildGaugeScene();
int UpdateGaugePose();
