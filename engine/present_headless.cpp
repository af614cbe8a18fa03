// present.h natively: frames are kept for Engine3DCopyFrame only.
#include "present.h"

bool PresentFrame(void* surface, const std::uint32_t*, int, int) {
    return surface == nullptr;
}
