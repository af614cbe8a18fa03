// The glTF path: what a mesh turns into (both containers, every index width,
// node transforms, computed normals) and how broken or hostile files fail.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>

#include "engine_test_assets.h"
#include "mesh_gltf.h"

namespace {

MeshResult Decode(const Bytes& bytes, MeshData* mesh) {
    return DecodeGltf(bytes.data(), bytes.size(), mesh);
}
MeshResult Decode(const std::string& json, MeshData* mesh) {
    return Decode(ToBytes(json), mesh);
}

// Replaces the first `from` in `text` (which must be there).
std::string Edit(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The triangles as lists of corner positions, to compare meshes whatever
// their vertex sharing.
std::vector<float> Corners(const MeshData& mesh) {
    std::vector<float> out;
    for (std::uint32_t index : mesh.indices)
        for (int k = 0; k < 3; ++k)
            out.push_back(mesh.positions[index * 3 + static_cast<std::uint32_t>(k)]);
    return out;
}

TEST(GltfLoader, JsonAndBinaryContainersGiveTheSameMesh) {
    const GltfMesh quad = Quad(2, 1);
    MeshData fromJson, fromGlb;
    ASSERT_EQ(Decode(MakeGltfJson(quad), &fromJson), MeshResult::Ok);
    ASSERT_EQ(Decode(MakeGlb(quad), &fromGlb), MeshResult::Ok);
    EXPECT_EQ(fromJson.positions, quad.positions);
    EXPECT_EQ(fromJson.normals, quad.normals);
    EXPECT_EQ(fromJson.uvs, quad.uvs);
    EXPECT_EQ(fromJson.indices, quad.indices);
    EXPECT_EQ(fromGlb.positions, fromJson.positions);
    EXPECT_EQ(fromGlb.indices, fromJson.indices);
    // Leading blanks and a byte-order mark before the JSON are fine.
    MeshData padded;
    EXPECT_EQ(Decode("\xEF\xBB\xBF \n\t" + MakeGltfJson(quad), &padded), MeshResult::Ok);
}

TEST(GltfLoader, EveryIndexWidthAndNonIndexedGiveTheSameTriangles) {
    const GltfMesh quad = Quad(1, 1);
    MeshData reference;
    ASSERT_EQ(Decode(MakeGlb(quad), &reference), MeshResult::Ok);
    for (int width : {1, 2, 4}) {
        GltfMesh variant = quad;
        variant.indexBytes = width;
        MeshData mesh;
        ASSERT_EQ(Decode(MakeGlb(variant), &mesh), MeshResult::Ok) << width;
        EXPECT_EQ(mesh.indices, reference.indices) << width;
    }
    GltfMesh flat;
    for (std::uint32_t i : quad.indices) {
        flat.positions.insert(flat.positions.end(), quad.positions.begin() + i * 3,
                              quad.positions.begin() + i * 3 + 3);
        flat.normals.insert(flat.normals.end(), {0, 0, 1});
    }
    flat.indexBytes = 0;
    MeshData mesh;
    ASSERT_EQ(Decode(MakeGltfJson(flat), &mesh), MeshResult::Ok);
    EXPECT_EQ(Corners(mesh), Corners(reference));
    EXPECT_EQ(mesh.uvs, std::vector<float>(12, 0.0f)); // no TEXCOORD_0: (0, 0)
}

TEST(GltfLoader, NodeMatrixMovesPositionsAndTurnsNormals) {
    GltfMesh quad = Quad(1, 1);
    // Column-major: scale x by 2, turn 90 degrees about x (+y -> +z), move (5, 6, 7).
    quad.nodeMatrix = {2, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 5, 6, 7, 1};
    MeshData mesh;
    ASSERT_EQ(Decode(MakeGltfJson(quad), &mesh), MeshResult::Ok);
    // Corner (-1, 1, 0) -> (-2, 0, 1) + (5, 6, 7).
    EXPECT_FLOAT_EQ(mesh.positions[0], 3.0f);
    EXPECT_FLOAT_EQ(mesh.positions[1], 6.0f);
    EXPECT_FLOAT_EQ(mesh.positions[2], 8.0f);
    // The +z normal turns to -y and stays unit length.
    EXPECT_NEAR(mesh.normals[0], 0.0f, 1e-6);
    EXPECT_NEAR(mesh.normals[1], -1.0f, 1e-6);
    EXPECT_NEAR(mesh.normals[2], 0.0f, 1e-6);
}

// The cross product of a triangle's edges, dotted with its first vertex normal:
// positive when the winding is counter-clockwise seen from the normal's side.
double Facing(const MeshData& mesh, std::size_t triangle) {
    const std::uint32_t* t = &mesh.indices[triangle * 3];
    const float* a = &mesh.positions[t[0] * 3];
    const float* b = &mesh.positions[t[1] * 3];
    const float* c = &mesh.positions[t[2] * 3];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                         u[0] * v[1] - u[1] * v[0]};
    const float* normal = &mesh.normals[t[0] * 3];
    return n[0] * normal[0] + n[1] * normal[1] + n[2] * normal[2];
}

TEST(GltfLoader, MirroringNodeKeepsFrontFacesFront) {
    for (bool withNormals : {true, false}) {
        GltfMesh quad = Quad(1, 1);
        if (!withNormals) quad.normals.clear();
        quad.nodeMatrix = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        MeshData mesh;
        ASSERT_EQ(Decode(MakeGlb(quad), &mesh), MeshResult::Ok);
        for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
            EXPECT_GT(Facing(mesh, t), 0.0) << withNormals << " " << t;
            EXPECT_NEAR(mesh.normals[mesh.indices[t * 3] * 3 + 2], 1.0f, 1e-6);
        }
    }
}

