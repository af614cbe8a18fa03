// Gauge ray caster: reads a gauge archive back and casts rays through the gauge's scene.
//
// A checking tool, not a renderer for the product: it places the three objects exactly as the
// gauge does (drum by node 0 at z = 100 turned by Rz(bank) * Rx(pitch); mask at z = 180 scaled
// (1.6, 1.6, 1) turned by Rz(bank); frame at z = 190 scaled 0.8), looks from (0, 0, cameraZ)
// with a 30 degree vertical field of view, and samples textures bilinearly with premultiplied
// alpha. Lighting is ambient plus one diffuse point light at (20, 60, 300). Meshes are read with
// tinygltf (GLB or JSON glTF, every triangle primitive of every mesh; node transforms are not
// applied), images with stb_image.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba; // straight alpha, rows top to bottom
};

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;          // empty when the file has none
    std::vector<double> u, v;           // TEXCOORD_0, zero when absent
    std::vector<std::uint32_t> indices; // triangles
};

struct GaugeObject {
    Mesh mesh;
    Image texture;
};

enum class ObjectKind { Drum, Mask, Frame };

struct GaugeAssets {
    GaugeObject drum, mask, frame;
};

bool DecodeMesh(const std::vector<std::uint8_t>& bytes, Mesh* mesh, std::string* error);
bool DecodePng(const std::vector<std::uint8_t>& bytes, Image* image, std::string* error);
// Reads the six members by their names; false with *error naming what is missing or broken.
bool LoadGaugeAssets(const std::vector<std::uint8_t>& zip, GaugeAssets* assets, std::string* error);

struct View {
    double pitchDeg = 0, bankDeg = 0;
    double cameraZ = 450;
};

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0; // premultiplied, 0..1
};

// One object in world space for one view, its triangles binned by screen tile.
struct PosedObject {
    const GaugeObject* object = nullptr;
    std::vector<Vec3> positions, normals;
    std::vector<std::vector<std::uint32_t>> tiles; // triangle numbers per tile
    double cameraZ = 450;
};

PosedObject PoseObject(const GaugeObject& object, ObjectKind kind, const View& view);

struct Sample {
    bool hit = false;
    Rgba texel;         // unlit texture colour
    double light = 0;   // ambient + diffuse factor
    Vec3 point, normal; // world space
    double u = 0, v = 0;
    std::uint32_t triangle = 0; // in the mesh's index list, counted in triangles
};

// The nearest surface of one object on the ray through (ndcX, ndcY), each in -1..1, +y up.
Sample CastRay(const PosedObject& object, double ndcX, double ndcY);

// Colour of the whole scene (frame over mask over drum over black) on one ray; unlit shows the
// textures' own colours.
Rgba ShadeScene(const std::array<PosedObject, 3>& frameMaskDrum, double ndcX, double ndcY,
                bool lit = true);

std::array<PosedObject, 3> PoseScene(const GaugeAssets& assets, const View& view);

// A size x size RGB picture with samples x samples rays per pixel.
std::vector<std::uint8_t> RenderGauge(const GaugeAssets& assets, const View& view, int size,
                                      int samples);

} // namespace assetgen
