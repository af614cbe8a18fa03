#include "gauge_textures.h"

#include "gauge_layout.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <cmath>
#include <ft2build.h>
#include <initializer_list>
#include FT_FREETYPE_H

namespace assetgen {
namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb kSkyHorizon{0.43, 0.67, 0.91};
constexpr Rgb kSkyZenith{0.12, 0.35, 0.71};
constexpr Rgb kGroundHorizon{0.60, 0.40, 0.22};
constexpr Rgb kGroundNadir{0.35, 0.21, 0.10};
constexpr Rgb kRingSky{0.26, 0.53, 0.85};
constexpr Rgb kRingGround{0.56, 0.36, 0.19};
constexpr Rgb kMarkWhite{0.96, 0.96, 0.96};
constexpr Rgb kSymbolOrange{1.0, 0.58, 0.04};
constexpr Rgb kOutline{0.06, 0.06, 0.07};

void SetColour(cairo_t* cr, Rgb c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

// Makes `pattern` the source with the colours spread evenly along it, and lets go of it.
void UseGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<Rgb> stops) {
    double offset = 0.0;
    for (const Rgb& c : stops) {
        cairo_pattern_add_color_stop_rgb(pattern, offset, c.r, c.g, c.b);
        offset += 1.0 / static_cast<double>(stops.size() - 1);
    }
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern); // the context holds its own reference
}

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

bool EncodePng(cairo_surface_t* surface, std::vector<std::uint8_t>* png, const char* what,
               std::string* error) {
    cairo_surface_flush(surface);
    png->clear();
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_write_to_png_stream(surface, AppendPng, png) != CAIRO_STATUS_SUCCESS) {
        *error = std::string("cairo could not draw or encode the ") + what + " texture";
        png->clear();
        return false;
    }
    return true;
}

// One FreeType library for the process: cairo keeps font faces in its caches beyond any call,
// and each face must not outlive its library.
FT_Library FontLibrary() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return library;
}

cairo_font_face_t* LoadFontFace(const std::string& path, std::string* error) {
    FT_Library library = FontLibrary();
    FT_Face face = nullptr;
    if (library == nullptr || FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        *error = "cannot load the font " + path;
        return nullptr;
    }
    cairo_font_face_t* font = cairo_ft_font_face_create_for_ft_face(face, 0);
    static const cairo_user_data_key_t key{};
    // The face goes when cairo drops its last reference to the font, whenever that is.
    if (cairo_font_face_set_user_data(font, &key, face, [](void* f) {
            FT_Done_Face(static_cast<FT_Face>(f));
        }) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(font);
        FT_Done_Face(face);
        *error = "cannot attach the font " + path + " to cairo";
        return nullptr;
    }
    return font;
}

