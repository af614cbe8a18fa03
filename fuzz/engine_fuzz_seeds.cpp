// engine_fuzz_seeds: writes a few valid inputs for the engine's fuzzers into
// their corpus directories (argument: the corpus root), so that a bounded run
// starts from archives, meshes and images that reach deep into each parser
// instead of from nothing.
#include <cstdio>
#include <string>
#include <vector>

#include "engine_test_assets.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: engine_fuzz_seeds CORPUS_ROOT\n");
        return 2;
    }
    const std::string root = argv[1];
    GltfMesh strip = Quad(1, 1);
    strip.indexBytes = 1;
    GltfMesh flat = Cylinder(1, 2, 6);
    flat.normals.clear();
    flat.nodeMatrix = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 2, 3, 4, 1};
    const Bytes png = MakePng(
        3, 2, {0xFF102030u, 0x80FFFFFFu, 0x00000000u, 0xFF00FF00u, 0x40FF0000u, 0xFFFFFFFFu});
    const Bytes glb = MakeGlb(strip);
    const Bytes json = ToBytes(MakeGltfJson(flat));
    const struct {
        const char* path;
        Bytes bytes;
    } seeds[] = {
        {"fuzz_png/seed_rgba.png", png},
        {"fuzz_png/seed_grey.png",
         MakePng(2, 2, {0xFF000000u, 0xFF404040u, 0xFF808080u, 0xFFFFFFFFu})},
        {"fuzz_gltf/seed_quad.glb", glb},
        {"fuzz_gltf/seed_cylinder.gltf", json},
        {"fuzz_zip/seed_mixed.zip",
         MakeZip(
             {{"a.png", png, true, false}, {"b.mesh", glb, false, true}, {"c", json, true, true}})},
        {"fuzz_zip/seed_stored.zip", MakeZip({{"only", ToBytes("stored bytes"), false, false}})},
    };
    for (const auto& seed : seeds) {
        if (!WriteBytes(root + "/" + seed.path, seed.bytes)) {
            std::fprintf(stderr, "engine_fuzz_seeds: cannot write %s/%s\n", root.c_str(),
                         seed.path);
            return 1;
        }
    }
    return 0;
}
