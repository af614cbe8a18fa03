// test_keys.h - the keyboard test controls: one step of the main loop that
// polls six keys by scan code. A and Q step camera 0 along z and redraw at once;
// the arrows step bankRaw and pitchRaw by 10000000 (two's-complement, wrapping),
// which the next pass's change detection draws.
#pragma once

#include <cstdint>

constexpr int32_t kAttitudeKeyStep = 10000000;
constexpr float kCameraKeyStep = 1.0f;

// Scan codes: the key's position, whatever letter the layout prints on it.
constexpr int32_t kScanA = 30;
constexpr int32_t kScanQ = 16;
constexpr int32_t kScanRight = 205;
constexpr int32_t kScanLeft = 203;
constexpr int32_t kScanUp = 200;
constexpr int32_t kScanDown = 208;

void ApplyTestKeys();
