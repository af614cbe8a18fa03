// The reference software rasterizer. See raster.h for the contract.
//
// Layout of the work per triangle: clip in homogeneous space (only when an
// outcode says so), project and snap to 1/16 pixel, set up three integer edge
// functions and the attribute planes, then walk the rows of the bounding box
// between the columns the edges allow (Traverse).
#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kSubpixel = 16;
constexpr float kGuardBand = 4.0f;
constexpr int kSampleOffsets4[4][2] = {{-2, -6}, {6, -2}, {-6, 2}, {2, 6}};

// A vertex while clipping: position (x, y, w) and up to six attributes,
// all interpolated linearly in clip space.
constexpr int kClipFloats = 9;
struct ClipVertex {
    float f[kClipFloats];
};
constexpr int kMaxPolygon = 3 + 6;

enum : unsigned {
    kClipNear = 1u << 0,
    kClipFar = 1u << 1,
    kClipLeft = 1u << 2,
    kClipRight = 1u << 3,
    kClipBottom = 1u << 4,
    kClipTop = 1u << 5,
};

struct ClipPlanes {
    float nearW;
    float farW;
};

float PlaneDistance(const ClipVertex& v, unsigned plane, ClipPlanes planes) {
    const float x = v.f[0], y = v.f[1], w = v.f[2];
    switch (plane) {
    case kClipNear:
        return w - planes.nearW;
    case kClipFar:
        return planes.farW - w;
    case kClipLeft:
        return x + kGuardBand * w;
    case kClipRight:
        return kGuardBand * w - x;
    case kClipBottom:
        return y + kGuardBand * w;
    default:
        return kGuardBand * w - y;
    }
}

unsigned Outcode(const ClipVertex& v, ClipPlanes planes) {
    unsigned code = 0;
    for (unsigned plane = kClipNear; plane <= kClipTop; plane <<= 1)
        if (!(PlaneDistance(v, plane, planes) >= 0.0f)) code |= plane;
    return code;
}

// Sutherland-Hodgman against the planes in `planes`. The intersection is always
// computed from the inside vertex toward the outside one, so two triangles that
// share a clipped edge get bit-identical new vertices.
int ClipPolygon(ClipVertex* polygon, int count, unsigned planeMask, ClipPlanes planes) {
    ClipVertex scratch[kMaxPolygon];
    for (unsigned plane = kClipNear; plane <= kClipTop && count > 0; plane <<= 1) {
        if ((planeMask & plane) == 0) continue;
        int out = 0;
        for (int i = 0; i < count; ++i) {
            const ClipVertex& a = polygon[i];
            const ClipVertex& b = polygon[(i + 1) % count];
            const float da = PlaneDistance(a, plane, planes);
            const float db = PlaneDistance(b, plane, planes);
            const bool aIn = da >= 0.0f, bIn = db >= 0.0f;
            if (aIn) scratch[out++] = a;
            if (aIn != bIn && out < kMaxPolygon) {
                const ClipVertex& inside = aIn ? a : b;
                const ClipVertex& outside = aIn ? b : a;
                const float dIn = aIn ? da : db, dOut = aIn ? db : da;
                const float t = dIn / (dIn - dOut);
                ClipVertex& v = scratch[out++];
                for (int k = 0; k < kClipFloats; ++k)
                    v.f[k] = inside.f[k] + (outside.f[k] - inside.f[k]) * t;
            }
        }
        count = out;
        std::copy(scratch, scratch + count, polygon);
    }
    return count;
}

// A snapped screen-space vertex.
struct ScreenVertex {
    std::int64_t x, y; // 1/16 pixel
    float q;           // 1/w
    const ClipVertex* clip;
};

struct Plane {
    float f0 = 0, dx = 0, dy = 0;
    float At(float ox, float oy) const { return f0 + dx * ox + dy * oy; }
};

// The edge functions, attribute planes and pixel bounds of one triangle.
struct Setup {
    std::int64_t a[3], b[3], c[3];
    std::int64_t sampleOffset[3]
                             [4]; // edge value at each sample minus at the centre, with fill bias
    int samples;
    int x0, y0, x1, y1;     // pixel bounds, [x0, x1) x [y0, y1)
    float originX, originY; // vertex 0 in pixels: attribute planes are relative to it
};

// Plane through three values at the snapped vertices (relative to vertex 0).
Plane MakePlane(const double ex[3], const double ey[3], double det, float f0, float f1, float f2) {
    const double d1 = static_cast<double>(f1) - f0, d2 = static_cast<double>(f2) - f0;
    Plane p;
    p.f0 = f0;
    p.dx = static_cast<float>((d1 * ey[2] - d2 * ey[1]) / det);
    p.dy = static_cast<float>((d2 * ex[1] - d1 * ex[2]) / det);
    return p;
}

enum class Faces { Front, Both };

// Returns false when the triangle covers no area, no pixel of the scissor, or
// is a back face that is not wanted.
bool SetupTriangle(ScreenVertex v[3], RasterRect scissor, int samples, bool frontIsCcw, Faces faces,
                   Setup* s) {
    std::int64_t area =
        (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[2].x - v[0].x) * (v[1].y - v[0].y);
    if (area == 0) return false;
    // Screen y points down, so a triangle counter-clockwise in the world has a
    // negative area here. Make every triangle positive for the edge tests.
    if (faces == Faces::Front && (area < 0) != frontIsCcw) return false;
    if (area < 0) {
        std::swap(v[1], v[2]);
        area = -area;
    }
    std::int64_t minX = std::min({v[0].x, v[1].x, v[2].x}),
                 maxX = std::max({v[0].x, v[1].x, v[2].x});
    std::int64_t minY = std::min({v[0].y, v[1].y, v[2].y}),
                 maxY = std::max({v[0].y, v[1].y, v[2].y});
    s->x0 = static_cast<int>(std::max<std::int64_t>(scissor.x0, (minX >> 4) - 1));
    s->x1 = static_cast<int>(std::min<std::int64_t>(scissor.x1, (maxX >> 4) + 2));
    s->y0 = static_cast<int>(std::max<std::int64_t>(scissor.y0, (minY >> 4) - 1));
    s->y1 = static_cast<int>(std::min<std::int64_t>(scissor.y1, (maxY >> 4) + 2));
    if (s->x0 >= s->x1 || s->y0 >= s->y1) return false;

    s->samples = samples;
    for (int e = 0; e < 3; ++e) {
        const ScreenVertex& p = v[e];
        const ScreenVertex& q = v[(e + 1) % 3];
        s->a[e] = p.y - q.y;
        s->b[e] = q.x - p.x;
        s->c[e] = -(s->a[e] * p.x + s->b[e] * p.y);
        // Top-left rule: samples exactly on a right or bottom edge belong to
        // the neighbour, so they need a strictly positive value here.
        const bool topLeft = s->a[e] > 0 || (s->a[e] == 0 && s->b[e] > 0);
        const std::int64_t bias = topLeft ? 0 : -1;
        for (int k = 0; k < 4; ++k) {
            const int ox = samples == 4 ? kSampleOffsets4[k][0] : 0;
            const int oy = samples == 4 ? kSampleOffsets4[k][1] : 0;
            s->sampleOffset[e][k] = s->a[e] * ox + s->b[e] * oy + bias;
        }
    }
    s->originX = static_cast<float>(static_cast<double>(v[0].x) / kSubpixel);
    s->originY = static_cast<float>(static_cast<double>(v[0].y) / kSubpixel);
    return true;
}

