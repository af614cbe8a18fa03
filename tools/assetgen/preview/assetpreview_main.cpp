// assetpreview: renders a gauge archive at one attitude to a PNG, without the engine.
//
//   assetpreview -i ARCHIVE.zip -o OUT.png [--pitch DEG] [--bank DEG] [--camera-z Z]
//                [--size PIXELS] [--samples N]
//
// For looking at a skin while it is made; the engine's own renderer is the reference.
#include "gauge_raycast.h"
#include "zip_reader.h"

#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "assetpreview: %s\n", message.c_str());
    return 2;
}

bool ParseNumber(const char* text, double lo, double hi, double* out) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string input, output;
    assetgen::View view;
    double size = 400, samples = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Fail("missing value after " + arg);
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "-i")
            input = value;
        else if (arg == "-o")
            output = value;
        else if (arg == "--pitch")
            ok = ParseNumber(value, -360, 360, &view.pitchDeg);
        else if (arg == "--bank")
            ok = ParseNumber(value, -360, 360, &view.bankDeg);
        else if (arg == "--camera-z")
            ok = ParseNumber(value, -1000, 5000, &view.cameraZ);
        else if (arg == "--size")
            ok = ParseNumber(value, 16, 4096, &size);
        else if (arg == "--samples")
            ok = ParseNumber(value, 1, 8, &samples);
        else
            return Fail("unknown argument " + arg);
        if (!ok) return Fail("bad value '" + std::string(value) + "' for " + arg);
    }
    if (input.empty() || output.empty())
        return Fail("usage: assetpreview -i ARCHIVE.zip -o OUT.png [--pitch DEG] [--bank DEG] "
                    "[--camera-z Z] [--size PIXELS] [--samples N]");
    std::vector<std::uint8_t> zip;
    std::string error;
    assetgen::GaugeAssets assets;
    if (!assetgen::ReadFileBytes(input, &zip, &error) ||
        !assetgen::LoadGaugeAssets(zip, &assets, &error))
        return Fail(error);
    const int n = static_cast<int>(size);
    const std::vector<std::uint8_t> rgb =
        assetgen::RenderGauge(assets, view, n, static_cast<int>(samples));

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, n, n);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < n; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < n; ++x) {
            const std::uint8_t* p = &rgb[3 * (static_cast<std::size_t>(y) * n + x)];
            row[x] = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        }
    }
    cairo_surface_mark_dirty(surface);
    const bool written =
        cairo_surface_write_to_png(surface, output.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!written) return Fail("cannot write " + output);
    return 0;
}