TEST(GltfLoader, MissingNormalsAreComputedFlatPerTriangle) {
    GltfMesh tent;
    // Two triangles folded along the y axis, sharing two vertices.
    tent.positions = {0, 1, 0, 0, -1, 0, 1, 0, -1, -1, 0, -1};
    tent.indices = {0, 1, 2, 1, 0, 3};
    MeshData mesh;
    ASSERT_EQ(Decode(MakeGltfJson(tent), &mesh), MeshResult::Ok);
    ASSERT_EQ(mesh.positions.size(), 6u * 3u); // unshared: each triangle its own normal
    for (std::size_t t = 0; t < 2; ++t) {
        EXPECT_GT(Facing(mesh, t), 0.0);
        const float* n = &mesh.normals[mesh.indices[t * 3] * 3];
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-6);
        EXPECT_NEAR(n[0], t == 0 ? std::sqrt(0.5) : -std::sqrt(0.5), 1e-6);
        EXPECT_NEAR(n[2], std::sqrt(0.5), 1e-6);
    }
}

TEST(GltfLoader, StripsAndFansBecomeCounterClockwiseTriangles) {
    GltfMesh quad;
    quad.positions = {-1, 1, 0, -1, -1, 0, 1, 1, 0, 1, -1, 0};
    quad.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    quad.indices = {0, 1, 2, 3};
    const std::string strip = Edit(MakeGltfJson(quad), "\"mode\":4", "\"mode\":5");
    MeshData mesh;
    ASSERT_EQ(Decode(strip, &mesh), MeshResult::Ok);
    ASSERT_EQ(mesh.indices.size(), 6u);
    for (std::size_t t = 0; t < 2; ++t)
        EXPECT_GT(Facing(mesh, t), 0.0);

    quad.indices = {1, 3, 2, 0};
    const std::string fan = Edit(MakeGltfJson(quad), "\"mode\":4", "\"mode\":6");
    ASSERT_EQ(Decode(fan, &mesh), MeshResult::Ok);
    ASSERT_EQ(mesh.indices.size(), 6u);
    for (std::size_t t = 0; t < 2; ++t)
        EXPECT_GT(Facing(mesh, t), 0.0);

    // Lines have no surface: an empty mesh, not an error.
    const std::string lines = Edit(MakeGltfJson(quad), "\"mode\":4", "\"mode\":1");
    ASSERT_EQ(Decode(lines, &mesh), MeshResult::Ok);
    EXPECT_TRUE(mesh.indices.empty());
}

struct Hostile {
    const char* what;
    std::string (*make)();
    MeshResult expected;
};

std::string QuadJson() {
    return MakeGltfJson(Quad(1, 1));
}