// floor and ceil for values well inside the int range. std::floor is a call
// into the C library on baseline x86-64 (no SSE4.1); these are not.
inline int FloorToInt(double t) {
    const int i = static_cast<int>(t);
    return t < static_cast<double>(i) ? i - 1 : i;
}
inline int CeilToInt(double t) {
    const int i = static_cast<int>(t);
    return t > static_cast<double>(i) ? i + 1 : i;
}
inline int FloorToInt(float t) {
    const int i = static_cast<int>(t);
    return t < static_cast<float>(i) ? i - 1 : i;
}

// Walks the covered pixels: fn(x, y, mask) with one bit per covered sample.
//
// Row by row, each edge bounds the columns where it can pass any sample (a
// superset, from a division in double) and where it passes every sample (a
// subset): columns inside all three "every" bounds are wholly covered and skip
// the per-sample tests, the others between the "any" bounds are tested exactly.
// Long thin triangles (the slivers of a drum) thus cost their own pixels only.
// flatten: the pixel function and what it calls are inlined into the walk.
template <int S, typename Fn> __attribute__((flatten)) void Traverse(const Setup& s, Fn&& fn) {
    constexpr unsigned kFull = (1u << S) - 1;
    std::int64_t offMin[3], offMax[3];
    double inverse[3];
    for (int e = 0; e < 3; ++e) {
        offMin[e] = offMax[e] = s.sampleOffset[e][0];
        for (int k = 1; k < S; ++k) {
            offMin[e] = std::min(offMin[e], s.sampleOffset[e][k]);
            offMax[e] = std::max(offMax[e], s.sampleOffset[e][k]);
        }
        inverse[e] = s.a[e] != 0 ? 1.0 / (static_cast<double>(s.a[e]) * kSubpixel) : 0.0;
    }
    const double lowest = s.x0 - 1, highest = s.x1;
    // Column bound of a * x + b >= 0 (a = 16 * edge a), as a double in range.
    const auto bound = [&](int e, std::int64_t b) {
        return std::clamp(-static_cast<double>(b) * inverse[e], lowest, highest);
    };
    for (int y = s.y0; y < s.y1; ++y) {
        int anyLo = s.x0, anyHi = s.x1 - 1, fullLo = s.x0, fullHi = s.x1 - 1;
        std::int64_t rowValue[3]; // edge value at the centre of column 0
        for (int e = 0; e < 3; ++e) {
            rowValue[e] = s.a[e] * (kSubpixel / 2) +
                          s.b[e] * (static_cast<std::int64_t>(y) * kSubpixel + kSubpixel / 2) +
                          s.c[e];
            const std::int64_t any = rowValue[e] + offMax[e], every = rowValue[e] + offMin[e];
            if (s.a[e] == 0) {
                if (any < 0) anyHi = anyLo - 1;
                if (every < 0) fullHi = fullLo - 1;
            } else if (s.a[e] > 0) {
                anyLo = std::max(anyLo, FloorToInt(bound(e, any)));
                fullLo = std::max(fullLo, CeilToInt(bound(e, every)) + 1);
            } else {
                anyHi = std::min(anyHi, CeilToInt(bound(e, any)));
                fullHi = std::min(fullHi, FloorToInt(bound(e, every)) - 1);
            }
        }
        if (anyLo > anyHi) continue;
        const std::int64_t step[3] = {s.a[0] * kSubpixel, s.a[1] * kSubpixel, s.a[2] * kSubpixel};
        std::int64_t e0 = rowValue[0] + step[0] * anyLo, e1 = rowValue[1] + step[1] * anyLo,
                     e2 = rowValue[2] + step[2] * anyLo;
        for (int x = anyLo; x <= anyHi; ++x, e0 += step[0], e1 += step[1], e2 += step[2]) {
            if (x >= fullLo && x <= fullHi) {
                fn(x, y, kFull);
                continue;
            }
            unsigned mask = 0;
            for (int k = 0; k < S; ++k) {
                const bool in = e0 + s.sampleOffset[0][k] >= 0 && e1 + s.sampleOffset[1][k] >= 0 &&
                                e2 + s.sampleOffset[2][k] >= 0;
                mask |= static_cast<unsigned>(in) << k;
            }
            if (mask != 0) fn(x, y, mask);
        }
    }
}

// Projects a clipped polygon to the viewport and snaps it. Returns false if a
// coordinate is not finite (which clipping should already have prevented).
bool Project(const ClipVertex* polygon, int count, RasterRect viewport, ScreenVertex* out) {
    const double width = viewport.x1 - viewport.x0, height = viewport.y1 - viewport.y0;
    for (int i = 0; i < count; ++i) {
        const double w = polygon[i].f[2];
        const double invW = 1.0 / w;
        const double sx = viewport.x0 + (polygon[i].f[0] * invW * 0.5 + 0.5) * width;
        const double sy = viewport.y0 + (0.5 - polygon[i].f[1] * invW * 0.5) * height;
        if (!std::isfinite(sx) || !std::isfinite(sy)) return false;
        out[i].x = static_cast<std::int64_t>(std::floor(sx * kSubpixel + 0.5));
        out[i].y = static_cast<std::int64_t>(std::floor(sy * kSubpixel + 0.5));
        out[i].q = static_cast<float>(invW);
        out[i].clip = &polygon[i];
    }
    return true;
}

