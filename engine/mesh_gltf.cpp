// glTF 2.0 meshes through tinygltf, kept in this one translation unit with the
// library's own warnings relaxed. See mesh_gltf.h.
#include "mesh_gltf.h"

#include <array>
#include <cmath>
#include <cstring>
#include <fstream> // tinygltf's writer uses it even without file access
#include <string>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-variable"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_FS
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

using Matrix = std::array<double, 16>; // column-major, as glTF stores it

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr int kMaxNodeDepth = 64;

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + r] * b[c * 4 + k];
            m[c * 4 + r] = sum;
        }
    return m;
}

bool AllFinite(const std::vector<double>& values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

bool NodeMatrix(const tinygltf::Node& node, Matrix* out) {
    if (node.matrix.size() == 16) {
        if (!AllFinite(node.matrix)) return false;
        std::copy(node.matrix.begin(), node.matrix.end(), out->begin());
        return true;
    }
    Matrix t = kIdentity, r = kIdentity, s = kIdentity;
    if (node.translation.size() == 3) {
        if (!AllFinite(node.translation)) return false;
        t[12] = node.translation[0];
        t[13] = node.translation[1];
        t[14] = node.translation[2];
    }
    if (node.rotation.size() == 4) {
        if (!AllFinite(node.rotation)) return false;
        double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2],
               w = node.rotation[3];
        const double length = std::sqrt(x * x + y * y + z * z + w * w);
        if (length > 0.0) {
            x /= length, y /= length, z /= length, w /= length;
        } else {
            x = y = z = 0.0, w = 1.0;
        }
        r = {1 - 2 * (y * y + z * z),
             2 * (x * y + z * w),
             2 * (x * z - y * w),
             0,
             2 * (x * y - z * w),
             1 - 2 * (x * x + z * z),
             2 * (y * z + x * w),
             0,
             2 * (x * z + y * w),
             2 * (y * z - x * w),
             1 - 2 * (x * x + y * y),
             0,
             0,
             0,
             0,
             1};
    }
    if (node.scale.size() == 3) {
        if (!AllFinite(node.scale)) return false;
        s[0] = node.scale[0];
        s[5] = node.scale[1];
        s[10] = node.scale[2];
    }
    *out = Multiply(t, Multiply(r, s));
    return true;
}

// A validated view of one accessor's elements inside its buffer.
struct Elements {
    const unsigned char* first = nullptr;
    std::size_t stride = 0;
    std::size_t count = 0;
    int componentType = 0;
    int components = 0;
    bool normalized = false;
};

MeshResult View(const tinygltf::Model& model, int index, Elements* out) {
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size())
        return MeshResult::Invalid;
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    if (accessor.sparse.isSparse) return MeshResult::Unsupported;
    if (accessor.bufferView < 0 ||
        static_cast<std::size_t>(accessor.bufferView) >= model.bufferViews.size())
        return MeshResult::Invalid;
    const tinygltf::BufferView& view =
        model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size())
        return MeshResult::Invalid;
    const std::vector<unsigned char>& data =
        model.buffers[static_cast<std::size_t>(view.buffer)].data;

    const int componentSize =
        tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(accessor.componentType));
    const int components =
        tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type));
    if (componentSize <= 0 || components <= 0) return MeshResult::Invalid;
    const std::size_t elementSize = static_cast<std::size_t>(componentSize * components);
    const std::size_t stride = view.byteStride == 0 ? elementSize : view.byteStride;
    if (stride < elementSize) return MeshResult::Invalid;

    if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset)
        return MeshResult::Invalid;
    if (accessor.byteOffset > view.byteLength) return MeshResult::Invalid;
    const std::size_t room = view.byteLength - accessor.byteOffset;
    if (accessor.count > 0) {
        if (room < elementSize) return MeshResult::Invalid;
        if ((accessor.count - 1) > (room - elementSize) / stride) return MeshResult::Invalid;
    }
    out->first = data.data() + view.byteOffset + accessor.byteOffset;
    out->stride = stride;
    out->count = accessor.count;
    out->componentType = accessor.componentType;
    out->components = components;
    out->normalized = accessor.normalized;
    return MeshResult::Ok;
}

