// The archive as files: its members, images and meshes as other readers see them, and the
// generator's determinism and arguments.
#include "gauge_archive.h"
#include "gauge_raycast.h"
#include "zip_reader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

#include "scratch_dir.h"
#include <sstream>
#include <stb_image.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace assetgen {
namespace {

const std::vector<ZipEntry>& Entries() {
    static const std::vector<ZipEntry> entries = [] {
        std::vector<std::uint8_t> zip;
        std::vector<ZipEntry> read;
        std::string error;
        if (!ReadFileBytes(ASSETGEN_ARCHIVE, &zip, &error) || !ReadZip(zip, &read, &error))
            ADD_FAILURE() << error;
        return read;
    }();
    return entries;
}

const std::vector<std::uint8_t>* Member(const std::string& name) {
    for (const ZipEntry& e : Entries())
        if (e.name == name) return &e.data;
    return nullptr;
}

TEST(AssetArchive, HoldsExactlyTheSixMembers) {
    std::vector<std::string> names;
    for (const ZipEntry& e : Entries()) {
        names.push_back(e.name);
        EXPECT_TRUE(e.method == 0 || e.method == 8) << e.name;
    }
    const std::vector<std::string> expected = {kDrumMeshName,  kDrumTextureName,
                                               kMaskMeshName,  kMaskTextureName,
                                               kFrameMeshName, kFrameTextureName};
    EXPECT_EQ(names, expected);
    std::vector<std::uint8_t> zip;
    std::string error;
    ASSERT_TRUE(ReadFileBytes(ASSETGEN_ARCHIVE, &zip, &error));
    // Small enough to ship beside the gauge.
    EXPECT_LT(zip.size(), 2u * 1024 * 1024);
}

struct TextureCase {
    const char* name;
    int width, height;
    bool transparent; // needs an alpha channel with an antialiased edge
};

TEST(AssetArchive, TexturesDecodeAtTheirSizes) {
    const TextureCase cases[] = {{kDrumTextureName, 1024, 2048, false},
                                 {kMaskTextureName, 1024, 1024, true},
                                 {kFrameTextureName, 1024, 1024, true}};
    for (const TextureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* png = Member(c.name);
        ASSERT_NE(png, nullptr);
        int w = 0, h = 0, channels = 0;
        ASSERT_TRUE(
            stbi_info_from_memory(png->data(), static_cast<int>(png->size()), &w, &h, &channels));
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        Image image;
        std::string error;
        ASSERT_TRUE(DecodePng(*png, &image, &error)) << error;
        if (!c.transparent) {
            EXPECT_EQ(channels, 3);
            continue;
        }
        EXPECT_EQ(channels, 4);
        int clear = 0, opaque = 0, edge = 0;
        for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
            const int a = image.rgba[i];
            clear += a == 0;
            opaque += a == 255;
            edge += a > 0 && a < 255;
        }
        EXPECT_GT(clear, 0);
        EXPECT_GT(opaque, 0);
        // An antialiased round edge of radius r leaves about 2 pi r partly covered texels.
        EXPECT_GT(edge, 1000);
    }
}

TEST(AssetArchive, MeshesAreGlbWithSoundGeometry) {
    for (const char* name : {kDrumMeshName, kMaskMeshName, kFrameMeshName}) {
        SCOPED_TRACE(name);
        const auto* glb = Member(name);
        ASSERT_NE(glb, nullptr);
        ASSERT_GE(glb->size(), 12u);
        EXPECT_EQ(std::memcmp(glb->data(), "glTF", 4), 0);
        EXPECT_EQ((*glb)[4], 2); // container version 2
        Mesh mesh;
        std::string error;
        ASSERT_TRUE(DecodeMesh(*glb, &mesh, &error)) << error;
        ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
        for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
            const Vec3& p = mesh.positions[i];
            const Vec3& n = mesh.normals[i];
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << i;
            ASSERT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-4) << i;
            ASSERT_TRUE(mesh.u[i] >= 0 && mesh.u[i] <= 1 && mesh.v[i] >= 0 && mesh.v[i] <= 1) << i;
        }
        // Counter-clockwise seen from outside: each face's winding normal agrees with the
        // normals its vertices carry, so an engine that culls back faces keeps every face.
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            ASSERT_LT(mesh.indices[t + 2], mesh.positions.size());
            const Vec3& a = mesh.positions[mesh.indices[t]];
            const Vec3& b = mesh.positions[mesh.indices[t + 1]];
            const Vec3& c = mesh.positions[mesh.indices[t + 2]];
            const Vec3 e1{b.x - a.x, b.y - a.y, b.z - a.z};
            const Vec3 e2{c.x - a.x, c.y - a.y, c.z - a.z};
            const Vec3 face{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                            e1.x * e2.y - e1.y * e2.x};
            for (std::size_t k = 0; k < 3; ++k) {
                const Vec3& n = mesh.normals[mesh.indices[t + k]];
                ASSERT_GT(face.x * n.x + face.y * n.y + face.z * n.z, 0.0) << "triangle " << t / 3;
            }
        }
    }
}

