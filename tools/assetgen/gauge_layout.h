// Gauge layout: every size of the default gauge archive, derived from the scene the gauge builds.
//
// The scene is fixed by the gauge and the engine, not by this archive: camera at (0, 0, 450)
// looking at the origin, up +y, vertical field of view 30 degrees on a square 400 x 400 view;
// frame entity at z = 190 scaled 0.8; mask entity at z = 180 scaled (1.6, 1.6, 1); drum carried
// by node 0 at z = 100 and turned by Rz(bank) * Rx(pitch). Lengths here are mesh units (before the
// entity's scale); a name ending in World is in world units. docs/archive-format.md explains the
// same numbers for skin makers.
#pragma once

namespace assetgen {

inline constexpr double kPi = 3.14159265358979323846;

inline constexpr double kCameraZ = 450.0;
inline constexpr double kHalfFovDeg = 15.0;
inline constexpr double kTanHalfFov = 0.26794919243112270; // tan(15 degrees)

inline constexpr double kFrameZ = 190.0;
inline constexpr double kFrameScale = 0.8;
inline constexpr double kMaskZ = 180.0;
inline constexpr double kMaskScaleXY = 1.6;
inline constexpr double kDrumZ = 100.0;

// Drum: a cylinder about x. The radius is bounded by the mask (front at 100 + 72 = 172, 8 units
// behind it); a large radius spreads the pitch ladder, 10 degrees being 72 * sin(10) = 12.5 world
// units, about 34 pixels at the front. Its silhouette (0.78 of the half view) and its length (the
// ends at 0.86 of the half view) both reach well past the mask's window (0.64), so the ends stay
// hidden even when the camera is stepped nearer.
inline constexpr double kDrumRadius = 72.0;
inline constexpr double kDrumHalfLength = 64.0;
// Three degrees a facet: a ladder mark between two vertices lands within 0.001 degree of
// its true angle, and the drum costs the renderer a sixth of what one facet per degree did
// (it is drawn three times a frame: shadow map, depth, colour).
inline constexpr int kDrumSegments = 120;
inline constexpr int kDrumRings = 4;
inline constexpr int kDrumTextureWidth = 1024;
inline constexpr int kDrumTextureHeight = 2048;
// Texture v of the drum for an angle around it, measured from the front (+z) toward +y, in
// degrees: the horizon at the image's middle row, the sky above it (+y side), the seam at the
// back horizon where sky meets ground anyway.
inline constexpr double DrumV(double phiDeg) {
    return 0.5 - phiDeg / 360.0;
}
// The caps sample this texel column: a dark rim band painted along both image edges.
inline constexpr double kDrumRimWorld = 1.0;

// Mask: a square plate with a round window. Its inscribed circle (46 * 1.6 = 73.6 world) covers
// the frame's opening (54 world where it meets the mask plane) at every bank angle.
inline constexpr double kMaskHalfSize = 46.0;
inline constexpr double kMaskWindowRadius = 29.0; // 46.4 world: 0.64 of the half view, 128 px
inline constexpr double kMaskHoleRadius = 28.6;   // geometry hole, just inside the alpha edge
inline constexpr double kMaskRingOuterRadius = 36.0;
inline constexpr int kMaskTextureSize = 1024;

// Frame: a square plate larger than the view (87.1 mesh units at its distance), with a round
// opening of 65 (52 world: 0.746 of the half view, 149 px) that shows the mask's ring and pointer.
inline constexpr double kFrameHalfSize = 92.0;
inline constexpr double kFrameOpeningRadius = 65.0;
inline constexpr double kFrameHoleRadius = 64.5;
// The aircraft symbol sits on a strip of the plate left across the opening.
inline constexpr double kSymbolWingInner = 24.0;
inline constexpr double kSymbolWingOuter = 50.0;
inline constexpr double kSymbolStripHalfWidth = 53.0;
inline constexpr double kSymbolStripTop = 5.0;
inline constexpr double kSymbolStripBottom = -9.0;
inline constexpr int kFrameTextureSize = 1024;

// A multiple of 8, so that the plate's corners are hit. The holes' chords sag 0.04 mesh units at
// most, well inside the 0.4 between a hole and its texture's alpha edge.
inline constexpr int kPlateSegments = 64;

} // namespace assetgen
