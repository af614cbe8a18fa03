// angle.h - the simulator's angle unit (a full turn is 2^32, signed 32-bit) in
// the gauge's degrees, and back for tools that start from degrees.
#pragma once

#include <cstdint>

// degrees = raw * -360 / 2^32: product and quotient exact in double precision,
// rounded once to float. The sign flips: the simulator reports nose-up and right
// wing down as negative, the gauge draws them as positive degrees.
inline float RawToDegrees(int32_t raw) {
    const float minus360 = -360.0f, fullTurn = 4294967296.0f;
    return static_cast<float>(static_cast<double>(raw) * minus360 / fullTurn);
}

// raw = round(-degrees * 2^32 / 360), half a unit away from zero, wrapped into
// signed 32 bits, so +180 and -180 both land on -2^31. A non-finite angle gives 0.
int32_t DegreesToRaw(double degrees);
