// raster.h - the reference software rasterizer: triangles in homogeneous clip
// space in, samples in a colour and a depth buffer out.
//
// Contract
// - Pure and single-threaded: no OS calls, no allocation while drawing (the
//   buffers are sized by RasterResize / ShadowMapResize), no global state.
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
};

struct RasterCounters {
    std::uint64_t triangles = 0; // triangles handed in
    std::uint64_t drawn = 0;     // triangles left after clipping, rasterized
};

// Draws indexed triangles (three indices each, all < vertexCount).
void RasterDrawTriangles(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                         const RasterVertex* vertices, std::size_t vertexCount,
                         const std::uint32_t* indices, std::size_t triangleCount,
                         const RasterShading& shading, RasterCounters* counters);

// Draws the same triangles seen from the light (lightX, lightY, lightW as clip
// coordinates, the whole map as viewport) into the shadow map as caster
// `casterIndex`. Texels with alpha below 128 cast nothing.
void ShadowDrawTriangles(ShadowMap* map, float nearW, float farW, const RasterVertex* vertices,
                         std::size_t vertexCount, const std::uint32_t* indices,
                         std::size_t triangleCount, const RasterTexture& texture, int casterIndex);
