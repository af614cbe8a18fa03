// present.h natively: there is no window system to draw into, so every frame
// is headless; it is kept for Engine3DCopyFrame only.
#include "present.h"

bool PresentFrame(void*, const std::uint32_t*, int, int) {
    return true;
}