inline std::uint32_t Lerp(std::uint32_t a, std::uint32_t b, std::uint32_t f) {
    const std::uint32_t g = 256 - f;
    const std::uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    const std::uint32_t ag =
        (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
    return rb | ag;
}

// Texel coordinate along one axis in 1/256 texel: the two neighbours and the
// weight of the second (0..255), clamped to the edge texels. NaN lands on
// texel 0.
inline void TexelAxis(float t, int size, int* i0, int* i1, std::uint32_t* frac) {
    float p = t * static_cast<float>(size * 256) - 128.0f;
    if (!(p > 0.0f)) p = 0.0f;
    const float last = static_cast<float>((size - 1) * 256);
    if (p > last) p = last;
    const int fixed = static_cast<int>(p);
    const int i = fixed >> 8;
    *i0 = i;
    *i1 = i + 1 < size ? i + 1 : i;
    *frac = static_cast<std::uint32_t>(fixed & 0xFF);
}

inline std::uint32_t SampleBilinear(const RasterTexture& t, float u, float v) {
    int x0, x1, y0, y1;
    std::uint32_t fx, fy;
    TexelAxis(u, t.width, &x0, &x1, &fx);
    TexelAxis(v, t.height, &y0, &y1, &fy);
    const std::uint32_t* row0 = t.texels + static_cast<std::size_t>(y0) * t.width;
    const std::uint32_t* row1 = t.texels + static_cast<std::size_t>(y1) * t.width;
    return Lerp(Lerp(row0[x0], row0[x1], fx), Lerp(row1[x0], row1[x1], fx), fy);
}

inline std::uint32_t SampleNearestAlpha(const RasterTexture& t, float u, float v) {
    int x0, x1, y0, y1;
    std::uint32_t fx, fy;
    TexelAxis(u, t.width, &x0, &x1, &fx);
    TexelAxis(v, t.height, &y0, &y1, &fy);
    const int x = fx >= 128 ? x1 : x0, y = fy >= 128 ? y1 : y0;
    return t.texels[static_cast<std::size_t>(y) * t.width + x] >> 24;
}

// Premultiplied "over" with exact rounding of the destination's share.
inline std::uint32_t Over(std::uint32_t src, std::uint32_t dst) {
    const std::uint32_t inv = 255 - (src >> 24);
    std::uint32_t rb = (dst & 0x00FF00FFu) * inv + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t g = ((dst >> 8) & 0xFFu) * inv + 0x80u;
    g = ((g + (g >> 8)) >> 8) & 0xFFu;
    return 0xFF000000u | ((src & 0x00FF00FFu) + rb) | ((((src >> 8) & 0xFFu) + g) << 8);
}

// Fraction of a receiver point in shadow, 0..256, from four filtered taps.
inline std::uint32_t ShadowFraction(const ShadowMap& map, float sx, float sy, float q, float bias,
                                    int own) {
    const float size = static_cast<float>(map.size);
    float tx = (sx * 0.5f + 0.5f) * size - 0.5f;
    float ty = (0.5f - sy * 0.5f) * size - 0.5f;
    if (!(tx > -1.0f && tx < size && ty > -1.0f && ty < size)) return 0;
    const int ix = FloorToInt(tx), iy = FloorToInt(ty);
    const std::uint32_t wx = static_cast<std::uint32_t>((tx - static_cast<float>(ix)) * 256.0f);
    const std::uint32_t wy = static_cast<std::uint32_t>((ty - static_cast<float>(iy)) * 256.0f);
    const float limit = q * (1.0f + bias);
    const bool inside = ix >= 0 && iy >= 0 && ix + 1 < map.size && iy + 1 < map.size;
    std::uint32_t shadow = 0;
    for (int k = 0; k < 4; ++k) {
        const int x = ix + (k & 1), y = iy + (k >> 1);
        if (!inside && (x < 0 || y < 0 || x >= map.size || y >= map.size)) continue;
        const std::size_t at = static_cast<std::size_t>(y) * map.size + x;
        if (map.depth[at] > limit && map.caster[at] != own) {
            const std::uint32_t weight = ((k & 1) ? wx : 256 - wx) * ((k >> 1) ? wy : 256 - wy);
            shadow += weight;
        }
    }
    return shadow >> 8;
}

struct Interpolants {
    Plane q, uq, vq, dq, lxq, lyq, lwq;
    float sampleQ[4];
};

// What a walk over a triangle does: draw it, or only record for occlusion
// skipping the depth it leaves (an opaque draw) or where it covers with alpha
// 255 (a blended draw). All three compute q along the same walk, so the
// recorded depth is the drawn one to the bit.
enum class Pass { Draw, Depth, Cover, Record };

template <int S, Pass P>
void DrawSetup(RasterTarget* target, const Setup& s, const ScreenVertex v[3],
               const RasterShading& shading, RasterLayerRecord* record) {
    // Planes relative to vertex 0, in pixels.
    double ex[3], ey[3];
    for (int i = 0; i < 3; ++i) {
        ex[i] = static_cast<double>(v[i].x - v[0].x) / kSubpixel;
        ey[i] = static_cast<double>(v[i].y - v[0].y) / kSubpixel;
    }
    const double det = ex[1] * ey[2] - ex[2] * ey[1];
    auto plane = [&](int slot) {
        return MakePlane(ex, ey, det, v[0].clip->f[slot] * v[0].q, v[1].clip->f[slot] * v[1].q,
                         v[2].clip->f[slot] * v[2].q);
    };
    if constexpr (P == Pass::Record) {
        RasterLayerTriangle& t = record->triangles.back();
        for (int i = 0; i < 3; ++i) {
            t.ex[i] = ex[i], t.ey[i] = ey[i];
            t.q[i] = v[i].q;
        }
        t.det = det;
    }
    Interpolants in;
    in.q = MakePlane(ex, ey, det, v[0].q, v[1].q, v[2].q);
    in.uq = plane(3);
    in.vq = plane(4);
    in.dq = plane(5);
    const bool shadowed = shading.shadow != nullptr && shading.shadow->size > 0;
    if (shadowed) {
        in.lxq = plane(6);
        in.lyq = plane(7);
        in.lwq = plane(8);
    }
    for (int k = 0; k < S; ++k) {
        const float ox = S == 4 ? static_cast<float>(kSampleOffsets4[k][0]) / kSubpixel : 0.0f;
        const float oy = S == 4 ? static_cast<float>(kSampleOffsets4[k][1]) / kSubpixel : 0.0f;
        in.sampleQ[k] = in.q.dx * ox + in.q.dy * oy;
    }

    const bool textured = shading.texture.texels != nullptr && shading.texture.width > 0 &&
                          shading.texture.height > 0;
    const RasterTexture texture = shading.texture;
    const int ambient = std::clamp(shading.ambient, 0, 256);
    const int direct = 256 - ambient;
    int lit[3], dark[3];
    for (int c = 0; c < 3; ++c) {
        lit[c] = shading.lightColour[c] + (shading.lightColour[c] >> 7); // 0..256
        dark[c] = shading.shadowColour[c] + (shading.shadowColour[c] >> 7);
    }
    // White light and no shadow test: one factor for all three channels.
    const bool grey = !shadowed && lit[0] == lit[1] && lit[1] == lit[2];
    const bool blend = shading.blend;
    const ShadowMap* shadowMap = shading.shadow;
    const float shadowBias = shading.shadowBias;
    const int casterIndex = shading.casterIndex;
    const int width = target->width;
    std::uint32_t* const colour = target->colour.data();
    float* const depth = P == Pass::Draw ? target->depth.data() : target->coverDepth.data();
    const float originX = s.originX, originY = s.originY;
    std::uint8_t* const cover = target->cover.data();
    const bool occlusion =
        P == Pass::Draw && target->occlusion && target->cover.size() == target->colour.size();
    const int layer = shading.layer;
    // An opaque draw whose depth writes cannot depend on its texels (no texel
    // can have alpha 0) may write depth alone where it is hidden.
    const bool depthAlone = !blend && (!textured || texture.opaque);
    const auto hiddenFrom = [cover](std::size_t base, int from) {
        unsigned bits = 0;
        for (int k = 0; k < S; ++k)
            bits |= static_cast<unsigned>(cover[base + k] > from) << k;
        return bits;
    };

    // Everything by value so the compiler keeps it in registers across the
    // stores into the buffers.
    // Along a row the planes step by their x gradient; each row (and each
    // jump) starts again from the plane itself, so nothing drifts far.
    int lastX = -2, lastY = -1;
    float q = 0, uq = 0, vq = 0, dq = 0;
    auto pixel = [=](int x, int y, unsigned mask) mutable {
        const float ox = static_cast<float>(x) + 0.5f - originX;
        const float oy = static_cast<float>(y) + 0.5f - originY;
        if (y == lastY && x == lastX + 1) {
            q += in.q.dx, uq += in.uq.dx, vq += in.vq.dx, dq += in.dq.dx;
        } else {
            q = in.q.At(ox, oy), uq = in.uq.At(ox, oy), vq = in.vq.At(ox, oy),
            dq = in.dq.At(ox, oy);
        }
        lastX = x, lastY = y;
        const std::size_t base = (static_cast<std::size_t>(y) * width + x) * S;
        unsigned pass = 0;
        if constexpr (P == Pass::Record) {
            pass = mask;
        } else if constexpr (S == 4) {
            pass = static_cast<unsigned>(q + in.sampleQ[0] > depth[base]) |
                   static_cast<unsigned>(q + in.sampleQ[1] > depth[base + 1]) << 1 |
                   static_cast<unsigned>(q + in.sampleQ[2] > depth[base + 2]) << 2 |
                   static_cast<unsigned>(q + in.sampleQ[3] > depth[base + 3]) << 3;
        } else {
            pass = static_cast<unsigned>(q + in.sampleQ[0] > depth[base]);
        }
        pass &= mask;
        if (pass == 0) return;
        if constexpr (P == Pass::Depth) {
            if (!depthAlone) {
                const float w = 1.0f / std::max(q, 1e-20f);
                if (textured && (SampleBilinear(texture, uq * w, vq * w) >> 24) == 0) return;
            }
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) depth[base + k] = q + in.sampleQ[k];
            return;
        } else if constexpr (P == Pass::Cover) {
            pass &= ~hiddenFrom(base, layer - 1);
            if (pass == 0) return;
            if (textured) {
                const float w = 1.0f / std::max(q, 1e-20f);
                if ((SampleBilinear(texture, uq * w, vq * w) >> 24) != 255) return;
            }
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) cover[base + k] = static_cast<std::uint8_t>(layer);
            return;
        }
        if (occlusion) {
            const unsigned hidden = hiddenFrom(base, layer);
            if (blend) {
                pass &= ~hidden;
                if (pass == 0) return;
            } else if ((pass & ~hidden) == 0 && depthAlone) {
                for (int k = 0; k < S; ++k)
                    if ((pass >> k) & 1u) depth[base + k] = q + in.sampleQ[k];
                return;
            }
        }

        // Outside the triangle (a partly covered pixel) q may extrapolate to
        // nothing; keep w finite and positive.
        const float w = 1.0f / std::max(q, 1e-20f);
        std::uint32_t texel = 0xFFFFFFFFu;
        if (textured) {
            texel = SampleBilinear(texture, uq * w, vq * w);
            if ((texel >> 24) == 0) return;
        }
        float d = dq * w;
        d = d > 0.0f ? (d < 1.0f ? d : 1.0f) : 0.0f;
        const int di = static_cast<int>(d * 256.0f + 0.5f);
        const int scaled = (direct * di) >> 8;
        if constexpr (P == Pass::Record) {
            // The colour waits for the replay: the shadow map may change
            // between frames, the rest of the shading may not.
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            if ((record->seen[at] & pass) != 0) record->replayable = false;
            record->seen[at] = static_cast<std::uint8_t>(record->seen[at] | pass);
            RasterLayerEntry entry;
            entry.pixel = static_cast<std::uint32_t>(at);
            entry.texel = texel;
            entry.mask = pass;
            entry.scaled = scaled;
            for (int k = 0; k < S; ++k)
                entry.depth[k] = q + in.sampleQ[k];
            entry.shadowTest = shadowed && di > 0 ? 1 : 0;
            entry.triangle = static_cast<std::uint32_t>(record->triangles.size() - 1);
            entry.ox = ox, entry.oy = oy, entry.q = q;
            record->entries.push_back(entry);
            return;
        }
        std::uint32_t src;
        if (grey) {
            const std::uint32_t f = static_cast<std::uint32_t>(ambient + ((scaled * lit[0]) >> 8));
            src = (texel & 0xFF000000u) | ((((texel & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu) |
                  ((((texel & 0x0000FF00u) * f) >> 8) & 0x0000FF00u);
        } else {
            std::uint32_t inShadow = 0;
            if (shadowed && di > 0) {
                const float lwq = in.lwq.At(ox, oy);
                if (lwq > 0.0f) {
                    const float inv = 1.0f / lwq;
                    inShadow =
                        ShadowFraction(*shadowMap, in.lxq.At(ox, oy) * inv, in.lyq.At(ox, oy) * inv,
                                       q * inv, shadowBias, casterIndex);
                }
            }
            std::uint32_t rgb[3];
            for (int c = 0; c < 3; ++c) {
                const int light = (lit[c] * static_cast<int>(256 - inShadow) +
                                   dark[c] * static_cast<int>(inShadow)) >>
                                  8;
                const std::uint32_t factor =
                    static_cast<std::uint32_t>(ambient + ((scaled * light) >> 8));
                rgb[c] = (((texel >> (16 - 8 * c)) & 0xFFu) * factor) >> 8;
            }
            src = (texel & 0xFF000000u) | (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
        }

        std::uint32_t* const out = colour + base;
        if (!blend) {
            const std::uint32_t opaque = src | 0xFF000000u;
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) {
                    out[k] = opaque;
                    depth[base + k] = q + in.sampleQ[k];
                }
        } else if ((src >> 24) == 255) {
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) out[k] = src;
        } else if (S == 4 && pass == 0xFu && out[0] == out[1] && out[0] == out[2] &&
                   out[0] == out[3]) {
            // A pixel inside one surface: its samples agree, blend once.
            const std::uint32_t blended = Over(src, out[0]);
            for (int k = 0; k < S; ++k)
                out[k] = blended;
        } else {
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) out[k] = Over(src, out[k]);
        }
    };
    Traverse<S>(s, pixel);
}