void UseFont(cairo_t* cr, cairo_font_face_t* font, double size) {
    cairo_set_font_face(cr, font);
    cairo_set_font_size(cr, size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

// Text centred on (x, y), optionally turned by half a turn about its centre.
void CentredText(cairo_t* cr, const char* text, double x, double y, bool upsideDown) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    if (upsideDown) cairo_rotate(cr, kPi);
    cairo_move_to(cr, -e.x_bearing - e.width / 2.0, -e.y_bearing - e.height / 2.0);
    cairo_show_text(cr, text);
    cairo_restore(cr);
}

// ---- Drum ----------------------------------------------------------------------------------
// User space: x along the drum in world units (centre 0), y down the image in world units of arc
// length, so that numerals keep their shape once the image is wrapped around the cylinder.

double ArcY(double phiDeg) {
    return -kDrumRadius * phiDeg * kPi / 180.0;
}

constexpr double kHorizonLineWorld = 1.0;
constexpr double kLadderLineWorld = 0.7;
constexpr double kShortMarkHalf = 4.5;
constexpr double kLongMarkHalf = 9.0;
constexpr double kNumeralGap = 1.5;
constexpr double kNumeralSize = 5.2;

void DrawLadderMark(cairo_t* cr, double phiDeg, int pitch, bool upsideDown) {
    const bool isLong = pitch % 10 == 0;
    const double half = isLong ? kLongMarkHalf : kShortMarkHalf;
    const double y = ArcY(phiDeg);
    SetColour(cr, kMarkWhite);
    cairo_rectangle(cr, -half, y - kLadderLineWorld / 2.0, 2.0 * half, kLadderLineWorld);
    cairo_fill(cr);
    if (!isLong) return;
    const std::string label = std::to_string(pitch);
    cairo_text_extents_t e;
    cairo_text_extents(cr, label.c_str(), &e);
    const double offset = half + kNumeralGap + e.width / 2.0;
    CentredText(cr, label.c_str(), -offset, y, upsideDown);
    CentredText(cr, label.c_str(), offset, y, upsideDown);
}

void FillBand(cairo_t* cr, double yFrom, double yTo, Rgb edge, Rgb middle) {
    UseGradient(cr, cairo_pattern_create_linear(0, yFrom, 0, yTo), {edge, middle, edge});
    cairo_rectangle(cr, -kDrumHalfLength, std::fmin(yFrom, yTo), 2.0 * kDrumHalfLength,
                    std::fabs(yTo - yFrom));
    cairo_fill(cr);
}

void DrawDrum(cairo_t* cr, cairo_font_face_t* font) {
    cairo_translate(cr, kDrumTextureWidth / 2.0, kDrumTextureHeight / 2.0);
    cairo_scale(cr, kDrumTextureWidth / (2.0 * kDrumHalfLength),
                kDrumTextureHeight / (2.0 * kPi * kDrumRadius));
    const double h = kDrumHalfLength;

    // Graded symmetrically about the zenith and the nadir: seen over the top, the back of the
    // drum is the same sky turned round, as an inverted aircraft sees it.
    FillBand(cr, ArcY(0), ArcY(180), kSkyHorizon, kSkyZenith);
    FillBand(cr, ArcY(0), ArcY(-180), kGroundHorizon, kGroundNadir);

    SetColour(cr, kMarkWhite);
    cairo_rectangle(cr, -h, -kHorizonLineWorld / 2.0, 2.0 * h, kHorizonLineWorld);
    // The back horizon straddles the seam: half at the top row, half at the bottom row.
    cairo_rectangle(cr, -h, ArcY(180), 2.0 * h, kHorizonLineWorld / 2.0);
    cairo_rectangle(cr, -h, ArcY(-180) - kHorizonLineWorld / 2.0, 2.0 * h, kHorizonLineWorld / 2.0);
    cairo_fill(cr);

    // A mark for pitch p sits p degrees round from the front horizon, so the drum turned by p
    // brings it to the centre. Past 90 the ladder runs back down to the rear horizon, numbered
    // 80, 70, ... and turned round, the way it reads when flying inverted.
    UseFont(cr, font, kNumeralSize);
    for (int p = 5; p <= 90; p += 5) {
        for (double side : {1.0, -1.0}) {
            DrawLadderMark(cr, side * p, p, false);
            if (p < 90) DrawLadderMark(cr, side * (180 - p), p, true);
        }
    }

    // Dark rim at both ends; the caps take their colour from here.
    cairo_set_source_rgb(cr, 0.16, 0.16, 0.18);
    cairo_rectangle(cr, -h, ArcY(180), kDrumRimWorld, 2.0 * kPi * kDrumRadius);
    cairo_rectangle(cr, h - kDrumRimWorld, ArcY(180), kDrumRimWorld, 2.0 * kPi * kDrumRadius);
    cairo_fill(cr);
}

// ---- Plates --------------------------------------------------------------------------------
// User space: mesh units, origin at the plate's centre, +y up (the image is flipped vertically).

void PlateSpace(cairo_t* cr, int size, double halfSize) {
    cairo_translate(cr, size / 2.0, size / 2.0);
    cairo_scale(cr, size / (2.0 * halfSize), -size / (2.0 * halfSize));
}

void Annulus(cairo_t* cr, double inner, double outer) {
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, outer, 0, 2.0 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, 0, 0, inner, 0, -2.0 * kPi);
}

