// raster.h - the reference software rasterizer: triangles in homogeneous clip
// space in, samples in a colour and a depth buffer out.
//
// Contract
// - Pure and single-threaded: no OS calls, no allocation while drawing (the
//   buffers are sized by RasterResize / ShadowMapResize; a layer record grows
//   when it records), no global state.
//   Deterministic: the same calls give the same bits on every build (the file
//   is compiled with -ffp-contract=off; only IEEE +, -, *, / are used).
// - Clip space: x and y are visible within [-w, w]; w is the distance in front
//   of the eye. Depth is 1/w (larger is nearer; 0 = nothing drawn), which is
//   linear in screen space and also drives perspective-correct interpolation.
// - Clipping: polygons are clipped in homogeneous space against w >= nearW and
//   w <= farW, and against a guard band |x|, |y| <= 4w that keeps the fixed-
//   point edge functions in range; the viewport rectangle scissors the rest.
// - Coverage: vertices snap to 1/16 pixel; integer edge functions with the
//   top-left fill rule, so triangles sharing an edge cover each sample exactly
//   once. One sample at the pixel centre, or four on a rotated grid (offsets
//   (-2,-6) (6,-2) (-6,2) (2,6) sixteenths from the centre). Shading runs once
//   per pixel and triangle, at the pixel centre; each covered sample that passes
//   the depth test takes the result (multisampling).
// - Back faces are culled: a triangle is drawn when it winds counter-clockwise
//   on screen (clockwise when the shading says the transform mirrors). The
//   shadow map takes both faces.
// - Shading: texel = bilinear filter of the premultiplied texture at (u, v),
//   clamped to the edge texels; (0, 0) is the top left of the image; no texture
//   = white. Light = ambient + (1 - ambient) * diffuse * light colour, where the
//   diffuse term comes from the vertices and the light colour gives way to the
//   shadow colour where the shadow map says a caster other than this one is
//   nearer the light (2 x 2 filtered).
// - Opaque draws write colour and depth; blended draws composite premultiplied
//   colour over the samples ("over") with the depth test on and no depth write.
//   Texels with alpha 0 leave the samples untouched in both.
// - Colours are 0xAARRGGBB; the buffers' alpha is always 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct RasterTarget {
    int width = 0;
    int height = 0;
    int samples = 1;                   // 1 or 4
    std::vector<std::uint32_t> colour; // pixel p, sample s at p * samples + s
    std::vector<float> depth;          // 1/w per sample
    // Occlusion skipping (RasterOcclusion*): per sample, the depth the opaque
    // draws will leave, and the latest blended layer that overwrites it with a
    // fully opaque texel (0 = none). Sized with the rest; used while
    // `occlusion` is on.
    std::vector<float> coverDepth;
    std::vector<std::uint8_t> cover;
    bool occlusion = false;
};

// Sizes the buffers (clamped to at least 1 x 1); contents are undefined until cleared.
void RasterResize(RasterTarget* target, int width, int height, int samples);

struct RasterRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // [x0, x1) x [y0, y1), in pixels
};

// Fills the rectangle (clipped to the target) with `colour` and depth 0.
void RasterClear(RasterTarget* target, RasterRect rect, std::uint32_t colour);

// Averages each pixel's samples into `pixels` (width * height, 0xFFRRGGBB).
void RasterResolve(const RasterTarget& target, std::uint32_t* pixels);

// Depth map seen from a light, for shadows: q = 1/w from the light, and the
// index of the caster that is nearest there.
struct ShadowMap {
    int size = 0;
    std::vector<float> depth;          // 0 = no caster
    std::vector<std::uint16_t> caster; // valid where depth > 0
};

void ShadowMapResize(ShadowMap* map, int size);
void ShadowMapClear(ShadowMap* map);

// One vertex after the transform: clip-space position, texture coordinates,
// the diffuse term (0..1) of its front face, and the position in the light's
// clip space (for shadows).
struct RasterVertex {
    float x = 0, y = 0, w = 1;
    float u = 0, v = 0;
    float diffuse = 0;
    float lightX = 0, lightY = 0, lightW = 1;
};

struct RasterTexture {
    const std::uint32_t* texels = nullptr; // premultiplied 0xAARRGGBB, row 0 on top
    int width = 0;
    int height = 0;
    bool opaque = true;
};

struct RasterShading {
    RasterTexture texture;           // texels null = untextured white
    bool blend = false;              // composite "over", no depth write
    int ambient = 90;                // 0..256 (256 = full)
    int lightColour[3] = {0, 0, 0};  // r, g, b 0..255
    int shadowColour[3] = {0, 0, 0}; // light colour used inside shadows
    const ShadowMap* shadow = nullptr;
    int casterIndex = -1;                // this mesh's own index in the shadow map, or -1
    float shadowBias = 0.005f;           // relative depth margin against self-shadowing
    bool frontIsCounterClockwise = true; // false for mirroring transforms
    // Position in the frame's draw order while occlusion skipping is on: 0 for
    // opaque draws, 1..kRasterMaxLayer for the blended ones, nearer layers drawn later.
    int layer = 0;
};