float ReadFloat(const unsigned char* p) {
    float value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Reads component `c` of element `i` as a float (float, or normalised unsigned).
bool ReadComponent(const Elements& e, std::size_t i, int c, float* value) {
    const unsigned char* p = e.first + i * e.stride;
    switch (e.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        *value = ReadFloat(p + 4 * c);
        return std::isfinite(*value);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        if (!e.normalized) return false;
        *value = static_cast<float>(p[c]) / 255.0f;
        return true;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        if (!e.normalized) return false;
        std::uint16_t raw;
        std::memcpy(&raw, p + 2 * c, sizeof raw);
        *value = static_cast<float>(raw) / 65535.0f;
        return true;
    }
    default:
        return false;
    }
}

bool ReadIndex(const Elements& e, std::size_t i, std::uint32_t* index) {
    const unsigned char* p = e.first + i * e.stride;
    switch (e.componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        *index = p[0];
        return true;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        std::uint16_t raw;
        std::memcpy(&raw, p, sizeof raw);
        *index = raw;
        return true;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        std::memcpy(index, p, sizeof *index);
        return true;
    default:
        return false;
    }
}

struct Builder {
    const tinygltf::Model& model;
    MeshData mesh;
    MeshResult fault = MeshResult::Ok;

    MeshResult AddPrimitive(const tinygltf::Primitive& primitive, const Matrix& m);
    MeshResult AddMesh(int index, const Matrix& m);
    MeshResult AddNode(int index, const Matrix& parent, int depth, std::vector<char>* visited);
};