void ClearDisc(cairo_t* cr, double radius) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_arc(cr, 0, 0, radius, 0, 2.0 * kPi);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Triangle(cairo_t* cr, double angleDeg, double apexRadius, double baseRadius,
              double halfWidth) {
    cairo_save(cr);
    cairo_rotate(cr, (angleDeg - 90.0) * kPi / 180.0);
    cairo_move_to(cr, 0, apexRadius);
    cairo_line_to(cr, -halfWidth, baseRadius);
    cairo_line_to(cr, halfWidth, baseRadius);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void DrawMask(cairo_t* cr) {
    PlateSpace(cr, kMaskTextureSize, kMaskHalfSize);
    UseGradient(cr, cairo_pattern_create_radial(0, 0, 0, 0, 0, kMaskHalfSize * 1.4),
                {{0.17, 0.17, 0.18}, {0.08, 0.08, 0.09}});
    cairo_paint(cr);

    // Inner ring, split level in the mask's own frame, so it turns with bank like the drum.
    const double rw = kMaskWindowRadius;
    cairo_save(cr);
    Annulus(cr, rw, kMaskRingOuterRadius);
    cairo_clip(cr);
    SetColour(cr, kRingSky);
    cairo_rectangle(cr, -kMaskHalfSize, 0, 2.0 * kMaskHalfSize, kMaskHalfSize);
    cairo_fill(cr);
    SetColour(cr, kRingGround);
    cairo_rectangle(cr, -kMaskHalfSize, -kMaskHalfSize, 2.0 * kMaskHalfSize, kMaskHalfSize);
    cairo_fill(cr);
    // Level ticks where the ring divides, in line with the drum's horizon at wings level.
    SetColour(cr, kMarkWhite);
    cairo_rectangle(cr, rw, -0.25, 3.8, 0.5);
    cairo_rectangle(cr, -rw - 3.8, -0.25, 3.8, 0.5);
    cairo_fill(cr);
    cairo_restore(cr);

    // A dark lip at the window's edge keeps the ring apart from the drum's like colours.
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 0.6);
    cairo_arc(cr, 0, 0, rw + 0.3, 0, 2.0 * kPi);
    cairo_stroke(cr);
    ClearDisc(cr, rw);

    // Bank pointer: points up at the frame's scale.
    Triangle(cr, 90.0, rw + 4.1, rw + 0.1, 2.3);
    SetColour(cr, kMarkWhite);
    cairo_fill_preserve(cr);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 0.25);
    cairo_stroke(cr);
}

void DrawScrew(cairo_t* cr, double x, double y, double slotDeg) {
    constexpr double radius = 4.6;
    UseGradient(cr, cairo_pattern_create_radial(x - 1.5, y + 1.5, 0.5, x, y, radius),
                {{0.82, 0.82, 0.84}, {0.34, 0.34, 0.36}});
    cairo_arc(cr, x, y, radius, 0, 2.0 * kPi);
    cairo_fill_preserve(cr);
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, slotDeg * kPi / 180.0);
    cairo_rectangle(cr, -radius * 0.8, -0.55, 1.6 * radius, 1.1);
    cairo_set_source_rgb(cr, 0.10, 0.10, 0.11);
    cairo_fill(cr);
    cairo_restore(cr);
}

// Wings with a gap between them wider than the ladder and its numerals (both ends within 17
// world units on the drum, the wings' inner ends at 20.5 once projected there), so the mark and
// numerals of the pitch flown stay readable under the symbol.
void DrawAircraftSymbol(cairo_t* cr) {
    auto wings = [cr] {
        for (double side : {-1.0, 1.0}) {
            cairo_move_to(cr, side * kSymbolWingOuter, 0.0);
            cairo_line_to(cr, side * kSymbolWingInner, 0.0);
            cairo_line_to(cr, side * kSymbolWingInner, -5.0);
        }
    };
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    wings();
    SetColour(cr, kOutline);
    cairo_set_line_width(cr, 3.8);
    cairo_stroke(cr);
    wings();
    SetColour(cr, kSymbolOrange);
    cairo_set_line_width(cr, 2.6);
    cairo_stroke(cr);
    SetColour(cr, kOutline);
    cairo_arc(cr, 0, 0, 3.0, 0, 2.0 * kPi);
    cairo_fill(cr);
    SetColour(cr, kSymbolOrange);
    cairo_arc(cr, 0, 0, 2.4, 0, 2.0 * kPi);
    cairo_fill(cr);
}