template <typename Emit>
void ForEachClippedTriangle(const ClipVertex in[3], ClipPlanes planes, RasterRect viewport,
                            Emit&& emit) {
    const unsigned c0 = Outcode(in[0], planes), c1 = Outcode(in[1], planes),
                   c2 = Outcode(in[2], planes);
    if ((c0 & c1 & c2) != 0) return;
    ClipVertex polygon[kMaxPolygon];
    std::copy(in, in + 3, polygon);
    int count = 3;
    if ((c0 | c1 | c2) != 0) count = ClipPolygon(polygon, count, c0 | c1 | c2, planes);
    if (count < 3) return;
    ScreenVertex screen[kMaxPolygon];
    if (!Project(polygon, count, viewport, screen)) return;
    for (int i = 1; i + 1 < count; ++i) {
        ScreenVertex tri[3] = {screen[0], screen[i], screen[i + 1]};
        emit(tri);
    }
}

// Picks one triangle's vertices for clipping: seen from the eye (clip position
// then u, v, diffuse, light position) or from the light (light position then
// u, v). False for an index out of range or a non-finite value.
bool GatherTriangle(const RasterVertex* vertices, std::size_t vertexCount,
                    const std::uint32_t* index, bool fromLight, ClipVertex out[3]) {
    for (int k = 0; k < 3; ++k) {
        if (index[k] >= vertexCount) return false;
        const RasterVertex& r = vertices[index[k]];
        out[k] =
            fromLight
                ? ClipVertex{{r.lightX, r.lightY, r.lightW, r.u, r.v, 0, 0, 0, 0}}
                : ClipVertex{{r.x, r.y, r.w, r.u, r.v, r.diffuse, r.lightX, r.lightY, r.lightW}};
        for (float value : out[k].f)
            if (!std::isfinite(value)) return false;
    }
    return true;
}

} // namespace

