// The engine's files through its exports: archives and members made by other
// tools, lookup across several archives, and broken or hostile files, each of
// which must leave its object absent and everything else working.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <cmath>
#include <cstring>

#include "engine3d_exports.h"
#include "engine_frames.h"
#include "engine_test_assets.h"
#include "reference_scene.h"

namespace {

const std::string kFixtures = ENGINE_FIXTURES;

std::uint32_t Argb(int a, int r, int g, int b) {
    return (static_cast<std::uint32_t>(a) << 24) | (static_cast<std::uint32_t>(r) << 16) |
           (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

Bytes Solid(std::uint32_t argb) {
    return MakePng(2, 2, std::vector<std::uint32_t>(4, argb));
}

std::string Temp(const std::string& name) {
    return ScratchDir() + name;
}

class EngineFiles : public ::testing::Test {
  protected:
    Engine3DApi api = LinkedEngine();
    void SetUp() override {
        ASSERT_EQ(InitEngine3D(), E3D_OK);
        ASSERT_EQ(OpenScreen(32, 32, 32, "", 0, nullptr, 0, 1), E3D_OK);
        ASSERT_EQ(CreateCamera(0, 0, 0, 100, 100), E3D_OK);
        ASSERT_EQ(MoveCamera(0, 0, 0, 5), E3D_OK);
        ASSERT_EQ(CreateLight2(0, 0xFFFFFF, 0, 0, 1e7f), E3D_OK);
    }
    void TearDown() override { Engine3DShutdown(); }

    std::uint32_t CentreOf(int meshId, int textureId) {
        EXPECT_EQ(CreateMaterial(50, TextureID(textureId)), E3D_OK);
        EXPECT_EQ(CreateEntity(50, MeshID(meshId), MaterialID(50)), E3D_OK);
        EXPECT_EQ(RenderWorld(), E3D_OK);
        EXPECT_EQ(FlipBuffers(), E3D_OK);
        return CaptureFrame(api).At(16, 16);
    }
};

class ToolMadeAssets : public EngineFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(ToolMadeAssets, MeshAndEveryPngVariantLoadAndDraw) {
    ASSERT_EQ(Add3DArchive((kFixtures + "/" + GetParam()).c_str(), 1), E3D_OK)
        << Engine3DLastError();
    ASSERT_EQ(LoadMesh(0, "quad.mesh"), E3D_OK) << Engine3DLastError();
    const char* pngs[] = {"png_grey8.png",        "png_grey16.png",
                          "png_palette.png",      "png_rgb.png",
                          "png_rgb16.png",        "png_rgb_interlaced.png",
                          "png_rgba.png",         "png_rgba16_interlaced.png",
                          "png_palette_alpha.png"};
    int id = 1;
    for (const char* png : pngs) {
        EXPECT_EQ(LoadTexture(id, png), E3D_OK) << png << ": " << Engine3DLastError();
        EXPECT_NE(TextureID(id), nullptr) << png;
        ++id;
    }
    // The 16 x 8 RGB pattern's texel (8, 4), magnified, at the plate's centre:
    // red 8 * 16, green 4 * 32, blue 12 * 8, bilinear with its neighbours.
    const std::uint32_t centre = CentreOf(0, 4);
    EXPECT_NEAR(Red(centre), 120, 10);
    EXPECT_NEAR(Green(centre), 112, 20);
    EXPECT_NEAR(Blue(centre), 92, 6);
}

INSTANTIATE_TEST_SUITE_P(ZipAndPython, ToolMadeAssets,
                         ::testing::Values("assets_zip.zip", "assets_python.zip"));

TEST_F(EngineFiles, MembersAreFoundInRegistrationOrder) {
    const std::string first = Temp("engine_files_first.zip"),
                      second = Temp("engine_files_second.zip");
    ASSERT_TRUE(
        WriteBytes(first, MakeZip({{"shared.png", Solid(Argb(255, 255, 0, 0)), false, false},
                                   {"quad.mesh", MakeGlb(Quad(1, 1)), true, false}})));
    ASSERT_TRUE(WriteBytes(
        second, MakeZip({{"shared.png", Solid(Argb(255, 0, 255, 0)), true, true},
                         {"only_second.png", Solid(Argb(255, 0, 0, 255)), false, true}})));
    ASSERT_EQ(Add3DArchive(first.c_str(), 1), E3D_OK);
    ASSERT_EQ(Add3DArchive(second.c_str(), 1), E3D_OK);
    ASSERT_EQ(LoadMesh(0, "quad.mesh"), E3D_OK);
    ASSERT_EQ(LoadTexture(1, "shared.png"), E3D_OK);
    ASSERT_EQ(LoadTexture(2, "only_second.png"), E3D_OK);
    EXPECT_EQ(CentreOf(0, 1), 0xFF0000u);
    EXPECT_EQ(CentreOf(0, 2), 0x0000FFu);
}

TEST_F(EngineFiles, Utf8ArchivePath) {
    const std::string path = Temp("engine_files_\xC3\xA9t\xC3\xA9_\xE2\x9C\x88.zip");
    ASSERT_TRUE(WriteBytes(path, MakeZip({{"quad.mesh", MakeGlb(Quad(1, 1)), true, false}})));
    ASSERT_EQ(Add3DArchive(path.c_str(), 1), E3D_OK) << Engine3DLastError();
    EXPECT_EQ(LoadMesh(0, "quad.mesh"), E3D_OK);
}

TEST_F(EngineFiles, BrokenArchivesAreRefusedAndTheOthersStillServe) {
    const std::string good = Temp("engine_files_good.zip");
    ASSERT_TRUE(
        WriteBytes(good, MakeZip({{"quad.mesh", MakeGlb(Quad(1, 1)), true, false},
                                  {"red.png", Solid(Argb(255, 255, 0, 0)), false, false}})));
    ASSERT_EQ(Add3DArchive(good.c_str(), 1), E3D_OK);

    Bytes truncated = ReadBytes(good);
    truncated.resize(truncated.size() / 2);
    const std::string cut = Temp("engine_files_truncated.zip");
    ASSERT_TRUE(WriteBytes(cut, truncated));
    EXPECT_EQ(Add3DArchive(cut.c_str(), 1), E3D_ERR_BAD_DATA);
    EXPECT_NE(std::strstr(Engine3DLastError(), "engine_files_truncated.zip"), nullptr);
    EXPECT_EQ(Add3DArchive(Temp("engine_files_missing.zip").c_str(), 1), E3D_ERR_NOT_FOUND);
    EXPECT_EQ(Add3DArchive(ScratchDir().c_str(), 1), E3D_ERR_NOT_FOUND); // a directory
    EXPECT_EQ(Add3DArchive("", 1), E3D_ERR_BAD_ARGUMENT);

    ASSERT_EQ(LoadMesh(0, "quad.mesh"), E3D_OK);
    ASSERT_EQ(LoadTexture(0, "red.png"), E3D_OK);
    EXPECT_EQ(CentreOf(0, 0), 0xFF0000u);
}

// Members that are broken or hostile, each in an otherwise sound archive.
struct BadMember {
    const char* name;
    bool mesh; // LoadMesh or LoadTexture
    int expected;
};

Bytes PngClaiming(std::uint32_t width, std::uint32_t height) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {width, height})
        for (int i = 3; i >= 0; --i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0, 0, 0, 0});
    return b;
}

