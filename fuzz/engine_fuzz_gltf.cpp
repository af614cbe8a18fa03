// fuzz_gltf: the engine's glTF path (tinygltf plus our validation) on
// arbitrary bytes, as GLB or JSON. An accepted mesh must be safe to draw:
// whole triangles, every index inside the vertices, every value finite.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "mesh_gltf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MeshData mesh;
    if (DecodeGltf(data, size, &mesh) != MeshResult::Ok) {
        if (!mesh.positions.empty() || !mesh.indices.empty()) __builtin_trap();
        return 0;
    }
    const std::size_t vertices = mesh.positions.size() / 3;
    if (mesh.positions.size() % 3 != 0 || mesh.normals.size() != vertices * 3 ||
        mesh.uvs.size() != vertices * 2 || mesh.indices.size() % 3 != 0)
        __builtin_trap();
    for (std::uint32_t index : mesh.indices)
        if (index >= vertices) __builtin_trap();
    for (float value : mesh.positions)
        if (!std::isfinite(value)) __builtin_trap();
    return 0;
}