void RasterResize(RasterTarget* target, int width, int height, int samples) {
    target->width = std::max(width, 1);
    target->height = std::max(height, 1);
    target->samples = samples == 4 ? 4 : 1;
    const std::size_t count = static_cast<std::size_t>(target->width) * target->height *
                              static_cast<std::size_t>(target->samples);
    target->colour.assign(count, 0xFF000000u);
    target->depth.assign(count, 0.0f);
    target->coverDepth.assign(count, 0.0f);
    target->cover.assign(count, 0);
    target->occlusion = false;
}

void RasterClear(RasterTarget* target, RasterRect rect, std::uint32_t colour) {
    const int x0 = std::max(rect.x0, 0), x1 = std::min(rect.x1, target->width);
    const int y0 = std::max(rect.y0, 0), y1 = std::min(rect.y1, target->height);
    if (x0 >= x1 || y0 >= y1) return;
    const std::size_t s = static_cast<std::size_t>(target->samples);
    const std::uint32_t value = colour | 0xFF000000u;
    for (int y = y0; y < y1; ++y) {
        const std::size_t begin = (static_cast<std::size_t>(y) * target->width + x0) * s;
        const std::size_t end = (static_cast<std::size_t>(y) * target->width + x1) * s;
        std::fill(target->colour.begin() + static_cast<std::ptrdiff_t>(begin),
                  target->colour.begin() + static_cast<std::ptrdiff_t>(end), value);
        std::fill(target->depth.begin() + static_cast<std::ptrdiff_t>(begin),
                  target->depth.begin() + static_cast<std::ptrdiff_t>(end), 0.0f);
    }
}

