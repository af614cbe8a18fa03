// engine_test_assets.h - builds the files the engine reads (zip archives, glTF
// meshes, PNG images) in memory, for the engine's tests and benchmark.
//
// Contract
// - MakeZip writes a plain zip: members stored or deflated (zlib, raw), with
//   or without a data descriptor (flag bit 3, sizes and CRC after the data and
//   zero in the local header), central directory and end record; no comment.
// - MakeGltfJson embeds its buffer as a base64 data URI; MakeGlb puts it in a
//   BIN chunk. Both write one mesh with one TRIANGLES primitive under one
//   node (with an optional column-major matrix) in scene 0. Empty normals or
//   uvs are left out of the file; indexBytes 0 writes a non-indexed primitive.
// - MakePng encodes 0xAARRGGBB pixels (not premultiplied) as 8-bit RGBA.
// - The shapes: Quad is a rectangle in the z = 0 plane facing +z, UV (0, 0)
//   at the top left; Cylinder is a tube about the x axis with its texture
//   wrapped around it (v = 0 at the top, +y; v = 0.25 at the front, +z).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct ZipMember {
    std::string name;
    Bytes data;
    bool deflate = false;
    bool descriptor = false;
};

Bytes MakeZip(const std::vector<ZipMember>& members);

// Raw deflate of `data` at the highest level.
Bytes Deflate(const Bytes& data);

struct GltfMesh {
    std::vector<float> positions; // x, y, z
    std::vector<float> normals;   // empty: no NORMAL attribute
    std::vector<float> uvs;       // empty: no TEXCOORD_0
    std::vector<std::uint32_t> indices;
    int indexBytes = 4;             // 1, 2, 4, or 0 for non-indexed (indices ignored)
    std::vector<double> nodeMatrix; // empty or 16 values, column-major
};

std::string MakeGltfJson(const GltfMesh& mesh);
Bytes MakeGlb(const GltfMesh& mesh);

Bytes MakePng(int width, int height, const std::vector<std::uint32_t>& argb);

GltfMesh Quad(float halfWidth, float halfHeight);
GltfMesh Cylinder(float radius, float halfLength, int segments);

Bytes ToBytes(const std::string& text);
// `text` with every character that is not a letter or digit turned into '_'
// (GoogleTest names for tables of cases described in words).
std::string Identifier(const char* text);
bool WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
