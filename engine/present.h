// present.h - shows a finished frame in the surface window handed to
// OpenScreen: present_win32.cpp draws it with GDI, present_headless.cpp (the
// native build) has no window system to draw into and does nothing.
//
// Contract
// - PresentFrame(surface, pixels, width, height): `pixels` is width * height
//   0xFFRRGGBB values, top row first. A null surface is headless: nothing is
//   drawn. The whole frame is drawn in one blit at the surface's top-left
//   corner, 1:1, without erasing the background first (no flicker).
// - Returns false when the surface could not be drawn into (not a window, no
//   device context); the frame stays the last presented one all the same.
//   The headless build ignores the surface and always succeeds.
#pragma once

#include <cstdint>

bool PresentFrame(void* surface, const std::uint32_t* pixels, int width, int height);