MeshResult Builder::AddPrimitive(const tinygltf::Primitive& primitive, const Matrix& m) {
    const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
    if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
        mode != TINYGLTF_MODE_TRIANGLE_FAN)
        return MeshResult::Ok; // points and lines have no surface to draw

    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) return MeshResult::Invalid;
    Elements positions;
    if (MeshResult r = View(model, position->second, &positions); r != MeshResult::Ok) return r;
    if (positions.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || positions.components != 3)
        return MeshResult::Invalid;
    const std::size_t vertexCount = positions.count;

    Elements normals;
    bool haveNormals = false;
    if (const auto it = primitive.attributes.find("NORMAL"); it != primitive.attributes.end()) {
        if (MeshResult r = View(model, it->second, &normals); r != MeshResult::Ok) return r;
        if (normals.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || normals.components != 3 ||
            normals.count != vertexCount)
            return MeshResult::Invalid;
        haveNormals = true;
    }
    Elements uvs;
    bool haveUvs = false;
    if (const auto it = primitive.attributes.find("TEXCOORD_0"); it != primitive.attributes.end()) {
        if (MeshResult r = View(model, it->second, &uvs); r != MeshResult::Ok) return r;
        if (uvs.components != 2 || uvs.count != vertexCount) return MeshResult::Invalid;
        haveUvs = true;
    }

    // The primitive's vertex stream, as indices into its own vertices.
    std::vector<std::uint32_t> stream;
    if (primitive.indices >= 0) {
        Elements indices;
        if (MeshResult r = View(model, primitive.indices, &indices); r != MeshResult::Ok) return r;
        if (indices.components != 1) return MeshResult::Invalid;
        if (indices.count > 3 * kMeshMaxTriangles) return MeshResult::TooLarge;
        stream.resize(indices.count);
        for (std::size_t i = 0; i < indices.count; ++i) {
            if (!ReadIndex(indices, i, &stream[i])) return MeshResult::Invalid;
            if (stream[i] >= vertexCount) return MeshResult::Invalid;
        }
    } else {
        if (vertexCount > 3 * kMeshMaxTriangles) return MeshResult::TooLarge;
        stream.resize(vertexCount);
        for (std::size_t i = 0; i < vertexCount; ++i)
            stream[i] = static_cast<std::uint32_t>(i);
    }

    // Triangles as triples of the primitive's vertex numbers, counter-clockwise.
    std::vector<std::uint32_t> triangles;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
        triangles.assign(stream.begin(),
                         stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 3 * 3));
    } else if (stream.size() >= 3) {
        triangles.reserve((stream.size() - 2) * 3);
        for (std::size_t i = 2; i < stream.size(); ++i) {
            if (mode == TINYGLTF_MODE_TRIANGLE_FAN) {
                triangles.insert(triangles.end(), {stream[0], stream[i - 1], stream[i]});
            } else if (i % 2 == 0) {
                triangles.insert(triangles.end(), {stream[i - 2], stream[i - 1], stream[i]});
            } else {
                triangles.insert(triangles.end(), {stream[i - 1], stream[i - 2], stream[i]});
            }
        }
    }

    // Normals go through the inverse transpose of the upper 3x3 (the cofactor
    // matrix is enough since they are renormalised); its determinant's sign
    // tells a mirroring transform, which would turn the winding around.
    const double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6],
                 k = m[10];
    const double cof[9] = {e * k - f * h, f * g - d * k, d * h - e * g,
                           c * h - b * k, a * k - c * g, b * g - a * h,
                           b * f - c * e, c * d - a * f, a * e - b * d};
    const double det = a * cof[0] + b * cof[1] + c * cof[2];
    const bool mirrored = det < 0.0;

    const bool flat = !haveNormals;
    const std::size_t added = flat ? triangles.size() : vertexCount;
    const std::size_t base = mesh.positions.size() / 3;
    if (base + added > kMeshMaxVertices) return MeshResult::TooLarge;
    if (mesh.indices.size() / 3 + triangles.size() / 3 > kMeshMaxTriangles)
        return MeshResult::TooLarge;

    auto transformPoint = [&](std::size_t v, float out[3]) -> bool {
        float p[3];
        for (int i = 0; i < 3; ++i)
            if (!ReadComponent(positions, v, i, &p[i])) return false;
        for (int r = 0; r < 3; ++r) {
            const double value = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
            out[r] = static_cast<float>(value);
            if (!std::isfinite(out[r])) return false;
        }
        return true;
    };
    auto pushNormal = [&](const double n[3]) {
        double t[3] = {cof[0] * n[0] + cof[1] * n[1] + cof[2] * n[2],
                       cof[3] * n[0] + cof[4] * n[1] + cof[5] * n[2],
                       cof[6] * n[0] + cof[7] * n[1] + cof[8] * n[2]};
        if (mirrored)
            for (double& x : t)
                x = -x;
        const double length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        for (double x : t)
            mesh.normals.push_back(length > 0.0 ? static_cast<float>(x / length) : 0.0f);
    };
    auto pushUv = [&](std::size_t v) -> bool {
        float uv[2] = {0.0f, 0.0f};
        if (haveUvs)
            for (int i = 0; i < 2; ++i)
                if (!ReadComponent(uvs, v, i, &uv[i])) return false;
        mesh.uvs.push_back(uv[0]);
        mesh.uvs.push_back(uv[1]);
        return true;
    };

    if (!flat) {
        for (std::size_t v = 0; v < vertexCount; ++v) {
            float p[3];
            if (!transformPoint(v, p)) return MeshResult::Invalid;
            mesh.positions.insert(mesh.positions.end(), p, p + 3);
            double n[3];
            for (int i = 0; i < 3; ++i) {
                float value;
                if (!ReadComponent(normals, v, i, &value)) return MeshResult::Invalid;
                n[i] = value;
            }
            pushNormal(n);
            if (!pushUv(v)) return MeshResult::Invalid;
        }
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            const std::uint32_t i0 = static_cast<std::uint32_t>(base) + triangles[t];
            const std::uint32_t i1 = static_cast<std::uint32_t>(base) + triangles[t + 1];
            const std::uint32_t i2 = static_cast<std::uint32_t>(base) + triangles[t + 2];
            mesh.indices.insert(mesh.indices.end(), {i0, mirrored ? i2 : i1, mirrored ? i1 : i2});
        }
    } else {
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            float p[3][3];
            for (int j = 0; j < 3; ++j)
                if (!transformPoint(triangles[t + static_cast<std::size_t>(j)], p[j]))
                    return MeshResult::Invalid;
            if (mirrored) std::swap(p[1], p[2]);
            // Face normal from the transformed, counter-clockwise corners.
            const double ux = p[1][0] - p[0][0], uy = p[1][1] - p[0][1], uz = p[1][2] - p[0][2];
            const double vx = p[2][0] - p[0][0], vy = p[2][1] - p[0][1], vz = p[2][2] - p[0][2];
            double n[3] = {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            const std::uint32_t first = static_cast<std::uint32_t>(mesh.positions.size() / 3);
            for (int j = 0; j < 3; ++j) {
                mesh.positions.insert(mesh.positions.end(), p[j], p[j] + 3);
                for (double x : n)
                    mesh.normals.push_back(length > 0.0 ? static_cast<float>(x / length) : 0.0f);
                const std::size_t source =
                    triangles[t + static_cast<std::size_t>(mirrored && j > 0 ? 3 - j : j)];
                if (!pushUv(source)) return MeshResult::Invalid;
            }
            mesh.indices.insert(mesh.indices.end(), {first, first + 1, first + 2});
        }
    }
    return MeshResult::Ok;
}

