#include "gauge_meshes.h"

#include "gauge_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <sstream>
#include <tiny_gltf.h>

namespace assetgen {
namespace {

std::uint32_t AddVertex(MeshData* m, double x, double y, double z, double nx, double ny, double nz,
                        double u, double v) {
    const auto index = static_cast<std::uint32_t>(m->positions.size() / 3);
    for (double c : {x, y, z})
        m->positions.push_back(static_cast<float>(c));
    for (double c : {nx, ny, nz})
        m->normals.push_back(static_cast<float>(c));
    m->texcoords.push_back(static_cast<float>(u));
    m->texcoords.push_back(static_cast<float>(v));
    return index;
}

void AddTriangle(MeshData* m, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    m->indices.insert(m->indices.end(), {a, b, c});
}

// Planar mapping shared by both plates: the whole texture spans the whole square, +y up.
void AddPlateVertex(MeshData* m, double halfSize, double x, double y, std::uint32_t* index) {
    *index = AddVertex(m, x, y, 0.0, 0.0, 0.0, 1.0, (x + halfSize) / (2.0 * halfSize),
                       (halfSize - y) / (2.0 * halfSize));
}

// A square with a round hole: rays from the centre join each hole vertex to the square's edge.
// With a multiple of 8 rays one lands on each corner, so the outline stays exactly square.
void AddPlateWithHole(MeshData* m, double halfSize, double holeRadius) {
    std::vector<std::uint32_t> inner(kPlateSegments + 1);
    std::vector<std::uint32_t> outer(kPlateSegments + 1);
    for (int k = 0; k <= kPlateSegments; ++k) {
        const double a = 2.0 * kPi * (k % kPlateSegments) / kPlateSegments;
        const double c = std::cos(a);
        const double s = std::sin(a);
        const double toEdge = halfSize / std::max(std::fabs(c), std::fabs(s));
        AddPlateVertex(m, halfSize, holeRadius * c, holeRadius * s, &inner[k]);
        AddPlateVertex(m, halfSize, toEdge * c, toEdge * s, &outer[k]);
    }
    for (int k = 0; k < kPlateSegments; ++k) {
        AddTriangle(m, inner[k], outer[k], outer[k + 1]);
        AddTriangle(m, inner[k], outer[k + 1], inner[k + 1]);
    }
}

} // namespace

MeshData MakeDrumMesh() {
    MeshData m;
    const double r = kDrumRadius;
    const double h = kDrumHalfLength;
    const int columns = kDrumRings + 1;
    // Side: angle phi from the front (+z) toward +y, -180..180; the seam's two columns of
    // vertices carry v = 1 and v = 0.
    for (int i = 0; i <= kDrumSegments; ++i) {
        const double phiDeg = -180.0 + 360.0 * i / kDrumSegments;
        const double phi = phiDeg * kPi / 180.0;
        for (int j = 0; j < columns; ++j) {
            const double x = -h + 2.0 * h * j / kDrumRings;
            AddVertex(&m, x, r * std::sin(phi), r * std::cos(phi), 0.0, std::sin(phi),
                      std::cos(phi), (x + h) / (2.0 * h), DrumV(phiDeg));
        }
    }
    for (int i = 0; i < kDrumSegments; ++i) {
        for (int j = 0; j < kDrumRings; ++j) {
            const auto a = static_cast<std::uint32_t>(i * columns + j);
            const auto b = a + 1;                                       // toward +x
            const auto c = a + 1 + static_cast<std::uint32_t>(columns); // and one step up
            const auto d = a + static_cast<std::uint32_t>(columns);
            AddTriangle(&m, a, b, c);
            AddTriangle(&m, a, c, d);
        }
    }
    // Caps: hidden behind the mask at the gauge's own camera, closed so that a camera stepped
    // close never looks into the drum. They sample the dark rim band at the image's left edge.
    const double rimU = 0.5 * kDrumRimWorld / (2.0 * h);
    for (double side : {-1.0, 1.0}) {
        const std::uint32_t centre = AddVertex(&m, side * h, 0, 0, side, 0, 0, rimU, 0.5);
        const auto first = static_cast<std::uint32_t>(m.positions.size() / 3);
        for (int i = 0; i < kDrumSegments; ++i) {
            const double phi = 2.0 * kPi * i / kDrumSegments;
            AddVertex(&m, side * h, r * std::sin(phi), r * std::cos(phi), side, 0, 0, rimU, 0.5);
        }
        for (int i = 0; i < kDrumSegments; ++i) {
            const std::uint32_t p = first + static_cast<std::uint32_t>(i);
            const std::uint32_t q = first + static_cast<std::uint32_t>((i + 1) % kDrumSegments);
            // Increasing phi runs clockwise seen from +x, so the +x cap takes the ring backward.
            if (side > 0)
                AddTriangle(&m, centre, q, p);
            else
                AddTriangle(&m, centre, p, q);
        }
    }
    return m;
}

MeshData MakeMaskMesh() {
    MeshData m;
    AddPlateWithHole(&m, kMaskHalfSize, kMaskHoleRadius);
    return m;
}

MeshData MakeFrameMesh() {
    MeshData m;
    AddPlateWithHole(&m, kFrameHalfSize, kFrameHoleRadius);
    std::uint32_t q[4];
    AddPlateVertex(&m, kFrameHalfSize, -kSymbolStripHalfWidth, kSymbolStripBottom, &q[0]);
    AddPlateVertex(&m, kFrameHalfSize, kSymbolStripHalfWidth, kSymbolStripBottom, &q[1]);
    AddPlateVertex(&m, kFrameHalfSize, kSymbolStripHalfWidth, kSymbolStripTop, &q[2]);
    AddPlateVertex(&m, kFrameHalfSize, -kSymbolStripHalfWidth, kSymbolStripTop, &q[3]);
    AddTriangle(&m, q[0], q[1], q[2]);
    AddTriangle(&m, q[0], q[2], q[3]);
    return m;
}

namespace {

int AppendView(tinygltf::Model* model, std::vector<unsigned char>* bin, const void* data,
               std::size_t bytes, int target) {
    const std::size_t offset = bin->size();
    bin->resize(offset + bytes);
    std::memcpy(bin->data() + offset, data, bytes);
    // Every view starts on a 4-byte boundary, as glTF requires for float accessors.
    bin->resize((bin->size() + 3) & ~static_cast<std::size_t>(3), 0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = offset;
    view.byteLength = bytes;
    view.target = target;
    model->bufferViews.push_back(view);
    return static_cast<int>(model->bufferViews.size() - 1);
}

int AppendAccessor(tinygltf::Model* model, int view, int componentType, int type,
                   std::size_t count) {
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.componentType = componentType;
    accessor.type = type;
    accessor.count = count;
    model->accessors.push_back(accessor);
    return static_cast<int>(model->accessors.size() - 1);
}

bool EncodeGlbUnchecked(const MeshData& mesh, std::vector<std::uint8_t>* glb, std::string* error) {
    const std::size_t vertices = mesh.positions.size() / 3;
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "horizon assetgen";
    std::vector<unsigned char> bin;

    std::vector<std::uint16_t> indices16(mesh.indices.begin(), mesh.indices.end());
    const int indexView = AppendView(&model, &bin, indices16.data(), indices16.size() * 2,
                                     TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    const int positionView = AppendView(&model, &bin, mesh.positions.data(),
                                        mesh.positions.size() * 4, TINYGLTF_TARGET_ARRAY_BUFFER);
    const int normalView = AppendView(&model, &bin, mesh.normals.data(), mesh.normals.size() * 4,
                                      TINYGLTF_TARGET_ARRAY_BUFFER);
    const int uvView = AppendView(&model, &bin, mesh.texcoords.data(), mesh.texcoords.size() * 4,
                                  TINYGLTF_TARGET_ARRAY_BUFFER);

    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.indices = AppendAccessor(&model, indexView, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                       TINYGLTF_TYPE_SCALAR, indices16.size());
    const int position = AppendAccessor(&model, positionView, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                        TINYGLTF_TYPE_VEC3, vertices);
    // glTF requires the bounds of POSITION.
    auto& bounds = model.accessors[static_cast<std::size_t>(position)];
    bounds.minValues.assign(3, std::numeric_limits<double>::max());
    bounds.maxValues.assign(3, std::numeric_limits<double>::lowest());
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        bounds.minValues[i % 3] = std::min(bounds.minValues[i % 3], double{mesh.positions[i]});
        bounds.maxValues[i % 3] = std::max(bounds.maxValues[i % 3], double{mesh.positions[i]});
    }
    primitive.attributes["POSITION"] = position;
    primitive.attributes["NORMAL"] = AppendAccessor(
        &model, normalView, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, vertices);
    primitive.attributes["TEXCOORD_0"] =
        AppendAccessor(&model, uvView, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, vertices);

    tinygltf::Buffer buffer;
    buffer.data = std::move(bin);
    model.buffers.push_back(std::move(buffer));
    tinygltf::Mesh gltfMesh;
    gltfMesh.primitives.push_back(primitive);
    model.meshes.push_back(gltfMesh);
    tinygltf::Node node;
    node.mesh = 0;
    model.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;

    std::ostringstream stream;
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToStream(&model, stream, false, true)) {
        *error = "tinygltf could not write the GLB";
        return false;
    }
    const std::string bytes = stream.str();
    glb->assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

bool EncodeGlb(const MeshData& mesh, std::vector<std::uint8_t>* glb, std::string* error) {
    glb->clear();
    const std::size_t vertices = mesh.positions.size() / 3;
    if (mesh.positions.size() % 3 != 0 || mesh.normals.size() != mesh.positions.size() ||
        mesh.texcoords.size() != vertices * 2 || mesh.indices.empty() ||
        mesh.indices.size() % 3 != 0) {
        *error = "mesh arrays are inconsistent";
        return false;
    }
    if (vertices > 0xFFFF) {
        *error = "mesh has " + std::to_string(vertices) + " vertices, over 16-bit indices";
        return false;
    }
    for (std::uint32_t i : mesh.indices) {
        if (i >= vertices) {
            *error = "mesh index " + std::to_string(i) + " out of range";
            return false;
        }
    }
    // The JSON layer below may throw (allocation); nothing escapes this module.
    try {
        return EncodeGlbUnchecked(mesh, glb, error);
    } catch (const std::exception& e) {
        *error = std::string("GLB encoding failed: ") + e.what();
        return false;
    }
}

} // namespace assetgen
