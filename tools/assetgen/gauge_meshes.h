// Gauge meshes: the drum, mask and frame geometry, and their encoding as binary glTF 2.0.
//
// Geometry is made in code from gauge_layout.h. Every mesh carries positions, normals and one set
// of texture coordinates (glTF's: (0, 0) is the image's top-left texel) with 16-bit triangle
// indices wound counter-clockwise seen from the side the normal points to. No material: the
// engine applies the texture the gauge gives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct MeshData {
    std::vector<float> positions; // x, y, z per vertex
    std::vector<float> normals;   // x, y, z per vertex, unit length
    std::vector<float> texcoords; // u, v per vertex
    std::vector<std::uint32_t> indices;
};

// Cylinder about x, closed by two caps; see gauge_layout.h for the texture's angle mapping.
MeshData MakeDrumMesh();
// Square plate in the z = 0 plane facing +z, with a round hole under the window.
MeshData MakeMaskMesh();
// Square plate facing +z with a round opening, plus a strip across it that carries the symbol.
MeshData MakeFrameMesh();

// Fills *glb with a GLB holding one mesh of one triangle primitive and returns true, or sets
// *error and returns false (more than 65535 vertices, inconsistent arrays, writer failure).
bool EncodeGlb(const MeshData& mesh, std::vector<std::uint8_t>* glb, std::string* error);

} // namespace assetgen