TEST(DrumMesh, IsACylinderAboutXBehindTheMask) {
    Mesh drum;
    std::string error;
    ASSERT_NE(Member(kDrumMeshName), nullptr);
    ASSERT_TRUE(DecodeMesh(*Member(kDrumMeshName), &drum, &error)) << error;
    double radius = 0, minX = 1e9, maxX = -1e9, maxZ = -1e9;
    for (const Vec3& p : drum.positions) {
        radius = std::max(radius, std::hypot(p.y, p.z));
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        maxZ = std::max(maxZ, p.z);
    }
    EXPECT_LT(radius, 80.0);
    EXPECT_GT(radius, 40.0);
    EXPECT_NEAR(maxZ, radius, 1e-3);
    EXPECT_LT(100.0 + maxZ, 180.0) << "the drum's front must stay behind the mask";
    EXPECT_NEAR(minX, -maxX, 1e-3);
    int side = 0, caps = 0;
    for (std::size_t i = 0; i < drum.positions.size(); ++i) {
        const Vec3& p = drum.positions[i];
        const Vec3& n = drum.normals[i];
        if (std::fabs(n.x) > 0.5) {
            // A cap: flat at one end, facing out along x.
            ++caps;
            ASSERT_NEAR(p.x, n.x > 0 ? maxX : minX, 1e-3) << "vertex " << i;
            continue;
        }
        ++side;
        ASSERT_NEAR(std::hypot(p.y, p.z), radius, 1e-3) << "vertex " << i << " off the cylinder";
        ASSERT_NEAR(n.x, 0.0, 1e-6);
        ASSERT_NEAR(n.y * radius, p.y, 1e-3); // the normal points straight out from the x axis
        ASSERT_NEAR(n.z * radius, p.z, 1e-3);
    }
    EXPECT_GT(side, 0);
    EXPECT_GT(caps, 0);
}

// ---- The generator as a program ------------------------------------------------------------

struct RunResult {
    int code;
    std::string stderrText;
};

RunResult RunGenerator(const std::string& args) {
    const std::string log = ScratchDir() + "assetgen_stderr.txt";
    const std::string command = std::string(ASSETGEN_EXE) + " " + args + " 2>" + log;
    const int status = std::system(command.c_str());
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

std::vector<std::uint8_t> Bytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadFileBytes(path, &bytes, &error)) << error;
    return bytes;
}

TEST(Generator, TwoRunsGiveIdenticalBytes) {
    const std::string first = ScratchDir() + "assetgen_first.zip";
    const std::string second = ScratchDir() + "assetgen_second.zip";
    ASSERT_EQ(RunGenerator("-o " + first).code, 0);
    ASSERT_EQ(RunGenerator("-o " + second).code, 0);
    const auto a = Bytes(first);
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == Bytes(second));
    EXPECT_TRUE(a == Bytes(ASSETGEN_ARCHIVE)) << "the build's archive differs from a fresh run";
    std::remove(first.c_str());
    std::remove(second.c_str());
}

TEST(Generator, RefusesBadArgumentsWithAMessage) {
    const std::string dir = ScratchDir();
    struct Case {
        std::string args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {"", 2, "no output path"},
        {"-o", 2, "-o needs a path"},
        {"-o ''", 2, "empty"},
        {"-x " + dir + "x.zip", 2, "unknown argument '-x'"},
        {"-o " + dir + "a.zip -o " + dir + "b.zip", 2, "given twice"},
        {"-o " + dir + "no_such_dir/x.zip", 1, "cannot create"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const RunResult r = RunGenerator(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.stderrText.find(c.says), std::string::npos) << r.stderrText;
    }
    std::FILE* left = std::fopen((dir + "a.zip").c_str(), "rb");
    EXPECT_EQ(left, nullptr) << "a refused run wrote its output";
    if (left != nullptr) std::fclose(left);
}

TEST(Generator, FailedWriteKeepsTheOldArchive) {
    // The rename onto a non-empty directory fails after the archive is built: the directory and
    // what is in it stay, and no temporary file is left behind.
    const std::string dir = ScratchDir() + "assetgen_keep";
    ASSERT_EQ(std::system(("mkdir -p " + dir + " && echo old > " + dir + "/keep").c_str()), 0);
    const RunResult r = RunGenerator("-o " + dir);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Bytes(dir + "/keep").size(), 4u);
    std::FILE* temporary = std::fopen((dir + ".tmp").c_str(), "rb");
    EXPECT_EQ(temporary, nullptr);
    if (temporary != nullptr) std::fclose(temporary);
    std::system(("rm -rf " + dir).c_str());
}

} // namespace
} // namespace assetgen
