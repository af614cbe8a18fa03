// See reference_scene.h.
#include "reference_scene.h"

#include <cmath>
#include <vector>

#include "engine_test_assets.h"

namespace {

constexpr float kFrameHalf = 87.1f; // 260 * tan(15 deg) / 0.8: fills the view exactly
constexpr float kMaskHalf = 46.0f;
constexpr float kDrumRadius = 70.0f;
constexpr float kDrumHalfLength = 75.0f;
constexpr int kDrumSegments = 500; // 1000 triangles

std::uint32_t Argb(int a, int r, int g, int b) {
    return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(r) << 16) |
           (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

// Sky over the upper half of the circumference (v < 0.25 or v > 0.75), ground
// below, white horizon lines at v = 0.25 (front) and 0.75, ladder marks.
Bytes DrumTexture() {
    const int w = 128, h = 512;
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(h);
        const bool sky = v < 0.25f || v > 0.75f;
        for (int x = 0; x < w; ++x) {
            std::uint32_t c = sky ? Argb(255, 40, 110, 200 + y % 40) : Argb(255, 130, 80, 40);
            if (std::fabs(v - 0.25f) < 0.004f || std::fabs(v - 0.75f) < 0.004f)
                c = Argb(255, 255, 255, 255);
            else if (y % 32 == 0 && x > w / 3 && x < 2 * w / 3)
                c = Argb(255, 240, 240, 240);
            p[static_cast<std::size_t>(y) * w + x] = c;
        }
    }
    return MakePng(w, h, p);
}

// A plate colour with a round window of `radius` (in half-widths), whose edge
// fades over about a texel, and an optional bright bar across the middle.
Bytes PlateTexture(int size, float radius, std::uint32_t colour, bool symbol) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(size) * size);
    const float side = static_cast<float>(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float fx = (static_cast<float>(x) + 0.5f) / side * 2 - 1;
            const float fy = (static_cast<float>(y) + 0.5f) / side * 2 - 1;
            const float edge = (std::sqrt(fx * fx + fy * fy) - radius) * side * 0.5f;
            const float alpha = std::fmin(std::fmax(edge + 0.5f, 0.0f), 1.0f);
            std::uint32_t c =
                (colour & 0x00FFFFFFu) | (static_cast<std::uint32_t>(alpha * 255.0f + 0.5f) << 24);
            if (symbol && std::fabs(fy) < 0.02f && std::fabs(fx) > 0.12f && std::fabs(fx) < 0.4f)
                c = Argb(255, 255, 200, 0);
            if (symbol && fx * fx + fy * fy < 0.03f * 0.03f) c = Argb(255, 255, 200, 0);
            p[static_cast<std::size_t>(y) * size + x] = c;
        }
    return MakePng(size, size, p);
}

} // namespace

bool WriteReferenceArchive(const std::string& path) {
    std::vector<ZipMember> members = {
        {"drum.mesh", MakeGlb(Cylinder(kDrumRadius, kDrumHalfLength, kDrumSegments)), true, false},
        {"mask.mesh", ToBytes(MakeGltfJson(Quad(kMaskHalf, kMaskHalf))), true, false},
        {"frame.mesh", MakeGlb(Quad(kFrameHalf, kFrameHalf)), false, false},
        {"drum.png", DrumTexture(), false, false},
        {"mask.png", PlateTexture(256, 0.72f, Argb(255, 35, 35, 38), false), false, true},
        {"frame.png", PlateTexture(256, 0.85f, Argb(255, 70, 70, 78), true), true, false},
    };
    return WriteBytes(path, MakeZip(members));
}

void BuildReferenceScene(const Engine3DApi& api, const std::string& archivePath, int size,
                         void* surface) {
    api.InitEngine3D();
    api.Add3DArchive(archivePath.c_str(), 1);
    api.CloseScreen();
    api.OpenScreen(size, size, 32, "", 0, surface, 0, 1);
    api.AntialiasingMode(4);
    api.OpenWindow3D(0, 0, 0, size, size, "3d", 0);
    api.CreateCamera(0, 0.0f, 0.0f, 100.0f, 100.0f);
    api.MoveCamera(0, 0.0f, 0.0f, 450.0f);
    api.CameraLookAt(0, 0.0f, 0.0f, 0.0f);
    api.CameraBackColor(0, 0);
    api.CreateLight2(0, 255 + 256 * 255 + 65536 * 255, 20.0f, 60.0f, 300.0f);
    const struct {
        int id;
        const char* mesh;
        const char* texture;
    } objects[] = {
        {0, "drum.mesh", "drum.png"}, {3, "mask.mesh", "mask.png"}, {1, "frame.mesh", "frame.png"}};
    for (const auto& object : objects) {
        api.LoadMesh(object.id, object.mesh);
        api.LoadTexture(object.id, object.texture);
        api.CreateMaterial(object.id, api.TextureID(object.id));
    }
    for (int id : {0, 1, 3})
        api.CreateEntity(id, api.MeshID(id), api.MaterialID(id));
    api.CreateNode(0);
    api.AttachNodeObject(0, api.EntityID(0));
    api.EntityRenderMode(0, 4);
    api.EntityRenderMode(1, 4);
    api.RotateEntity2(0, 0.0f, 0.0f, 0.0f, 0);
    api.RotateEntity2(1, 0.0f, 0.0f, 0.0f, 0);
    api.MoveEntity(1, 0.0f, 0.0f, 190.0f);
    api.MoveEntity(3, 0.0f, 0.0f, 180.0f);
    api.ScaleEntity(1, 0.8f, 0.8f, 0.8f);
    api.ScaleEntity(3, 1.6f, 1.6f, 1.0f);
    api.MoveNode(0, 0.0f, 0.0f, 100.0f);
    api.WorldShadows3(2, -1.0f, 30 + 256 * 30 + 65536 * 30);
    PoseReferenceScene(api, 0.0f, 0.0f);
}

void PoseReferenceScene(const Engine3DApi& api, float pitchDegrees, float bankDegrees) {
    api.RotateNode(0, pitchDegrees, 0.0f, bankDegrees);
    api.RotateEntity2(3, 0.0f, 0.0f, bankDegrees, 0);
    api.RenderWorld();
    api.FlipBuffers();
}

std::uint64_t ReferenceFrameHash(const Engine3DApi& api) {
    int width = 0, height = 0;
    api.Engine3DFrameSize(&width, &height);
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
    api.Engine3DCopyFrame(rgba.data(), static_cast<int>(rgba.size()));
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char byte : rgba) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

#if !defined(ENGINE_TEST_NO_LINKED_ENGINE)
Engine3DApi LinkedEngine() {
    Engine3DApi api{};
    api.Engine3DInterfaceVersion = &::Engine3DInterfaceVersion;
#define ENGINE3D_LINKED(name) api.name = &::name;
    ENGINE3D_FUNCTIONS(ENGINE3D_LINKED)
#undef ENGINE3D_LINKED
    return api;
}
#endif