const std::string& HostileArchive() {
    static const std::string path = [] {
        GltfMesh outOfRange = Quad(1, 1);
        outOfRange.indices[2] = 9;
        GltfMesh nanPositions = Quad(1, 1);
        nanPositions.positions[7] = NAN;
        Bytes archive = MakeZip({
            {"huge.png", PngClaiming(100000, 100000), false, false},
            {"indices.mesh", MakeGlb(outOfRange), true, false},
            {"nan.mesh", MakeGlb(nanPositions), false, false},
            {"text.mesh", ToBytes("solid cube\nfacet normal 0 0 1\n"), false, false},
            {"text.png", ToBytes("not an image"), true, false},
            {"bomb.png", Bytes(8u << 20, 0), true, false},
            {"claims4g.png", Solid(0xFFFFFFFFu), false, false},
            {"fine.png", Solid(0xFF00FF00u), false, false},
            {"fine.mesh", MakeGlb(Quad(1, 1)), false, false},
        });
        // bomb.png: 8 MiB of zeros declared as 1000 bytes; claims4g.png: a
        // member declaring almost 4 GiB. Patch their central directory entries.
        auto patch = [&](const char* name, std::uint32_t size) {
            const std::string n = name;
            for (std::size_t i = 0; i + 46 < archive.size(); ++i) {
                if (!(archive[i] == 'P' && archive[i + 1] == 'K' && archive[i + 2] == 1 &&
                      archive[i + 3] == 2))
                    continue;
                const std::size_t length = archive[i + 28] | (archive[i + 29] << 8);
                if (std::string(archive.begin() + static_cast<std::ptrdiff_t>(i + 46),
                                archive.begin() + static_cast<std::ptrdiff_t>(i + 46 + length)) !=
                    n)
                    continue;
                for (int k = 0; k < 4; ++k)
                    archive[i + 24 + static_cast<std::size_t>(k)] =
                        static_cast<std::uint8_t>(size >> (8 * k));
            }
        };
        patch("bomb.png", 1000);
        patch("claims4g.png", 0xFFFFFFF0u);
        const std::string file = ScratchDir() + "engine_files_hostile.zip";
        WriteBytes(file, archive);
        return file;
    }();
    return path;
}

