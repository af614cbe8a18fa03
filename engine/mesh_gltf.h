// mesh_gltf.h - turns a glTF 2.0 member (binary GLB, or JSON with its buffers
// embedded as base64 data URIs) into one flat triangle list for the renderer.
//
// Contract
// - Pure: bytes in, mesh out; tinygltf parses in one isolated translation unit
//   (mesh_gltf.cpp) with file access and image decoding switched off, so a
//   member can never make the engine read a file or decode an embedded image.
// - Recognised by content: "glTF" magic = GLB, first non-blank byte '{' = JSON,
//   anything else NotGltf.
// - Geometry: the default scene's node tree (or scene 0; with no scene, every
//   mesh once) with each node's matrix or TRS applied to positions and, by the
//   inverse transpose, to normals; a mirroring transform keeps front faces
//   front. Every primitive in TRIANGLES, TRIANGLE_STRIP or TRIANGLE_FAN mode
//   contributes; points and lines are skipped. POSITION (float VEC3) is
//   required; NORMAL (float VEC3) and TEXCOORD_0 (float, or normalised unsigned
//   byte/short VEC2) are optional. Missing normals are computed flat per
//   triangle, as glTF asks; missing UVs are (0, 0). glTF UV (0, 0) is the top
//   left of the image, which is also how the renderer reads it.
// - Trust nothing: every accessor must lie inside its buffer view and every
//   view inside its buffer; indices (u8/u16/u32) must be below the vertex
//   count; positions, normals, UVs and node transforms must be finite; sparse
//   accessors are Unsupported. Any fault fails the whole member (no partial
//   mesh). Over kMeshMaxVertices vertices or kMeshMaxTriangles triangles is
//   TooLarge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kMeshMaxVertices = 1u << 22;
inline constexpr std::size_t kMeshMaxTriangles = 1u << 22;

enum class MeshResult { Ok, NotGltf, BadData, Invalid, Unsupported, TooLarge };

const char* MeshResultName(MeshResult result);

// Front faces wind counter-clockwise seen from the side their normal points to.
struct MeshData {
    std::vector<float> positions;       // x, y, z per vertex
    std::vector<float> normals;         // x, y, z per vertex, unit length or zero
    std::vector<float> uvs;             // u, v per vertex
    std::vector<std::uint32_t> indices; // three per triangle
};

MeshResult DecodeGltf(const std::uint8_t* bytes, std::size_t size, MeshData* mesh);