MeshResult Builder::AddMesh(int index, const Matrix& m) {
    if (index < 0 || static_cast<std::size_t>(index) >= model.meshes.size())
        return MeshResult::Invalid;
    for (const tinygltf::Primitive& primitive :
         model.meshes[static_cast<std::size_t>(index)].primitives)
        if (MeshResult r = AddPrimitive(primitive, m); r != MeshResult::Ok) return r;
    return MeshResult::Ok;
}

MeshResult Builder::AddNode(int index, const Matrix& parent, int depth,
                            std::vector<char>* visited) {
    if (index < 0 || static_cast<std::size_t>(index) >= model.nodes.size())
        return MeshResult::Invalid;
    // glTF nodes form a tree: a node reached twice (a cycle, or a shared child
    // that could multiply the work exponentially) or a silly depth is a broken file.
    if (depth > kMaxNodeDepth || (*visited)[static_cast<std::size_t>(index)])
        return MeshResult::Invalid;
    (*visited)[static_cast<std::size_t>(index)] = 1;
    const tinygltf::Node& node = model.nodes[static_cast<std::size_t>(index)];
    Matrix local;
    if (!NodeMatrix(node, &local)) return MeshResult::Invalid;
    const Matrix world = Multiply(parent, local);
    if (node.mesh >= 0)
        if (MeshResult r = AddMesh(node.mesh, world); r != MeshResult::Ok) return r;
    for (int child : node.children)
        if (MeshResult r = AddNode(child, world, depth + 1, visited); r != MeshResult::Ok) return r;
    return MeshResult::Ok;
}

bool IgnoreImage(tinygltf::Image*, const int, std::string*, std::string*, int, int,
                 const unsigned char*, int, void*) {
    return true;
}

} // namespace

const char* MeshResultName(MeshResult result) {
    switch (result) {
    case MeshResult::Ok:
        return "Ok";
    case MeshResult::NotGltf:
        return "NotGltf";
    case MeshResult::BadData:
        return "BadData";
    case MeshResult::Invalid:
        return "Invalid";
    case MeshResult::Unsupported:
        return "Unsupported";
    case MeshResult::TooLarge:
        return "TooLarge";
    }
    return "Unknown";
}

MeshResult DecodeGltf(const std::uint8_t* bytes, std::size_t size, MeshData* mesh) {
    *mesh = MeshData{};
    if (bytes == nullptr || size == 0) return MeshResult::NotGltf;
    if (size > 0x7FFFFFFF) return MeshResult::TooLarge; // tinygltf takes 32-bit lengths
    bool binary = size >= 4 && std::memcmp(bytes, "glTF", 4) == 0;
    if (!binary) {
        std::size_t at = 0;
        if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) at = 3;
        while (at < size &&
               (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
            ++at;
        if (at >= size || bytes[at] != '{') return MeshResult::NotGltf;
    }

    tinygltf::Model model;
    try {
        tinygltf::TinyGLTF parser;
        parser.SetImageLoader(IgnoreImage, nullptr);
        parser.SetStoreOriginalJSONForExtrasAndExtensions(false);
        std::string error, warning;
        const unsigned length = static_cast<unsigned>(size);
        const bool parsed =
            binary ? parser.LoadBinaryFromMemory(&model, &error, &warning, bytes, length, "")
                   : parser.LoadASCIIFromString(&model, &error, &warning,
                                                reinterpret_cast<const char*>(bytes), length, "");
        if (!parsed) return MeshResult::BadData;
    } catch (...) {
        return MeshResult::BadData;
    }

    Builder builder{model, {}, MeshResult::Ok};
    MeshResult result = MeshResult::Ok;
    try {
        int scene = model.defaultScene;
        if (scene < 0 && !model.scenes.empty()) scene = 0;
        if (scene >= 0 && static_cast<std::size_t>(scene) < model.scenes.size()) {
            std::vector<char> visited(model.nodes.size(), 0);
            for (int root : model.scenes[static_cast<std::size_t>(scene)].nodes) {
                result = builder.AddNode(root, kIdentity, 0, &visited);
                if (result != MeshResult::Ok) break;
            }
        } else if (scene >= 0) {
            result = MeshResult::Invalid;
        } else {
            for (std::size_t i = 0; i < model.meshes.size() && result == MeshResult::Ok; ++i)
                result = builder.AddMesh(static_cast<int>(i), kIdentity);
        }
    } catch (const std::bad_alloc&) {
        result = MeshResult::TooLarge;
    }
    if (result != MeshResult::Ok) return result;
    *mesh = std::move(builder.mesh);
    return MeshResult::Ok;
}