void RasterResolve(const RasterTarget& target, std::uint32_t* pixels) {
    const std::size_t count = static_cast<std::size_t>(target.width) * target.height;
    const std::uint32_t* c = target.colour.data();
    if (target.samples == 1) {
        for (std::size_t i = 0; i < count; ++i)
            pixels[i] = c[i] | 0xFF000000u;
        return;
    }
    for (std::size_t i = 0; i < count; ++i, c += 4) {
        const std::uint32_t rb = (c[0] & 0x00FF00FFu) + (c[1] & 0x00FF00FFu) +
                                 (c[2] & 0x00FF00FFu) + (c[3] & 0x00FF00FFu) + 0x00020002u;
        const std::uint32_t g = (c[0] & 0x0000FF00u) + (c[1] & 0x0000FF00u) + (c[2] & 0x0000FF00u) +
                                (c[3] & 0x0000FF00u) + 0x00000200u;
        pixels[i] = 0xFF000000u | ((rb >> 2) & 0x00FF00FFu) | ((g >> 2) & 0x0000FF00u);
    }
}

void ShadowMapResize(ShadowMap* map, int size) {
    map->size = std::max(size, 0);
    const std::size_t count = static_cast<std::size_t>(map->size) * map->size;
    map->depth.assign(count, 0.0f);
    map->caster.assign(count, 0);
}

void ShadowMapClear(ShadowMap* map) {
    std::fill(map->depth.begin(), map->depth.end(), 0.0f);
    std::fill(map->caster.begin(), map->caster.end(), std::uint16_t{0});
}

namespace {

template <Pass P>
void DrawTriangles(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                   const RasterVertex* vertices, std::size_t vertexCount,
                   const std::uint32_t* indices, std::size_t triangleCount,
                   const RasterShading& shading, RasterCounters* counters,
                   RasterLayerRecord* record = nullptr) {
    if (P != Pass::Draw && P != Pass::Record &&
        (target->cover.size() != target->colour.size() ||
         target->coverDepth.size() != target->colour.size()))
        return;
    RasterRect scissor{std::max(viewport.x0, 0), std::max(viewport.y0, 0),
                       std::min(viewport.x1, target->width), std::min(viewport.y1, target->height)};
    if (scissor.x0 >= scissor.x1 || scissor.y0 >= scissor.y1) return;
    const ClipPlanes planes{nearW, farW};
    for (std::size_t t = 0; t < triangleCount; ++t) {
        if (counters != nullptr) ++counters->triangles;
        ClipVertex in[3];
        if (!GatherTriangle(vertices, vertexCount, indices + t * 3, false, in)) continue;
        if constexpr (P == Pass::Record) {
            if ((Outcode(in[0], planes) | Outcode(in[1], planes) | Outcode(in[2], planes)) != 0)
                record->replayable = false;
        }
        ForEachClippedTriangle(in, planes, viewport, [&](ScreenVertex tri[3]) {
            Setup setup;
            if (!SetupTriangle(tri, scissor, target->samples, shading.frontIsCounterClockwise,
                               Faces::Front, &setup))
                return;
            if (counters != nullptr) ++counters->drawn;
            if constexpr (P == Pass::Record) {
                // Replays read the shadow map through this triangle's light
                // planes made anew from the vertices of the moment; that
                // needs the vertices themselves, not clipped ones.
                const ClipVertex* base = std::min({tri[0].clip, tri[1].clip, tri[2].clip});
                RasterLayerTriangle triangle;
                for (int i = 0; i < 3; ++i)
                    triangle.index[i] =
                        indices[t * 3 + static_cast<std::size_t>(tri[i].clip - base)];
                record->triangles.push_back(triangle);
            }
            if (target->samples == 4)
                DrawSetup<4, P>(target, setup, tri, shading, record);
            else
                DrawSetup<1, P>(target, setup, tri, shading, record);
        });
    }
}

} // namespace

void RasterDrawTriangles(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                         const RasterVertex* vertices, std::size_t vertexCount,
                         const std::uint32_t* indices, std::size_t triangleCount,
                         const RasterShading& shading, RasterCounters* counters) {
    DrawTriangles<Pass::Draw>(target, viewport, nearW, farW, vertices, vertexCount, indices,
                              triangleCount, shading, counters);
}

void RasterOcclusionBegin(RasterTarget* target, RasterRect rect) {
    target->occlusion = true;
    const int x0 = std::max(rect.x0, 0), x1 = std::min(rect.x1, target->width);
    const int y0 = std::max(rect.y0, 0), y1 = std::min(rect.y1, target->height);
    if (x0 >= x1 || y0 >= y1) return;
    const std::size_t s = static_cast<std::size_t>(target->samples);
    for (int y = y0; y < y1; ++y) {
        const std::size_t begin = (static_cast<std::size_t>(y) * target->width + x0) * s;
        const std::size_t count = static_cast<std::size_t>(x1 - x0) * s;
        std::fill_n(target->coverDepth.begin() + static_cast<std::ptrdiff_t>(begin), count, 0.0f);
        std::fill_n(target->cover.begin() + static_cast<std::ptrdiff_t>(begin), count,
                    std::uint8_t{0});
    }
}

void RasterOcclusionEnd(RasterTarget* target) {
    target->occlusion = false;
}

void RasterOcclusionDepth(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                          const RasterVertex* vertices, std::size_t vertexCount,
                          const std::uint32_t* indices, std::size_t triangleCount,
                          const RasterShading& shading) {
    if (shading.blend) return; // blended draws leave no depth
    DrawTriangles<Pass::Depth>(target, viewport, nearW, farW, vertices, vertexCount, indices,
                               triangleCount, shading, nullptr);
}

namespace {

constexpr int kRecordAfter = 2;

bool Shadowed(const RasterShading& shading) {
    return shading.shadow != nullptr && shading.shadow->size > 0;
}

// The light coordinates may differ: a replay reads the shadow map through
// them afresh. They must still be finite, as drawing would require.
bool SameSurface(const RasterVertex* a, const RasterVertex* b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const float x[6] = {a[i].x, a[i].y, a[i].w, a[i].u, a[i].v, a[i].diffuse};
        const float y[6] = {b[i].x, b[i].y, b[i].w, b[i].u, b[i].v, b[i].diffuse};
        if (std::memcmp(x, y, sizeof x) != 0) return false;
        if (!std::isfinite(b[i].lightX) || !std::isfinite(b[i].lightY) ||
            !std::isfinite(b[i].lightW))
            return false;
    }
    return true;
}