const Hostile kHostile[] = {
    {"index past the vertices",
     [] {
         GltfMesh q = Quad(1, 1);
         q.indices[4] = 4;
         return MakeGltfJson(q);
     },
     MeshResult::Invalid},
    {"huge index",
     [] {
         GltfMesh q = Quad(1, 1);
         q.indices[0] = 0xFFFFFFFFu;
         return MakeGltfJson(q);
     },
     MeshResult::Invalid},
    {"NaN position",
     [] {
         GltfMesh q = Quad(1, 1);
         q.positions[4] = NAN;
         Bytes b = MakeGlb(q);
         return std::string(b.begin(), b.end());
     },
     MeshResult::Invalid},
    {"infinite position",
     [] {
         GltfMesh q = Quad(1, 1);
         q.positions[0] = INFINITY;
         return MakeGltfJson(q);
     },
     MeshResult::Invalid},
    {"NaN normal",
     [] {
         GltfMesh q = Quad(1, 1);
         q.normals[2] = NAN;
         return MakeGltfJson(q);
     },
     MeshResult::Invalid},
    {"accessor count past its view",
     [] { return Edit(QuadJson(), "\"count\":4,", "\"count\":5,"); }, MeshResult::Invalid},
    {"accessor count far past its view",
     [] { return Edit(QuadJson(), "\"count\":4,", "\"count\":1000000000,"); }, MeshResult::Invalid},
    {"view past its buffer",
     [] { return Edit(QuadJson(), "\"byteLength\":48", "\"byteLength\":4800"); },
     MeshResult::Invalid},
    {"view offset past its buffer",
     [] { return Edit(QuadJson(), "\"byteOffset\":0,", "\"byteOffset\":4000000000,"); },
     MeshResult::Invalid},
    {"accessor on a missing view",
     [] { return Edit(QuadJson(), "\"bufferView\":0", "\"bufferView\":9"); }, MeshResult::Invalid},
    {"positions as integers",
     [] { return Edit(QuadJson(), "\"componentType\":5126", "\"componentType\":5125"); },
     MeshResult::Invalid},
    {"no positions", [] { return Edit(QuadJson(), "\"POSITION\"", "\"COLOR_0\""); },
     MeshResult::Invalid},
    {"sparse accessor",
     [] {
         return Edit(QuadJson(), "\"type\":\"VEC3\"",
                     "\"type\":\"VEC3\",\"sparse\":{\"count\":1,\"indices\":{\"bufferView\":4,"
                     "\"componentType\":5125},\"values\":{\"bufferView\":0}}");
     },
     MeshResult::Unsupported},
    {"node cycle",
     [] {
         return Edit(QuadJson(), "\"nodes\":[{\"mesh\":0}]",
                     "\"nodes\":[{\"mesh\":0,\"children\":[1]},{\"children\":[0]}]");
     },
     MeshResult::Invalid},
    {"node with a missing mesh", [] { return Edit(QuadJson(), "{\"mesh\":0}", "{\"mesh\":3}"); },
     MeshResult::Invalid},
    // JSON cannot hold a NaN, but a finite matrix can overflow single precision.
    {"node matrix overflowing the positions",
     [] {
         GltfMesh q = Quad(1, 1);
         q.nodeMatrix = {1e300, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
         return MakeGltfJson(q);
     },
     MeshResult::Invalid},
    {"external buffer file",
     [] {
         return std::string("{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":12,"
                            "\"uri\":\"mesh_gltf_test_secret.bin\"}]}");
     },
     MeshResult::BadData},
    {"broken JSON", [] { return QuadJson().substr(0, 200); }, MeshResult::BadData},
    {"wrong base64 length", [] { return Edit(QuadJson(), "base64,", "base64,AAAA"); },
     MeshResult::BadData},
    {"truncated GLB",
     [] {
         Bytes b = MakeGlb(Quad(1, 1));
         b.resize(b.size() - 20);
         return std::string(b.begin(), b.end());
     },
     MeshResult::BadData},
    {"not glTF at all", [] { return std::string("PK\x03\x04 zip"); }, MeshResult::NotGltf},
};

class HostileGltf : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileGltf, FailsWholeWithItsReason) {
    const Hostile& h = GetParam();
    if (std::string(h.what) == "external buffer file") {
        // The file exists: the loader must still not read it.
        WriteBytes("mesh_gltf_test_secret.bin", Bytes(12, 0));
    }
    MeshData mesh;
    mesh.positions = {1, 2, 3};
    EXPECT_EQ(Decode(h.make(), &mesh), h.expected) << h.what;
    EXPECT_TRUE(mesh.positions.empty());
    EXPECT_TRUE(mesh.indices.empty());
    std::remove("mesh_gltf_test_secret.bin");
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileGltf, ::testing::ValuesIn(kHostile),
                         [](const auto& test) { return Identifier(test.param.what); });

TEST(GltfLoader, EveryTruncationOfAGlbFailsCleanly) {
    const Bytes glb = MakeGlb(Quad(1, 1));
    for (std::size_t size = 0; size < glb.size(); ++size) {
        MeshData mesh;
        EXPECT_NE(DecodeGltf(glb.data(), size, &mesh), MeshResult::Ok) << size;
    }
}

} // namespace
