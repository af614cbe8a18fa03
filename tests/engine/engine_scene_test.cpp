// The engine's behaviour through its exports, on small scenes built in code:
// transforms and their order, modes 0 and 1, id spaces and handles, clipping,
// transparency, antialiasing, lighting, shadows, screens and failures.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "engine3d_exports.h"
#include "engine_frames.h"
#include "engine_test_assets.h"
#include "reference_scene.h"

namespace {

constexpr int kSize = 64;
constexpr int kWhite = 0xFFFFFF;
constexpr int kBlueBackground = 255 * 65536;
// Pixels per world unit at the origin for a camera 10 units away with a
// 30 degree vertical field of view on a 64 pixel screen.
const double kPixelsPerUnit = 32.0 / (10.0 * std::tan(15.0 * 3.14159265358979323846 / 180.0));

std::uint32_t Argb(int a, int r, int g, int b) {
    return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(r) << 16) |
           (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

Bytes Solid(std::uint32_t argb) {
    return MakePng(4, 4, std::vector<std::uint32_t>(16, argb));
}

// A cube of half-size 0.4 around (0, 2, 0), normals left out (computed flat).
GltfMesh Marker() {
    GltfMesh mesh;
    const float c[3] = {0.0f, 2.0f, 0.0f}, h = 0.4f;
    for (int i = 0; i < 8; ++i)
        mesh.positions.insert(
            mesh.positions.end(),
            {c[0] + ((i & 1) ? h : -h), c[1] + ((i & 2) ? h : -h), c[2] + ((i & 4) ? h : -h)});
    mesh.indices = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                    2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
    return mesh;
}

const std::string& SceneArchive() {
    static const std::string path = [] {
        // Quadrants of a 16 x 16 texture: red top left, green top right, blue
        // bottom left, white bottom right (wide enough that the bilinear
        // filter leaves the middle of each quadrant pure).
        std::vector<std::uint32_t> texels(256);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                texels[static_cast<std::size_t>(y * 16 + x)] =
                    y < 8 ? (x < 8 ? Argb(255, 255, 0, 0) : Argb(255, 0, 255, 0))
                          : (x < 8 ? Argb(255, 0, 0, 255) : Argb(255, 255, 255, 255));
        const Bytes quadrants = MakePng(16, 16, texels);
        GltfMesh triangle;
        triangle.positions = {-1, -1, 0, 1, -1, 0, 0, 1, 0};
        triangle.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
        triangle.uvs = {0, 1, 1, 1, 0.5f, 0};
        triangle.indices = {0, 1, 2};
        const std::vector<ZipMember> members = {
            {"quad.mesh", ToBytes(MakeGltfJson(Quad(1, 1))), true, false},
            {"big_quad.mesh", MakeGlb(Quad(50, 50)), false, false},
            {"marker.mesh", MakeGlb(Marker()), true, false},
            {"triangle.mesh", MakeGlb(triangle), false, false},
            {"quadrants.png", quadrants, false, false},
            {"red.png", Solid(Argb(255, 255, 0, 0)), true, false},
            {"green.png", Solid(Argb(255, 0, 255, 0)), false, true},
            {"white.png", Solid(Argb(255, 255, 255, 255)), false, false},
            {"half_red.png", Solid(Argb(128, 255, 0, 0)), false, false},
            {"green_200.png", Solid(Argb(200, 0, 255, 0)), false, false},
            {"clear.png", Solid(Argb(0, 255, 255, 255)), false, false},
        };
        const std::string file = ScratchDir() + "engine_scene_test.zip";
        WriteBytes(file, MakeZip(members));
        return file;
    }();
    return path;
}

// Where a world point at depth z appears for the default camera (z = 10).
void ScreenOf(double x, double y, double z, double* sx, double* sy) {
    const double scale = kPixelsPerUnit * 10.0 / (10.0 - z);
    *sx = 32.0 + x * scale;
    *sy = 32.0 - y * scale;
}

class EngineScene : public ::testing::Test {
  protected:
    Engine3DApi api = LinkedEngine();

    void SetUp() override {
        ASSERT_EQ(InitEngine3D(), E3D_OK);
        ASSERT_EQ(Add3DArchive(SceneArchive().c_str(), 1), E3D_OK);
        ASSERT_EQ(OpenScreen(kSize, kSize, 32, "", 0, nullptr, 0, 1), E3D_OK);
        ASSERT_EQ(CreateCamera(0, 0, 0, 100, 100), E3D_OK);
        ASSERT_EQ(MoveCamera(0, 0, 0, 10), E3D_OK);
        ASSERT_EQ(CameraLookAt(0, 0, 0, 0), E3D_OK);
        // Far enough that every surface facing +z gets the full diffuse term.
        ASSERT_EQ(CreateLight2(0, kWhite, 0, 0, 1e7f), E3D_OK);
    }
    void TearDown() override { Engine3DShutdown(); }

    // Mesh, texture, material and entity under one id, like the gauge does.
    void Object(int id, const char* mesh, const char* texture) {
        ASSERT_EQ(LoadMesh(id, mesh), E3D_OK) << Engine3DLastError();
        ASSERT_EQ(LoadTexture(id, texture), E3D_OK) << Engine3DLastError();
        ASSERT_EQ(CreateMaterial(id, TextureID(id)), E3D_OK);
        ASSERT_EQ(CreateEntity(id, MeshID(id), MaterialID(id)), E3D_OK);
    }

    Frame Render() {
        EXPECT_EQ(RenderWorld(), E3D_OK);
        EXPECT_EQ(FlipBuffers(), E3D_OK);
        return CaptureFrame(api);
    }
};

// Centre of the pixels that differ from the background; false if none.
bool Centroid(const Frame& frame, std::uint32_t background, double* x, double* y) {
    double sx = 0, sy = 0;
    int count = 0;
    for (int py = 0; py < frame.height; ++py)
        for (int px = 0; px < frame.width; ++px)
            if (frame.At(px, py) != background) {
                sx += px + 0.5, sy += py + 0.5;
                ++count;
            }
    if (count == 0) return false;
    *x = sx / count, *y = sy / count;
    return true;
}

int Brightness(std::uint32_t rgb) {
    return (Red(rgb) + Green(rgb) + Blue(rgb)) / 3;
}

TEST_F(EngineScene, TextureIsMappedWithUvOriginTopLeftAndYUp) {
    ASSERT_EQ(CameraBackColor(0, kBlueBackground), E3D_OK);
    Object(0, "quad.mesh", "quadrants.png");
    const Frame frame = Render();
    DumpFrame(frame, "quadrants");
    const int d = 6; // well inside each quadrant of the 24-pixel plate
    EXPECT_EQ(frame.At(32 - d, 32 - d), 0xFF0000u); // top left: red
    EXPECT_EQ(frame.At(32 + d, 32 - d), 0x00FF00u); // top right: green
    EXPECT_EQ(frame.At(32 - d, 32 + d), 0x0000FFu); // bottom left: blue
    EXPECT_EQ(frame.At(32 + d, 32 + d), 0xFFFFFFu); // bottom right: white
    EXPECT_EQ(frame.At(1, 1), 0x0000FFu);           // background
    EXPECT_EQ(frame.At(62, 62), 0x0000FFu);
}

// A marker 2 units up +y from its entity's origin, turned by (x, y, z) degrees;
// where it lands tells the order R = Rz * Ry * Rx and the sense of each angle.
struct RotationCase {
    float x, y, z;
    double wx, wy, wz; // where R takes the marker's centre (0, 2, 0)
};

class RotationOrder : public EngineScene, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(RotationOrder, EntityAndNodeApplyXThenYThenZ) {
    const RotationCase& c = GetParam();
    Object(0, "marker.mesh", "white.png");
    ASSERT_EQ(RotateEntity2(0, c.x, c.y, c.z, 0), E3D_OK);
    const Frame byEntity = Render();

    ASSERT_EQ(RotateEntity2(0, 0, 0, 0, 0), E3D_OK);
    ASSERT_EQ(CreateNode(4), E3D_OK);
    ASSERT_EQ(AttachNodeObject(4, EntityID(0)), E3D_OK);
    ASSERT_EQ(RotateNode(4, c.x, c.y, c.z), E3D_OK);
    const Frame byNode = Render();
    EXPECT_EQ(byEntity, byNode);

    double x = 0, y = 0, ex = 0, ey = 0;
    ASSERT_TRUE(Centroid(byEntity, 0, &x, &y));
    ScreenOf(c.wx, c.wy, c.wz, &ex, &ey);
    EXPECT_NEAR(x, ex, 1.5);
    EXPECT_NEAR(y, ey, 1.5);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RotationOrder,
    ::testing::Values(RotationCase{0, 0, 90, -2, 0, 0}, // +z: counter-clockwise on screen
                      RotationCase{0, 0, -90, 2, 0, 0},
                      RotationCase{-90, 0, 0, 0, 0, -2}, // +x would turn +y toward the viewer
                      RotationCase{90, 0, 90, 0, 0, 2},  // x first: z then has nothing to turn
                      RotationCase{0, 90, 90, -2, 0, 0}, // y does nothing to +y, then z
                      RotationCase{90, 90, 0, 2, 0, 0},  // x takes +y to +z, y takes +z to +x
                      RotationCase{90, 0, 0, 0, 0, 2}));

TEST_F(EngineScene, EntityTransformIsTranslateRotateScaleUnderTheNode) {
    // Scale before rotation: 2 wide and 0.5 high, turned 90 degrees, stands up.
    Object(0, "quad.mesh", "white.png");
    ASSERT_EQ(ScaleEntity(0, 2.0f, 0.5f, 1.0f), E3D_OK);
    ASSERT_EQ(RotateEntity2(0, 0, 0, 90, 0), E3D_OK);
    Frame frame = Render();
    double sx, sy;
    ScreenOf(0, 1.6, 0, &sx, &sy);
    EXPECT_NE(frame.At(static_cast<int>(sx), static_cast<int>(sy)), 0u);
    ScreenOf(1.6, 0, 0, &sx, &sy);
    EXPECT_EQ(frame.At(static_cast<int>(sx), static_cast<int>(sy)), 0u);

    // The node's rotation turns the entity's own offset: node at (1, 0, 0)
    // turned 90 degrees about z, entity at (1, 0, 0) -> world (1, 1, 0).
    ASSERT_EQ(ScaleEntity(0, 0.1f, 0.1f, 1.0f), E3D_OK);
    ASSERT_EQ(RotateEntity2(0, 0, 0, 0, 0), E3D_OK);
    ASSERT_EQ(MoveEntity(0, 1, 0, 0), E3D_OK);
    ASSERT_EQ(CreateNode(0), E3D_OK);
    ASSERT_EQ(MoveNode(0, 1, 0, 0), E3D_OK);
    ASSERT_EQ(RotateNode(0, 0, 0, 90), E3D_OK);
    ASSERT_EQ(AttachNodeObject(0, EntityID(0)), E3D_OK);
    frame = Render();
    double x, y;
    ASSERT_TRUE(Centroid(frame, 0, &x, &y));
    ScreenOf(1, 1, 0, &sx, &sy);
    EXPECT_NEAR(x, sx, 1.0);
    EXPECT_NEAR(y, sy, 1.0);
}

TEST_F(EngineScene, RotateMode1AddsAnglesAndMode0Sets) {
    Object(0, "marker.mesh", "white.png");
    ASSERT_EQ(RotateEntity2(0, 0, 0, 90, 0), E3D_OK);
    const Frame set90 = Render();
    ASSERT_EQ(RotateEntity2(0, 0, 0, 0, 0), E3D_OK);
    const Frame level = Render();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(RotateEntity2(0, 0, 0, 30, 1), E3D_OK);
    EXPECT_EQ(Render(), set90);
    ASSERT_EQ(RotateEntity2(0, 0, 0, 0, 0), E3D_OK);
    EXPECT_EQ(Render(), level);
    EXPECT_NE(set90, level);
}

TEST_F(EngineScene, MoveCamera2Mode1StepsInWorldSpaceWhateverTheCameraFaces) {
    Object(0, "quad.mesh", "quadrants.png");
    ASSERT_EQ(CameraLookAt(0, 2, 0, 0), E3D_OK); // turned a little to the right
    ASSERT_EQ(MoveCamera2(0, 0, 0, -1, 1), E3D_OK);
    ASSERT_EQ(MoveCamera2(0, 0.5f, 0, -1, 1), E3D_OK);
    const Frame stepped = Render();
    // The same orientation, placed in one go at (0.5, 0, 8).
    ASSERT_EQ(MoveCamera(0, 0.5f, 0, 8), E3D_OK);
    EXPECT_EQ(Render(), stepped);
    ASSERT_EQ(MoveCamera2(0, 0.5f, 0, 8, 0), E3D_OK);
    EXPECT_EQ(Render(), stepped);
    // A refused mode changes nothing.
    EXPECT_EQ(MoveCamera2(0, 5, 5, 5, 2), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Render(), stepped);
}

TEST_F(EngineScene, EachKindHasItsOwnIdSpace) {
    ASSERT_EQ(LoadMesh(5, "quad.mesh"), E3D_OK);
    ASSERT_EQ(LoadTexture(5, "red.png"), E3D_OK);
    ASSERT_EQ(CreateMaterial(5, TextureID(5)), E3D_OK);
    ASSERT_EQ(CreateEntity(5, MeshID(5), MaterialID(5)), E3D_OK);
    ASSERT_EQ(CreateNode(5), E3D_OK);
    const std::set<void*> handles = {MeshID(5), TextureID(5), MaterialID(5), EntityID(5)};
    EXPECT_EQ(handles.size(), 4u);
    EXPECT_EQ(handles.count(nullptr), 0u);
    // A handle of one kind is no handle of another.
    EXPECT_EQ(CreateMaterial(6, MeshID(5)), E3D_ERR_BAD_HANDLE);
    EXPECT_EQ(CreateEntity(6, TextureID(5), MaterialID(5)), E3D_ERR_BAD_HANDLE);
    EXPECT_EQ(AttachNodeObject(5, MeshID(5)), E3D_ERR_BAD_HANDLE);
    EXPECT_EQ(MeshID(6), nullptr);
    EXPECT_EQ(EntityID(7), nullptr);
    EXPECT_EQ(MoveNode(7, 0, 0, 0), E3D_ERR_UNKNOWN_ID);
    // The entity still draws its red plate.
    EXPECT_EQ(Render().At(32, 32), 0xFF0000u);
}

TEST_F(EngineScene, ReloadingAnIdLeavesOldHandlesStaleButKeepsWhatWasBuilt) {
    Object(0, "quad.mesh", "red.png");
    void* redHandle = TextureID(0);
    ASSERT_EQ(LoadTexture(0, "green.png"), E3D_OK);
    EXPECT_NE(TextureID(0), redHandle);
    EXPECT_EQ(CreateMaterial(1, redHandle), E3D_ERR_BAD_HANDLE);
    EXPECT_EQ(Render().At(32, 32), 0xFF0000u); // material 0 keeps the red texture
    // A failed reload leaves the id empty rather than stale.
    EXPECT_EQ(LoadTexture(0, "missing.png"), E3D_ERR_NOT_FOUND);
    EXPECT_EQ(TextureID(0), nullptr);
}

TEST_F(EngineScene, MissingObjectsAreAbsentAndTheRestStillDraws) {
    Object(1, "quad.mesh", "red.png");
    ASSERT_EQ(MoveEntity(1, -2.0f, 0, 0), E3D_OK);
    EXPECT_EQ(LoadMesh(0, "no_such.mesh"), E3D_ERR_NOT_FOUND);
    EXPECT_EQ(MeshID(0), nullptr);
    EXPECT_EQ(LoadTexture(0, "no_such.png"), E3D_ERR_NOT_FOUND);
    EXPECT_EQ(CreateMaterial(0, TextureID(0)), E3D_ERR_BAD_HANDLE);
    EXPECT_EQ(CreateEntity(0, MeshID(0), MaterialID(0)), E3D_ERR_BAD_HANDLE);
    EXPECT_NE(EntityID(0), nullptr); // it exists, but has nothing to draw
    EXPECT_EQ(MoveEntity(0, 0, 0, 0), E3D_OK);
    EXPECT_EQ(RotateEntity2(42, 0, 0, 0, 0), E3D_ERR_UNKNOWN_ID);
    EXPECT_EQ(ScaleEntity(42, 1, 1, 1), E3D_ERR_UNKNOWN_ID);
    EXPECT_EQ(EntityRenderMode(42, 4), E3D_ERR_UNKNOWN_ID);
    EXPECT_EQ(RotateNode(42, 0, 0, 0), E3D_ERR_UNKNOWN_ID);
    EXPECT_EQ(MoveCamera(42, 0, 0, 0), E3D_ERR_UNKNOWN_ID);
    const Frame frame = Render();
    double sx, sy;
    ScreenOf(-2, 0, 0, &sx, &sy);
    EXPECT_EQ(frame.At(static_cast<int>(sx), static_cast<int>(sy)), 0xFF0000u);
    EXPECT_EQ(frame.At(32 + 8, 32), 0u); // entity 0 drew nothing

    // A mesh with a missing texture draws untextured white (here lit fully).
    ASSERT_EQ(LoadMesh(2, "quad.mesh"), E3D_OK);
    ASSERT_EQ(CreateEntity(2, MeshID(2), MaterialID(0)), E3D_OK);
    ASSERT_EQ(MoveEntity(2, 2.0f, 0, 0), E3D_OK);
    ScreenOf(2, 0, 0, &sx, &sy);
    EXPECT_EQ(Render().At(static_cast<int>(sx), static_cast<int>(sy)), 0xFFFFFFu);
}

TEST_F(EngineScene, BadArgumentsAreRefusedAndChangeNothing) {
    Object(0, "quad.mesh", "red.png");
    const Frame before = Render();
    const float nan = std::nanf("");
    const float inf = INFINITY;
    EXPECT_EQ(MoveEntity(0, nan, 0, 0), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ScaleEntity(0, 1, inf, 1), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(RotateEntity2(0, 0, 0, nan, 1), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(RotateEntity2(0, 0, 0, 10, 3), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(MoveCamera(0, 0, 0, -inf), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CameraLookAt(0, 0, 0, 10), E3D_ERR_BAD_ARGUMENT); // its own position
    EXPECT_EQ(CameraBackColor(0, 0x1000000), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CameraBackColor(0, -1), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CreateLight2(0, kWhite, nan, 0, 0), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(EntityRenderMode(0, 3), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(WorldShadows3(1, -1, 0), E3D_ERR_UNSUPPORTED);
    EXPECT_EQ(CreateCamera(1, 0, 0, 0, 100), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(CreateCamera(1, 0, 0, 100, 101), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Add3DArchive(SceneArchive().c_str(), 2), E3D_ERR_UNSUPPORTED);
    EXPECT_EQ(LoadMesh(1, nullptr), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(AntialiasingMode(-1), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Render(), before);
    EXPECT_STRNE(Engine3DLastError(), "");
}

TEST_F(EngineScene, TriangleCrossingTheNearPlaneIsClippedNotDropped) {
    // One corner 10 units behind the camera, two in front of it.
    Object(0, "triangle.mesh", "white.png");
    ASSERT_EQ(RotateEntity2(0, -80, 0, 0, 0), E3D_OK); // apex swings toward +z
    ASSERT_EQ(ScaleEntity(0, 3, 20, 1), E3D_OK);
    ASSERT_EQ(MoveEntity(0, 0, -2, 0), E3D_OK);
    const Frame frame = Render();
    DumpFrame(frame, "near_triangle");
    // The part in front of the camera fills the bottom middle; above the
    // apex's projection nothing is drawn.
    EXPECT_NE(frame.At(32, 62), 0u);
    EXPECT_EQ(frame.At(32, 2), 0u);
    EXPECT_EQ(frame.At(1, 62), 0u);
}

TEST_F(EngineScene, FloorThroughTheCameraDrawsUpToItsHorizon) {
    Object(0, "big_quad.mesh", "white.png");
    ASSERT_EQ(RotateEntity2(0, -90, 0, 0, 0), E3D_OK);
    ASSERT_EQ(MoveEntity(0, 0, -1, 0), E3D_OK);
    const Frame frame = Render();
    DumpFrame(frame, "floor");
    // The far edge, 60 units away, sits 1/60 of a unit per unit below centre.
    double sx, sy;
    ScreenOf(0, -1, -50, &sx, &sy);
    for (int x : {0, 20, 40, 63}) {
        EXPECT_EQ(frame.At(x, 63), frame.At(32, 63)) << x;
        EXPECT_NE(frame.At(x, 63), 0u) << x;
        EXPECT_EQ(frame.At(x, static_cast<int>(sy) - 2), 0u) << x;
        EXPECT_NE(frame.At(x, static_cast<int>(sy) + 2), 0u) << x;
    }
}

TEST_F(EngineScene, CameraDrivenThroughAPlateKeepsDrawingSensibly) {
    ASSERT_EQ(CameraBackColor(0, kBlueBackground), E3D_OK);
    Object(0, "big_quad.mesh", "red.png");
    for (int step = 0; step <= 80; ++step) {
        // From z = 10 to z = -10 in quarter steps, then back.
        const float z = 10.0f - 0.25f * static_cast<float>(step);
        ASSERT_EQ(MoveCamera(0, 0, 0, z), E3D_OK);
        const Frame frame = Render();
        for (std::uint32_t p : frame.pixels)
            ASSERT_TRUE(p == 0x0000FFu || (Red(p) > 200 && Green(p) == 0 && Blue(p) == 0))
                << "z " << z;
        // At least the near plane's distance (1) in front of the plate it
        // fills the view; closer or behind it, it is clipped away.
        const bool plateVisible = z >= 1.0f;
        EXPECT_EQ(frame.At(32, 32) != 0x0000FFu, plateVisible) << "z " << z;
    }
    for (int step = 0; step < 80; ++step)
        ASSERT_EQ(MoveCamera2(0, 0, 0, 0.25f, 1), E3D_OK);
    EXPECT_EQ(Render().At(32, 32), 0xFF0000u);
}

struct AlphaCase {
    const char* backTexture;
    bool backFirst;
    int r, g, b;
};

class AlphaOrder : public EngineScene, public ::testing::WithParamInterface<AlphaCase> {};

TEST_P(AlphaOrder, TransparentPlatesBlendBackToFrontWhateverTheCreationOrder) {
    const AlphaCase& c = GetParam();
    const auto back = [&] {
        Object(1, "quad.mesh", c.backTexture);
        ASSERT_EQ(MoveEntity(1, 0, 0, -1), E3D_OK);
    };
    const auto front = [&] { Object(2, "quad.mesh", "half_red.png"); };
    if (c.backFirst) {
        back();
        front();
    } else {
        front();
        back();
    }
    const Frame frame = Render();
    const std::uint32_t p = frame.At(32, 32);
    EXPECT_NEAR(Red(p), c.r, 1);
    EXPECT_NEAR(Green(p), c.g, 1);
    EXPECT_NEAR(Blue(p), c.b, 1);
}

// Red at alpha 128 over opaque green: 128 red, 255 * 127 / 255 green. Over
// green at alpha 200 on black: green 200 first, then 200 * 127 / 255.
INSTANTIATE_TEST_SUITE_P(Cases, AlphaOrder,
                         ::testing::Values(AlphaCase{"green.png", true, 128, 127, 0},
                                           AlphaCase{"green.png", false, 128, 127, 0},
                                           AlphaCase{"green_200.png", true, 128, 100, 0},
                                           AlphaCase{"green_200.png", false, 128, 100, 0}));

TEST_F(EngineScene, TransparentPlateBehindAnOpaqueOneIsHidden) {
    Object(1, "quad.mesh", "white.png");
    Object(2, "quad.mesh", "half_red.png");
    ASSERT_EQ(MoveEntity(2, 0, 0, -1), E3D_OK);
    EXPECT_EQ(Render().At(32, 32), 0xFFFFFFu);
    // A fully transparent texture leaves what is behind untouched.
    Object(3, "quad.mesh", "clear.png");
    ASSERT_EQ(MoveEntity(3, 0, 0, 1), E3D_OK);
    EXPECT_EQ(Render().At(32, 32), 0xFFFFFFu);
}

std::set<std::uint32_t> EdgeValues(const Frame& frame) {
    return std::set<std::uint32_t>(frame.pixels.begin(), frame.pixels.end());
}

TEST_F(EngineScene, Antialiasing4GivesIntermediateCoverageOnEdges) {
    Object(0, "quad.mesh", "white.png");
    ASSERT_EQ(RotateEntity2(0, 0, 0, 20, 0), E3D_OK);
    ASSERT_EQ(AntialiasingMode(0), E3D_OK);
    const Frame aliased = Render();
    ASSERT_EQ(AntialiasingMode(4), E3D_OK);
    const Frame smooth = Render();
    DumpFrame(smooth, "aa4_edge");
    EXPECT_EQ(EdgeValues(aliased), (std::set<std::uint32_t>{0x000000u, 0xFFFFFFu}));
    int partial = 0;
    std::set<int> levels;
    long long sumAliased = 0, sumSmooth = 0;
    for (std::size_t i = 0; i < smooth.pixels.size(); ++i) {
        const std::uint32_t p = smooth.pixels[i];
        EXPECT_TRUE(Red(p) == Green(p) && Green(p) == Blue(p)); // grey only
        if (p != 0 && p != 0xFFFFFFu) ++partial, levels.insert(Red(p));
        sumAliased += Red(aliased.pixels[i]);
        sumSmooth += Red(p);
    }
    // Edge pixels take 1, 2 or 3 of 4 samples: about 64, 128 and 191.
    EXPECT_GT(partial, 20);
    for (int level : levels)
        EXPECT_TRUE(std::abs(level - 64) <= 1 || std::abs(level - 128) <= 1 ||
                    std::abs(level - 191) <= 1)
            << level;
    // Same area either way, within a few percent.
    EXPECT_NEAR(static_cast<double>(sumSmooth) / static_cast<double>(sumAliased), 1.0, 0.03);
    // The interior is untouched by the resolve.
    EXPECT_EQ(smooth.At(32, 32), 0xFFFFFFu);
}

TEST_F(EngineScene, FacesTowardTheLightAreBrighterAndTheOthersStayReadable) {
    ASSERT_EQ(CreateLight2(0, kWhite, 100, 0, 10), E3D_OK); // to the right
    Object(0, "quad.mesh", "white.png");
    Object(1, "quad.mesh", "white.png");
    ASSERT_EQ(ScaleEntity(0, 0.5f, 0.5f, 1), E3D_OK);
    ASSERT_EQ(ScaleEntity(1, 0.5f, 0.5f, 1), E3D_OK);
    ASSERT_EQ(MoveEntity(0, -1, 0, 0), E3D_OK);
    ASSERT_EQ(MoveEntity(1, 1, 0, 0), E3D_OK);
    ASSERT_EQ(RotateEntity2(0, 0, 45, 0, 0), E3D_OK);  // faces right, toward the light
    ASSERT_EQ(RotateEntity2(1, 0, -45, 0, 0), E3D_OK); // faces left, away from it
    const Frame frame = Render();
    double lx, ly, rx, ry;
    ScreenOf(-1, 0, 0, &lx, &ly);
    ScreenOf(1, 0, 0, &rx, &ry);
    const int toward = Brightness(frame.At(static_cast<int>(lx), static_cast<int>(ly)));
    const int away = Brightness(frame.At(static_cast<int>(rx), static_cast<int>(ry)));
    EXPECT_GT(toward, away + 80);
    EXPECT_NEAR(away, 89, 3); // ambient only: 0.35 of white
}

TEST_F(EngineScene, PlatesSeenFromBehindVanish) {
    Object(0, "quad.mesh", "white.png");
    ASSERT_EQ(Render().At(32, 32), 0xFFFFFFu);
    ASSERT_EQ(RotateEntity2(0, 0, 180, 0, 0), E3D_OK); // its back now faces the camera
    EXPECT_EQ(Render().At(32, 32), 0u);
    ASSERT_EQ(RotateEntity2(0, 0, 0, 0, 0), E3D_OK);
    ASSERT_EQ(ScaleEntity(0, -1, 1, 1), E3D_OK); // mirrored: its front still faces +z
    EXPECT_EQ(Render().At(32, 32), 0xFFFFFFu);
    // Light behind the plate: the side seen gets ambient only.
    ASSERT_EQ(CreateLight2(0, kWhite, 0, 0, -1e7f), E3D_OK);
    EXPECT_NEAR(Brightness(Render().At(32, 32)), 89, 2);
}

TEST_F(EngineScene, OnlyLightZeroLightsTheScene) {
    // Start again without the fixture's light 0; light 1 alone lights nothing.
    Engine3DShutdown();
    ASSERT_EQ(InitEngine3D(), E3D_OK);
    ASSERT_EQ(Add3DArchive(SceneArchive().c_str(), 1), E3D_OK);
    ASSERT_EQ(OpenScreen(kSize, kSize, 32, "", 0, nullptr, 0, 1), E3D_OK);
    ASSERT_EQ(CreateCamera(0, 0, 0, 100, 100), E3D_OK);
    ASSERT_EQ(MoveCamera(0, 0, 0, 10), E3D_OK);
    Object(0, "quad.mesh", "white.png");
    ASSERT_EQ(CreateLight2(1, kWhite, 0, 0, 100), E3D_OK);
    EXPECT_NEAR(Brightness(Render().At(32, 32)), 89, 1);      // ambient: 0.35 of white
    ASSERT_EQ(CreateLight2(0, 0x0000FF, 0, 0, 1e7f), E3D_OK); // a red light 0
    const std::uint32_t red = Render().At(32, 32);
    EXPECT_EQ(Red(red), 255);
    EXPECT_NEAR(Green(red), 89, 1);
    EXPECT_NEAR(Blue(red), 89, 1);
}

TEST_F(EngineScene, CastersShadowOtherEntitiesTowardTheShadowColour) {
    ASSERT_EQ(CreateLight2(0, kWhite, 50, 0, 100), E3D_OK);
    Object(0, "quad.mesh", "white.png"); // receiver
    ASSERT_EQ(ScaleEntity(0, 2, 2, 1), E3D_OK);
    Object(1, "quad.mesh", "white.png"); // caster, 1 unit in front
    ASSERT_EQ(ScaleEntity(1, 0.3f, 0.3f, 1), E3D_OK);
    ASSERT_EQ(MoveEntity(1, 0, 0, 1), E3D_OK);
    const Frame lit = Render();
    ASSERT_EQ(EntityRenderMode(1, 4), E3D_OK);
    EXPECT_EQ(Render(), lit); // a caster alone changes nothing while shadows are off
    ASSERT_EQ(WorldShadows3(2, -1.0f, 0), E3D_OK);
    const Frame shadowed = Render();
    DumpFrame(shadowed, "shadow");
    // The shadow falls about half a unit to the left of the caster.
    double sx, sy;
    ScreenOf(-0.55, 0, 0, &sx, &sy);
    const int x = static_cast<int>(sx), y = static_cast<int>(sy);
    EXPECT_GT(Brightness(lit.At(x, y)), 200);
    // Black shadow colour: only the ambient part is left there.
    EXPECT_NEAR(Brightness(shadowed.At(x, y)), 89, 3);
    // Away from the shadow, and on the caster itself, nothing changes.
    int changed = 0;
    for (std::size_t i = 0; i < lit.pixels.size(); ++i)
        changed += lit.pixels[i] != shadowed.pixels[i];
    EXPECT_GT(changed, 10);
    EXPECT_LT(changed, 120);
    EXPECT_EQ(shadowed.At(32, 32), lit.At(32, 32));
    EXPECT_EQ(shadowed.At(50, 32), lit.At(50, 32));

    // A grey shadow colour gives a lighter shadow.
    ASSERT_EQ(WorldShadows3(2, -1.0f, 128 + 256 * 128 + 65536 * 128), E3D_OK);
    const int grey = Brightness(Render().At(x, y));
    EXPECT_GT(grey, 89 + 40);
    EXPECT_LT(grey, Brightness(lit.At(x, y)) - 40);
    // Off again, or the caster back to mode 0: no shadow.
    ASSERT_EQ(WorldShadows3(0, -1.0f, 0), E3D_OK);
    EXPECT_EQ(Render(), lit);
    ASSERT_EQ(WorldShadows3(2, -1.0f, 0), E3D_OK);
    ASSERT_EQ(EntityRenderMode(1, 0), E3D_OK);
    EXPECT_EQ(Render(), lit);
}

TEST_F(EngineScene, TransparentTexelsCastNoShadow) {
    ASSERT_EQ(CreateLight2(0, kWhite, 50, 0, 100), E3D_OK);
    Object(0, "quad.mesh", "white.png");
    ASSERT_EQ(ScaleEntity(0, 2, 2, 1), E3D_OK);
    const Frame lit = Render();
    Object(1, "quad.mesh", "clear.png");
    ASSERT_EQ(ScaleEntity(1, 0.3f, 0.3f, 1), E3D_OK);
    ASSERT_EQ(MoveEntity(1, 0, 0, 1), E3D_OK);
    ASSERT_EQ(EntityRenderMode(1, 4), E3D_OK);
    ASSERT_EQ(WorldShadows3(2, -1.0f, 0), E3D_OK);
    EXPECT_EQ(Render(), lit);
}

TEST_F(EngineScene, ScreenLifecycle) {
    Engine3DShutdown();
    ASSERT_EQ(InitEngine3D(), E3D_OK);
    EXPECT_EQ(CloseScreen(), E3D_OK); // nothing open: does nothing
    EXPECT_EQ(RenderWorld(), E3D_ERR_NO_SCREEN);
    EXPECT_EQ(FlipBuffers(), E3D_ERR_NO_SCREEN);
    int w = -1, h = -1;
    ASSERT_EQ(Engine3DFrameSize(&w, &h), E3D_OK);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(OpenScreen(0, 10, 32, "", 0, nullptr, 0, 1), E3D_ERR_BAD_ARGUMENT);
    EXPECT_EQ(OpenScreen(10, 10, 8, "", 0, nullptr, 0, 1), E3D_ERR_BAD_ARGUMENT);
    ASSERT_EQ(OpenScreen(40, 30, 32, "", 0, nullptr, 0, 1), E3D_OK);
    EXPECT_EQ(RenderWorld(), E3D_OK); // no camera: black
    EXPECT_EQ(FlipBuffers(), E3D_OK);
    ASSERT_EQ(Engine3DFrameSize(&w, &h), E3D_OK);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 30);
    std::vector<unsigned char> small(100);
    EXPECT_EQ(Engine3DCopyFrame(small.data(), 100), E3D_ERR_TOO_LARGE);
    std::vector<unsigned char> rgba(40 * 30 * 4, 7);
    EXPECT_EQ(Engine3DCopyFrame(rgba.data(), static_cast<int>(rgba.size())), 40 * 30 * 4);
    EXPECT_EQ(rgba[0], 0);
    EXPECT_EQ(rgba[3], 255);
    EXPECT_EQ(CloseScreen(), E3D_OK);
    EXPECT_EQ(CloseScreen(), E3D_OK);
    EXPECT_EQ(RenderWorld(), E3D_ERR_NO_SCREEN);
    // The last presented frame outlives the screen, for tools that read it after.
    ASSERT_EQ(Engine3DFrameSize(&w, &h), E3D_OK);
    EXPECT_EQ(w, 40);
}

TEST_F(EngineScene, CallsBeforeInitFailCleanly) {
    Engine3DShutdown();
    EXPECT_EQ(RenderWorld(), E3D_ERR_NOT_INITIALISED);
    EXPECT_EQ(CloseScreen(), E3D_ERR_NOT_INITIALISED);
    EXPECT_EQ(LoadMesh(0, "quad.mesh"), E3D_ERR_NOT_INITIALISED);
    EXPECT_EQ(MeshID(0), nullptr);
    EXPECT_STRNE(Engine3DLastError(), "");
    ASSERT_EQ(InitEngine3D(), E3D_OK);
    EXPECT_EQ(InitEngine3D(), E3D_OK); // a second call keeps the state
}

TEST_F(EngineScene, GuiWindowNeverHidesTheScene) {
    Object(0, "quad.mesh", "quadrants.png");
    const Frame without = Render();
    ASSERT_EQ(OpenWindow3D(0, 0, 0, kSize, kSize, "3d", 0), E3D_OK);
    EXPECT_EQ(Render(), without);
}

TEST_F(EngineScene, ViewportsInPercentOfTheScreen) {
    ASSERT_EQ(CameraBackColor(0, kBlueBackground), E3D_OK);
    ASSERT_EQ(CreateCamera(1, 50, 0, 50, 100), E3D_OK); // right half, red background
    ASSERT_EQ(CameraBackColor(1, 255), E3D_OK);
    ASSERT_EQ(MoveCamera(1, 0, 0, 10), E3D_OK);
    const Frame frame = Render();
    EXPECT_EQ(frame.At(10, 10), 0x0000FFu);
    EXPECT_EQ(frame.At(50, 10), 0xFF0000u);
}

TEST(EngineReferenceScene, FramesAreIdenticalForIdenticalCalls) {
    const std::string archive = ScratchDir() + "engine_reference.zip";
    ASSERT_TRUE(WriteReferenceArchive(archive));
    const Engine3DApi api = LinkedEngine();
    BuildReferenceScene(api, archive, 128, nullptr);
    const Frame first = CaptureFrame(api);
    DumpFrame(first, "reference_level");
    PoseReferenceScene(api, 20.0f, 30.0f);
    DumpFrame(CaptureFrame(api), "reference_pitch20_bank30");
    PoseReferenceScene(api, 0.0f, 0.0f);
    EXPECT_EQ(CaptureFrame(api), first);
    Engine3DShutdown();
    BuildReferenceScene(api, archive, 128, nullptr);
    EXPECT_EQ(CaptureFrame(api), first);
    Engine3DShutdown();
}

TEST(EngineReferenceScene, CameraDrivenThroughTheWholeGaugeAndBack) {
    const std::string archive = ScratchDir() + "engine_reference.zip";
    ASSERT_TRUE(WriteReferenceArchive(archive));
    const Engine3DApi api = LinkedEngine();
    BuildReferenceScene(api, archive, 96, nullptr);
    PoseReferenceScene(api, 10.0f, -20.0f);
    const Frame start = CaptureFrame(api);
    // 450 -> -600 in unit steps, as the Q and A keys do, rendering every 5th.
    for (int step = 1; step <= 1050; ++step) {
        ASSERT_EQ(MoveCamera2(0, 0.0f, 0.0f, -1.0f, 1), E3D_OK);
        const int z = 450 - step;
        if (z % 5 != 0) continue;
        PoseReferenceScene(api, 10.0f, -20.0f);
        const Frame frame = CaptureFrame(api);
        if (z % 75 == 0) DumpFrame(frame, "flythrough_z" + std::to_string(z));
        const bool blank = std::all_of(frame.pixels.begin(), frame.pixels.end(),
                                       [](std::uint32_t p) { return p == 0; });
        // In front of the drum (z = 170) some of the gauge shows; inside it
        // its back faces are culled, and past it the camera, still facing -z,
        // looks at nothing.
        if (z > 175) {
            EXPECT_FALSE(blank) << "z " << z;
        }
        if (z < 25) {
            EXPECT_TRUE(blank) << "z " << z;
        }
    }
    for (int step = 0; step < 1050; ++step)
        ASSERT_EQ(MoveCamera2(0, 0.0f, 0.0f, 1.0f, 1), E3D_OK);
    PoseReferenceScene(api, 10.0f, -20.0f);
    EXPECT_EQ(CaptureFrame(api), start);
    Engine3DShutdown();
}

} // namespace
