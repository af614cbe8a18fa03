#include "angle.h"

#include <cmath>

int32_t DegreesToRaw(double degrees) {
    if (!std::isfinite(degrees)) return 0;
    // Reduce to one turn first so the product stays exact and in range.
    double turns = std::remainder(-degrees / 360.0, 1.0);
    double raw = std::nearbyint(turns * 4294967296.0);
    int64_t wide = static_cast<int64_t>(raw);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}
