#include "horizon_measure.h"

#include <cmath>

namespace {

enum Kind : unsigned char { kOther = 0, kSky = 1, kGround = 2 };

// The aircraft symbol's bright orange, which the frame keeps fixed over the drum.
bool IsSymbol(const unsigned char* p) {
    return p[0] > 180 && p[1] > 70 && p[1] < 180 && p[2] < 90;
}

Kind Classify(const unsigned char* p) {
    const int r = p[0], g = p[1], b = p[2];
    if (b > r + 40 && b > g + 10) return kSky;
    // Brown, not the bright orange of the aircraft symbol.
    if (r > b + 25 && r > 40 && r < 200 && g > b) return kGround;
    return kOther;
}

} // namespace

HorizonReading MeasureHorizon(const std::vector<unsigned char>& rgba, int width, int height) {
    HorizonReading h;
    const double cx = width / 2.0, cy = height / 2.0;
    // The symbol and a few pixels around it (its shaded and antialiased edges) are
    // neither sky nor ground.
    constexpr int kSymbolMargin = 4;
    std::vector<bool> symbol(size_t(width) * size_t(height), false);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!IsSymbol(&rgba[(size_t(y) * size_t(width) + size_t(x)) * 4])) continue;
            for (int oy = -kSymbolMargin; oy <= kSymbolMargin; ++oy)
                for (int ox = -kSymbolMargin; ox <= kSymbolMargin; ++ox)
                    if (x + ox >= 0 && x + ox < width && y + oy >= 0 && y + oy < height)
                        symbol[size_t(y + oy) * size_t(width) + size_t(x + ox)] = true;
        }
    }
    std::vector<Kind> kind(size_t(width) * size_t(height), kOther);
    double skyX = 0, skyY = 0, groundX = 0, groundY = 0;
    long sky = 0, ground = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy > double(kWindowRadius) * kWindowRadius) continue;
            if (symbol[size_t(y) * size_t(width) + size_t(x)]) continue;
            const Kind k = Classify(&rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]);
            kind[size_t(y) * size_t(width) + size_t(x)] = k;
            if (k == kSky) ++sky, skyX += dx, skyY += dy;
            if (k == kGround) ++ground, groundX += dx, groundY += dy;
        }
    }
    if (sky + ground == 0) return h;
    h.skyFraction = double(sky) / double(sky + ground);
    h.groundFraction = double(ground) / double(sky + ground);
    if (sky < 200 || ground < 200) return h;

    // Boundary: sky pixels with ground within a few pixels, and ground pixels
    // with sky as near (the white horizon line lies between them), so that the
    // points straddle the line evenly. Fitted by total least squares.
    std::vector<double> bx, by;
    const int reach = 4;
    for (int y = reach; y < height - reach; ++y) {
        for (int x = reach; x < width - reach; ++x) {
            const Kind here = kind[size_t(y) * size_t(width) + size_t(x)];
            if (here == kOther) continue;
            const Kind other = here == kSky ? kGround : kSky;
            bool near = false;
            for (int oy = -reach; oy <= reach && !near; ++oy)
                for (int ox = -reach; ox <= reach && !near; ++ox)
                    near = kind[size_t(y + oy) * size_t(width) + size_t(x + ox)] == other;
            if (near) bx.push_back(x + 0.5 - cx), by.push_back(y + 0.5 - cy);
        }
    }
    h.boundaryPoints = int(bx.size());
    if (bx.size() < 40) return h;
    double mx = 0, my = 0;
    for (size_t i = 0; i < bx.size(); ++i)
        mx += bx[i], my += by[i];
    mx /= double(bx.size());
    my /= double(bx.size());
    double sxx = 0, syy = 0, sxy = 0;
    for (size_t i = 0; i < bx.size(); ++i) {
        const double ax = bx[i] - mx, ay = by[i] - my;
        sxx += ax * ax, syy += ay * ay, sxy += ax * ay;
    }
    // Direction of the line (screen coordinates, y down) and its normal.
    const double theta = 0.5 * std::atan2(2 * sxy, sxx - syy);
    double nx = -std::sin(theta), ny = std::cos(theta);
    // Point the normal toward the sky (screen coordinates).
    const double towardSkyX = skyX / double(sky) - groundX / double(ground);
    const double towardSkyY = skyY / double(sky) - groundY / double(ground);
    if (nx * towardSkyX + ny * towardSkyY < 0) nx = -nx, ny = -ny;
    // Tilt: the sky normal's angle from screen-up, counter-clockwise positive.
    h.tiltDegrees = std::atan2(nx, -ny) * -180.0 / M_PI;
    // The centre's signed distance from the line, along the sky normal.
    h.offsetPixels = (0 - mx) * nx + (0 - my) * ny;
    h.found = true;
    return h;
}