void DrawFrame(cairo_t* cr) {
    PlateSpace(cr, kFrameTextureSize, kFrameHalfSize);
    const double h = kFrameHalfSize;
    UseGradient(cr, cairo_pattern_create_linear(-h, h, h, -h),
                {{0.21, 0.21, 0.23}, {0.09, 0.09, 0.10}});
    cairo_paint(cr);

    // Chamfer round the opening, lit from above: its lower side faces the light.
    const double ro = kFrameOpeningRadius;
    UseGradient(cr, cairo_pattern_create_linear(0, ro, 0, -ro),
                {{0.05, 0.05, 0.06}, {0.40, 0.40, 0.42}});
    Annulus(cr, ro - 0.5, ro + 3.0);
    cairo_fill(cr);

    // Bank scale, angles from the top: lines at 10, 20 (short) and 30, 60, 90 (long) each side,
    // triangles pointing in at 0 and at 45.
    SetColour(cr, kMarkWhite);
    const double markIn = ro + 4.5;
    for (double side : {-1.0, 1.0}) {
        for (double bank : {10.0, 20.0, 30.0, 60.0, 90.0}) {
            const bool isLong = bank == 30.0 || bank == 60.0 || bank == 90.0;
            const double length = isLong ? 10.0 : 5.5;
            const double width = isLong ? 1.8 : 1.4;
            cairo_save(cr);
            cairo_rotate(cr, side * bank * kPi / 180.0);
            cairo_rectangle(cr, -width / 2.0, markIn, width, length);
            cairo_restore(cr);
        }
        Triangle(cr, 90.0 + side * 45.0, markIn, markIn + 5.5, 2.4);
    }
    cairo_fill(cr);
    Triangle(cr, 90.0, markIn - 0.3, markIn + 7.5, 3.6);
    cairo_fill(cr);

    const double s = 79.5;
    DrawScrew(cr, -s, s, 20.0);
    DrawScrew(cr, s, s, 110.0);
    DrawScrew(cr, -s, -s, 155.0);
    DrawScrew(cr, s, -s, 65.0);

    ClearDisc(cr, ro);
    DrawAircraftSymbol(cr);
}

template <typename Draw>
bool Render(cairo_format_t format, int width, int height, const char* what,
            std::vector<std::uint8_t>* png, std::string* error, Draw draw) {
    cairo_surface_t* surface = cairo_image_surface_create(format, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    draw(cr);
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    const bool ok = drawn && EncodePng(surface, png, what, error);
    if (!drawn) *error = std::string("cairo failed while drawing the ") + what + " texture";
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

bool DrawGaugeTextures(const std::string& fontPath, GaugeTextures* textures, std::string* error) {
    cairo_font_face_t* font = LoadFontFace(fontPath, error);
    if (font == nullptr) return false;
    const bool ok = Render(CAIRO_FORMAT_RGB24, kDrumTextureWidth, kDrumTextureHeight, "drum",
                           &textures->drum, error, [font](cairo_t* cr) { DrawDrum(cr, font); }) &&
                    Render(CAIRO_FORMAT_ARGB32, kMaskTextureSize, kMaskTextureSize, "mask",
                           &textures->mask, error, DrawMask) &&
                    Render(CAIRO_FORMAT_ARGB32, kFrameTextureSize, kFrameTextureSize, "frame",
                           &textures->frame, error, DrawFrame);
    cairo_font_face_destroy(font);
    return ok;
}

} // namespace assetgen