bool SameInputs(const RasterLayerRecord& r, const RasterTarget& target, RasterRect viewport,
                float nearW, float farW, const RasterVertex* vertices, std::size_t vertexCount,
                const std::uint32_t* indices, std::size_t triangleCount,
                const RasterShading& shading) {
    const RasterShading& a = r.shading;
    const auto bits = [](float f) {
        std::uint32_t b;
        std::memcpy(&b, &f, sizeof b);
        return b;
    };
    return r.recorded && r.width == target.width && r.height == target.height &&
           r.samples == target.samples && r.viewport.x0 == viewport.x0 &&
           r.viewport.y0 == viewport.y0 && r.viewport.x1 == viewport.x1 &&
           r.viewport.y1 == viewport.y1 && bits(r.nearW) == bits(nearW) &&
           bits(r.farW) == bits(farW) && a.texture.texels == shading.texture.texels &&
           a.texture.width == shading.texture.width && a.texture.height == shading.texture.height &&
           a.texture.opaque == shading.texture.opaque && a.ambient == shading.ambient &&
           a.lightColour[0] == shading.lightColour[0] &&
           a.lightColour[1] == shading.lightColour[1] &&
           a.lightColour[2] == shading.lightColour[2] &&
           a.frontIsCounterClockwise == shading.frontIsCounterClockwise &&
           r.shadowed == Shadowed(shading) && r.vertices.size() == vertexCount &&
           r.indices.size() == triangleCount * 3 &&
           SameSurface(r.vertices.data(), vertices, vertexCount) &&
           (triangleCount == 0 ||
            std::memcmp(r.indices.data(), indices, triangleCount * 3 * sizeof(std::uint32_t)) == 0);
}

// True when `record` replays this draw (recording it first if need be).
bool PrepareLayer(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                  const RasterVertex* vertices, std::size_t vertexCount,
                  const std::uint32_t* indices, std::size_t triangleCount,
                  const RasterShading& shading, RasterLayerRecord* record) {
    if (record == nullptr || !shading.blend) return false;
    RasterLayerRecord& r = *record;
    if (SameInputs(r, *target, viewport, nearW, farW, vertices, vertexCount, indices, triangleCount,
                   shading)) {
        // A draw that changes every frame (the gauge's turning mask) would pay
        // for recording and never replay: record what has stayed put a while.
        if (r.entriesValid || ++r.unchanged < kRecordAfter) return r.replayable;
    } else {
        r.width = target->width, r.height = target->height, r.samples = target->samples;
        r.viewport = viewport, r.nearW = nearW, r.farW = farW;
        r.vertices.assign(vertices, vertices + vertexCount);
        r.indices.assign(indices, indices + triangleCount * 3);
        r.shading = shading;
        r.shading.shadow = nullptr;
        r.shadowed = Shadowed(shading);
        r.recorded = true;
        r.entriesValid = false;
        r.replayable = false;
        r.unchanged = 0;
        r.entries = std::vector<RasterLayerEntry>();
        return false;
    }
    r.entriesValid = true;
    r.replayable = true;
    r.counters = RasterCounters{};
    r.entries.clear();
    r.triangles.clear();
    r.seen.assign(static_cast<std::size_t>(target->width) * target->height, 0);
    DrawTriangles<Pass::Record>(target, viewport, nearW, farW, vertices, vertexCount, indices,
                                triangleCount, shading, &r.counters, &r);
    r.seen = std::vector<std::uint8_t>();
    if (!r.replayable) {
        r.entries = std::vector<RasterLayerEntry>();
        r.triangles = std::vector<RasterLayerTriangle>();
    }
    return r.replayable;
}

template <int S>
void ReplayLayer(RasterTarget* target, RasterLayerRecord& r, const RasterShading& shading,
                 const RasterVertex* vertices) {
    // Light planes of the recorded triangles from this call's vertices, kept
    // in the record so that replaying allocates nothing once it has run.
    const bool shadowed = shading.shadow != nullptr && shading.shadow->size > 0;
    std::vector<float>& planes = r.lightPlanes;
    if (shadowed) {
        planes.resize(r.triangles.size() * 9);
        for (std::size_t i = 0; i < r.triangles.size(); ++i) {
            const RasterLayerTriangle& t = r.triangles[i];
            const RasterVertex* v[3] = {&vertices[t.index[0]], &vertices[t.index[1]],
                                        &vertices[t.index[2]]};
            const Plane p[3] = {MakePlane(t.ex, t.ey, t.det, v[0]->lightX * t.q[0],
                                          v[1]->lightX * t.q[1], v[2]->lightX * t.q[2]),
                                MakePlane(t.ex, t.ey, t.det, v[0]->lightY * t.q[0],
                                          v[1]->lightY * t.q[1], v[2]->lightY * t.q[2]),
                                MakePlane(t.ex, t.ey, t.det, v[0]->lightW * t.q[0],
                                          v[1]->lightW * t.q[1], v[2]->lightW * t.q[2])};
            for (int k = 0; k < 3; ++k) {
                planes[i * 9 + k * 3] = p[k].f0;
                planes[i * 9 + k * 3 + 1] = p[k].dx;
                planes[i * 9 + k * 3 + 2] = p[k].dy;
            }
        }
    }
    const int layer = shading.layer;
    const int ambient = std::clamp(shading.ambient, 0, 256);
    int lit[3], dark[3];
    for (int c = 0; c < 3; ++c) {
        lit[c] = shading.lightColour[c] + (shading.lightColour[c] >> 7);
        dark[c] = shading.shadowColour[c] + (shading.shadowColour[c] >> 7);
    }
    std::uint32_t* const colour = target->colour.data();
    const float* const depth = target->depth.data();
    const std::uint8_t* const cover = target->cover.data();
    const bool occlusion = target->occlusion && target->cover.size() == target->colour.size();
    for (const RasterLayerEntry& e : r.entries) {
        const std::size_t base = static_cast<std::size_t>(e.pixel) * S;
        unsigned pass = 0;
        for (int k = 0; k < S; ++k)
            pass |= static_cast<unsigned>(e.depth[k] > depth[base + k]) << k;
        pass &= e.mask;
        if (occlusion)
            for (int k = 0; k < S; ++k)
                if (cover[base + k] > layer) pass &= ~(1u << k);
        if (pass == 0) continue;
        std::uint32_t inShadow = 0;
        if (e.shadowTest != 0 && shadowed) {
            const float* p = &planes[static_cast<std::size_t>(e.triangle) * 9];
            const auto at = [&](int k) {
                return Plane{p[k * 3], p[k * 3 + 1], p[k * 3 + 2]}.At(e.ox, e.oy);
            };
            const float lwq = at(2);
            if (lwq > 0.0f) {
                const float inv = 1.0f / lwq;
                inShadow = ShadowFraction(*shading.shadow, at(0) * inv, at(1) * inv, e.q * inv,
                                          shading.shadowBias, shading.casterIndex);
            }
        }
        std::uint32_t rgb[3];
        for (int c = 0; c < 3; ++c) {
            const int light = (lit[c] * static_cast<int>(256 - inShadow) +
                               dark[c] * static_cast<int>(inShadow)) >>
                              8;
            const std::uint32_t factor =
                static_cast<std::uint32_t>(ambient + ((e.scaled * light) >> 8));
            rgb[c] = (((e.texel >> (16 - 8 * c)) & 0xFFu) * factor) >> 8;
        }
        const std::uint32_t src = (e.texel & 0xFF000000u) | (rgb[0] << 16) | (rgb[1] << 8) | rgb[2];
        std::uint32_t* const out = colour + base;
        if ((src >> 24) == 255) {
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) out[k] = src;
        } else {
            for (int k = 0; k < S; ++k)
                if ((pass >> k) & 1u) out[k] = Over(src, out[k]);
        }
    }
}

} // namespace

