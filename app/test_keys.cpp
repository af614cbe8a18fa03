#include "test_keys.h"

#include "attitude_state.h"
#include "engine_api.h"
#include "gauge_scene.h"
#include "keyboard.h"

namespace {

// Wraps modulo 2^32 like the simulator's angle unit; the load and the store are
// separate, so a poll written between them is lost and the later store wins.
void Step(std::atomic<int32_t>& field, int32_t by) {
    const uint32_t now = static_cast<uint32_t>(field.load(std::memory_order_relaxed));
    field.store(static_cast<int32_t>(now + static_cast<uint32_t>(by)), std::memory_order_relaxed);
}

void StepCamera(float dz) {
    if (!EngineLoaded()) return;
    engine3d.MoveCamera2(0, 0.0f, 0.0f, dz, 1);
    UpdateGaugePose();
}

} // namespace

void ApplyTestKeys() {
    SnapshotKeyboard();
    if (IsKeyDown(kScanA)) StepCamera(-kCameraKeyStep);
    if (IsKeyDown(kScanQ)) StepCamera(+kCameraKeyStep);
    if (IsKeyDown(kScanRight)) Step(attitudeState.bankRaw, +kAttitudeKeyStep);
    if (IsKeyDown(kScanLeft)) Step(attitudeState.bankRaw, -kAttitudeKeyStep);
    if (IsKeyDown(kScanUp)) Step(attitudeState.pitchRaw, +kAttitudeKeyStep);
    if (IsKeyDown(kScanDown)) Step(attitudeState.pitchRaw, -kAttitudeKeyStep);
}