inline constexpr int kRasterMaxLayer = 254;

struct RasterCounters {
    std::uint64_t triangles = 0; // triangles handed in
    std::uint64_t drawn = 0;     // triangles left after clipping, rasterized
};

// Draws indexed triangles (three indices each, all < vertexCount).
void RasterDrawTriangles(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                         const RasterVertex* vertices, std::size_t vertexCount,
                         const std::uint32_t* indices, std::size_t triangleCount,
                         const RasterShading& shading, RasterCounters* counters);

// Occlusion skipping: a sample that a later blended layer overwrites with a
// fully opaque texel (alpha 255 replaces, whatever lies under it) need not be
// shaded by anything drawn before that layer. Since blended draws write no
// depth, their depth tests see exactly what the opaque draws leave; so the
// frame can be known in advance:
//   RasterOcclusionBegin(rect)             clears the record inside rect
//   RasterOcclusionDepth(opaque draw)...   the depth the opaque draws leave
//   RasterOcclusionCover(blended draw)...  each blended layer, nearest first
//   RasterDrawTriangles(...)...            the frame, in its order, skipping
//   RasterOcclusionEnd()
// The frame's bits are the same as without it, provided the draws between
// Begin and End are exactly the ones announced (same vertices and shading).
// Opaque draws still write depth where they are hidden.
struct RasterLayerRecord;
void RasterOcclusionBegin(RasterTarget* target, RasterRect rect);
void RasterOcclusionEnd(RasterTarget* target);
void RasterOcclusionDepth(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                          const RasterVertex* vertices, std::size_t vertexCount,
                          const std::uint32_t* indices, std::size_t triangleCount,
                          const RasterShading& shading);
// shading.layer outside 1..kRasterMaxLayer records nothing.
void RasterOcclusionCover(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                          const RasterVertex* vertices, std::size_t vertexCount,
                          const std::uint32_t* indices, std::size_t triangleCount,
                          const RasterShading& shading, RasterLayerRecord* record = nullptr);

// A blended draw depends on the target only through the depth test and what
// it blends over; a record of what it puts in each pixel (coverage, sample
// depths, texel, diffuse share and where it reads the shadow map) replays it
// exactly (shadows read from the map of the moment) for as long
// as its inputs stay the same (the gauge's bezel is drawn identically in every
// frame). RasterDrawLayer and RasterOcclusionCover take a record (or null):
// they compare the draw's inputs with the recorded ones and, once they have
// stayed the same for a few calls, record (this allocates) and replay. A draw that covers a sample
// twice (its result would depend on its own order) or is not eligible is drawn as usual. The caller
// keeps the texture alive and unchanged while a record names it (the record keeps its address, not
// its texels).
struct RasterLayerEntry {
    std::uint32_t pixel = 0; // y * width + x
    std::uint32_t texel = 0; // filtered texel
    std::uint32_t mask = 0;  // covered samples
    int scaled = 0;          // diffuse share of the light, 0..256
    float depth[4] = {0, 0, 0, 0};
    int shadowTest = 0;          // the shadow map is read here
    std::uint32_t triangle = 0;  // in RasterLayerRecord::triangles
    float ox = 0, oy = 0, q = 0; // pixel centre relative to the triangle's origin; 1/w there
};

// A drawn triangle of a record: its vertices and screen geometry.
struct RasterLayerTriangle {
    std::uint32_t index[3] = {0, 0, 0};
    double ex[3] = {0, 0, 0}, ey[3] = {0, 0, 0}, det = 1;
    float q[3] = {0, 0, 0};
};

struct RasterLayerRecord {
    int width = 0, height = 0, samples = 0;
    RasterRect viewport;
    float nearW = 0, farW = 0;
    std::vector<RasterVertex> vertices;
    std::vector<std::uint32_t> indices;
    RasterShading shading;
    bool shadowed = false;
    bool recorded = false;     // the inputs above are set
    int unchanged = 0;         // calls since with the same inputs
    bool entriesValid = false; // entries and replayable describe the inputs
    bool replayable = false;
    RasterCounters counters;
    std::vector<RasterLayerEntry> entries;
    std::vector<RasterLayerTriangle> triangles;
    std::vector<float> lightPlanes; // scratch of the replay
    std::vector<std::uint8_t> seen; // samples covered so far, while recording
};

void RasterDrawLayer(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                     const RasterVertex* vertices, std::size_t vertexCount,
                     const std::uint32_t* indices, std::size_t triangleCount,
                     const RasterShading& shading, RasterCounters* counters,
                     RasterLayerRecord* record);

// Draws the same triangles seen from the light (lightX, lightY, lightW as clip
// coordinates, the whole map as viewport) into the shadow map as caster
// `casterIndex`. Texels with alpha below 128 cast nothing.
void ShadowDrawTriangles(ShadowMap* map, float nearW, float farW, const RasterVertex* vertices,
                         std::size_t vertexCount, const std::uint32_t* indices,
                         std::size_t triangleCount, const RasterTexture& texture, int casterIndex);