void RasterDrawLayer(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                     const RasterVertex* vertices, std::size_t vertexCount,
                     const std::uint32_t* indices, std::size_t triangleCount,
                     const RasterShading& shading, RasterCounters* counters,
                     RasterLayerRecord* record) {
    if (!PrepareLayer(target, viewport, nearW, farW, vertices, vertexCount, indices, triangleCount,
                      shading, record)) {
        RasterDrawTriangles(target, viewport, nearW, farW, vertices, vertexCount, indices,
                            triangleCount, shading, counters);
        return;
    }
    if (counters != nullptr) {
        counters->triangles += record->counters.triangles;
        counters->drawn += record->counters.drawn;
    }
    if (target->samples == 4)
        ReplayLayer<4>(target, *record, shading, vertices);
    else
        ReplayLayer<1>(target, *record, shading, vertices);
}

void RasterOcclusionCover(RasterTarget* target, RasterRect viewport, float nearW, float farW,
                          const RasterVertex* vertices, std::size_t vertexCount,
                          const std::uint32_t* indices, std::size_t triangleCount,
                          const RasterShading& shading, RasterLayerRecord* record) {
    if (!shading.blend || shading.layer < 1 || shading.layer > kRasterMaxLayer) return;
    if (target->cover.size() != target->colour.size() ||
        target->coverDepth.size() != target->colour.size())
        return;
    if (PrepareLayer(target, viewport, nearW, farW, vertices, vertexCount, indices, triangleCount,
                     shading, record)) {
        const std::size_t S = static_cast<std::size_t>(target->samples);
        const std::uint8_t layer = static_cast<std::uint8_t>(shading.layer);
        for (const RasterLayerEntry& e : record->entries) {
            if ((e.texel >> 24) != 255) continue;
            const std::size_t base = static_cast<std::size_t>(e.pixel) * S;
            for (std::size_t k = 0; k < S; ++k)
                if (((e.mask >> k) & 1u) && e.depth[k] > target->coverDepth[base + k] &&
                    target->cover[base + k] < layer)
                    target->cover[base + k] = layer;
        }
        return;
    }
    // Walking a layer that changes every frame costs about what drawing it
    // does, more than the little it would hide in the gauge; with a record
    // at hand, only layers that replay are worth recording.
    if (record != nullptr) return;
    DrawTriangles<Pass::Cover>(target, viewport, nearW, farW, vertices, vertexCount, indices,
                               triangleCount, shading, nullptr);
}

void ShadowDrawTriangles(ShadowMap* map, float nearW, float farW, const RasterVertex* vertices,
                         std::size_t vertexCount, const std::uint32_t* indices,
                         std::size_t triangleCount, const RasterTexture& texture, int casterIndex) {
    if (map->size <= 0) return;
    const RasterRect viewport{0, 0, map->size, map->size};
    const ClipPlanes planes{nearW, farW};
    const bool alphaTest =
        texture.texels != nullptr && !texture.opaque && texture.width > 0 && texture.height > 0;
    const std::uint16_t caster = static_cast<std::uint16_t>(casterIndex);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        ClipVertex in[3];
        if (!GatherTriangle(vertices, vertexCount, indices + t * 3, true, in)) continue;
        ForEachClippedTriangle(in, planes, viewport, [&](ScreenVertex tri[3]) {
            Setup s;
            if (!SetupTriangle(tri, viewport, 1, true, Faces::Both, &s)) return;
            double ex[3], ey[3];
            for (int i = 0; i < 3; ++i) {
                ex[i] = static_cast<double>(tri[i].x - tri[0].x) / kSubpixel;
                ey[i] = static_cast<double>(tri[i].y - tri[0].y) / kSubpixel;
            }
            const double det = ex[1] * ey[2] - ex[2] * ey[1];
            const Plane q = MakePlane(ex, ey, det, tri[0].q, tri[1].q, tri[2].q);
            const Plane uq = MakePlane(ex, ey, det, tri[0].clip->f[3] * tri[0].q,
                                       tri[1].clip->f[3] * tri[1].q, tri[2].clip->f[3] * tri[2].q);
            const Plane vq = MakePlane(ex, ey, det, tri[0].clip->f[4] * tri[0].q,
                                       tri[1].clip->f[4] * tri[1].q, tri[2].clip->f[4] * tri[2].q);
            Traverse<1>(s, [&](int x, int y, unsigned) {
                const float ox = static_cast<float>(x) + 0.5f - s.originX;
                const float oy = static_cast<float>(y) + 0.5f - s.originY;
                const float depth = q.At(ox, oy);
                const std::size_t at = static_cast<std::size_t>(y) * map->size + x;
                if (!(depth > map->depth[at])) return;
                if (alphaTest) {
                    const float w = 1.0f / std::max(depth, 1e-20f);
                    if (SampleNearestAlpha(texture, uq.At(ox, oy) * w, vq.At(ox, oy) * w) < 128)
                        return;
                }
                map->depth[at] = depth;
                map->caster[at] = caster;
            });
        });
    }
}
