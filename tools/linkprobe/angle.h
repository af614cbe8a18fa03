// angle.h - the simulator's raw angle in degrees, as the gauge shows it. Kept as one
// small function so that the gauge can take it over unchanged.
#pragma once

#include <cstdint>

// degrees = raw * -360 / 2^32, with raw taken as signed 32-bit: the product and the
// quotient are exact in double, and the quotient is rounded once to float.
float RawToDegrees(int32_t raw);
