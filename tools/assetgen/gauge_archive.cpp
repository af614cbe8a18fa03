#include "gauge_archive.h"

#include "gauge_meshes.h"
#include "gauge_textures.h"
#include "zip_writer.h"

namespace assetgen {

bool BuildGaugeArchive(const std::string& fontPath, std::vector<std::uint8_t>* zip,
                       std::string* error) {
    zip->clear();
    GaugeTextures textures;
    if (!DrawGaugeTextures(fontPath, &textures, error)) return false;
    std::vector<ZipMember> members(6);
    const MeshData meshes[3] = {MakeDrumMesh(), MakeMaskMesh(), MakeFrameMesh()};
    const char* meshNames[3] = {kDrumMeshName, kMaskMeshName, kFrameMeshName};
    const char* textureNames[3] = {kDrumTextureName, kMaskTextureName, kFrameTextureName};
    std::vector<std::uint8_t>* pngs[3] = {&textures.drum, &textures.mask, &textures.frame};
    for (int i = 0; i < 3; ++i) {
        ZipMember& mesh = members[static_cast<std::size_t>(2 * i)];
        mesh.name = meshNames[i];
        if (!EncodeGlb(meshes[i], &mesh.data, error)) {
            *error = mesh.name + ": " + *error;
            return false;
        }
        ZipMember& texture = members[static_cast<std::size_t>(2 * i + 1)];
        texture.name = textureNames[i];
        texture.data = std::move(*pngs[i]);
    }
    return BuildZip(members, zip, error);
}

} // namespace assetgen