class HostileMember : public EngineFiles, public ::testing::WithParamInterface<BadMember> {};

TEST_P(HostileMember, ObjectIsAbsentAndTheRestWorks) {
    const BadMember& bad = GetParam();
    ASSERT_EQ(Add3DArchive(HostileArchive().c_str(), 1), E3D_OK);
    const int result = bad.mesh ? LoadMesh(7, bad.name) : LoadTexture(7, bad.name);
    EXPECT_EQ(result, bad.expected) << Engine3DLastError();
    EXPECT_EQ(bad.mesh ? MeshID(7) : TextureID(7), nullptr);
    EXPECT_NE(std::strstr(Engine3DLastError(), bad.name), nullptr) << Engine3DLastError();
    // The sound members of the same archive still load and draw.
    ASSERT_EQ(LoadMesh(1, "fine.mesh"), E3D_OK);
    ASSERT_EQ(LoadTexture(1, "fine.png"), E3D_OK);
    EXPECT_EQ(CentreOf(1, 1), 0x00FF00u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileMember,
    ::testing::Values(BadMember{"huge.png", false, E3D_ERR_TOO_LARGE},
                      BadMember{"indices.mesh", true, E3D_ERR_BAD_DATA},
                      BadMember{"nan.mesh", true, E3D_ERR_BAD_DATA},
                      BadMember{"text.mesh", true, E3D_ERR_BAD_DATA},
                      BadMember{"text.png", false, E3D_ERR_BAD_DATA},
                      BadMember{"bomb.png", false, E3D_ERR_BAD_DATA},
                      BadMember{"claims4g.png", false, E3D_ERR_TOO_LARGE},
                      BadMember{"fine.png", true, E3D_ERR_BAD_DATA},   // a PNG is no mesh
                      BadMember{"fine.mesh", false, E3D_ERR_BAD_DATA}, // nor a mesh an image
                      BadMember{"absent.png", false, E3D_ERR_NOT_FOUND}),
    [](const auto& test) {
        std::string name = test.param.name;
        for (char& c : name)
            if (c == '.') c = '_';
        return name + (test.param.mesh ? "_as_mesh" : "_as_texture");
    });

TEST(EngineReferenceFrame, MatchesTheBitsEveryBuildMustProduce) {
    const std::string archive = Temp("engine_reference_hash.zip");
    ASSERT_TRUE(WriteReferenceArchive(archive));
    const Engine3DApi api = LinkedEngine();
    BuildReferenceScene(api, archive, 128, nullptr);
    PoseReferenceScene(api, 12.5f, -33.0f);
    const std::uint64_t hash = ReferenceFrameHash(api);
    Engine3DShutdown();
    // The Windows build checks the same value (engine_window_test.cpp).
    EXPECT_EQ(hash, kReferenceFrameHash) << std::hex << "0x" << hash;
}

} // namespace
