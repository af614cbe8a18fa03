// horizon_measure.h - reads the attitude back from a rendered gauge frame, so a
// golden image cannot hide a wrong picture: where the sky and the ground are
// inside the drum's window, the tilt of the horizon between them, and how far
// the horizon stands from the centre.
//
// Works on a 400 x 400 RGBA frame of the default gauge: the drum window is the
// disc of radius kWindowRadius about the centre; sky pixels are clearly blue,
// ground pixels clearly brown; marks, numerals, the aircraft symbol and the
// white horizon line are neither and are ignored.
#pragma once

#include <vector>

struct HorizonReading {
    double skyFraction = 0; // of the classified pixels in the window
    double groundFraction = 0;
    bool found = false; // a sky/ground boundary long enough to fit
    // Angle of the horizon on screen, counter-clockwise positive, in (-180, 180]:
    // 0 at level with the sky on top, 180 when the sky is below.
    double tiltDegrees = 0;
    // Signed distance in pixels from the window centre to the horizon, positive
    // when the centre lies on the sky side (the horizon has moved "down" in the
    // horizon's own frame, as nose-up makes it).
    double offsetPixels = 0;
    int boundaryPoints = 0;
};

constexpr int kWindowRadius = 110;

HorizonReading MeasureHorizon(const std::vector<unsigned char>& rgba, int width, int height);
