#include "angle.h"

#include <cmath>

int32_t DegreesToRaw(double degrees) {
    if (!std::isfinite(degrees)) return 0;
    // fmod is exact, and taking whole turns off first keeps the product small
    // enough to round to the nearest unit for any input.
    constexpr double kFullTurnRaw = 4294967296.0; // 2^32
    const double reduced = std::fmod(degrees, 360.0);
    double raw = std::fmod(std::round(-reduced * kFullTurnRaw / 360.0), kFullTurnRaw);
    if (raw < 0) raw += kFullTurnRaw;
    return static_cast<int32_t>(static_cast<uint32_t>(raw));
}
