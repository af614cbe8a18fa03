#include "angle.h"

float RawToDegrees(int32_t raw) {
    return static_cast<float>(double(raw) * -360.0 / 4294967296.0);
}
