#include "gauge_raycast.h"

#include "gauge_archive.h"
#include "zip_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <tiny_gltf.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace assetgen {
namespace {

constexpr double kPiHere = 3.14159265358979323846;
constexpr double kTanHalfFovHere = 0.26794919243112270;
constexpr int kTiles = 64;

Vec3 Add(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 Sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Mul(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalised(Vec3 a) {
    const double l = std::sqrt(Dot(a, a));
    return l > 0 ? Mul(a, 1.0 / l) : a;
}

Vec3 RotateX(Vec3 p, double deg) {
    const double a = deg * kPiHere / 180.0;
    return {p.x, p.y * std::cos(a) - p.z * std::sin(a), p.y * std::sin(a) + p.z * std::cos(a)};
}

Vec3 RotateZ(Vec3 p, double deg) {
    const double a = deg * kPiHere / 180.0;
    return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a), p.z};
}

// Reads accessor `index` as `width` doubles per element into *out.
bool ReadAccessor(const tinygltf::Model& model, int index, int width, std::vector<double>* out,
                  std::string* error) {
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) {
        *error = "accessor out of range";
        return false;
    }
    const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(index)];
    const int components = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type));
    const int componentSize =
        tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(a.componentType));
    if (components != width || componentSize <= 0 || a.bufferView < 0 ||
        static_cast<std::size_t>(a.bufferView) >= model.bufferViews.size()) {
        *error = "accessor type or buffer view unexpected";
        return false;
    }
    const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(a.bufferView)];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        *error = "buffer out of range";
        return false;
    }
    const auto& data = model.buffers[static_cast<std::size_t>(view.buffer)].data;
    const std::size_t element = static_cast<std::size_t>(components * componentSize);
    const std::size_t stride = view.byteStride ? view.byteStride : element;
    const std::size_t start = view.byteOffset + a.byteOffset;
    if (a.count > 0 &&
        (start + (a.count - 1) * stride + element > view.byteOffset + view.byteLength ||
         view.byteOffset + view.byteLength > data.size())) {
        *error = "accessor runs past its buffer";
        return false;
    }
    out->resize(a.count * static_cast<std::size_t>(width));
    for (std::size_t i = 0; i < a.count; ++i) {
        for (int c = 0; c < width; ++c) {
            const unsigned char* p =
                data.data() + start + i * stride + static_cast<std::size_t>(c * componentSize);
            double value = 0;
            switch (a.componentType) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                float f;
                std::memcpy(&f, p, 4);
                value = f;
                break;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                value = p[0];
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
                value = p[0] | (p[1] << 8);
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
                std::uint32_t u;
                std::memcpy(&u, p, 4);
                value = u;
                break;
            }
            default:
                *error = "component type not read";
                return false;
            }
            (*out)[i * static_cast<std::size_t>(width) + static_cast<std::size_t>(c)] = value;
        }
    }
    return true;
}

bool AppendPrimitive(const tinygltf::Model& model, const tinygltf::Primitive& primitive, Mesh* mesh,
                     std::string* error) {
    if (primitive.mode != TINYGLTF_MODE_TRIANGLES) {
        *error = "only triangle primitives are read";
        return false;
    }
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) {
        *error = "primitive without POSITION";
        return false;
    }
    std::vector<double> p, n, t, idx;
    if (!ReadAccessor(model, position->second, 3, &p, error)) return false;
    const std::size_t count = p.size() / 3;
    const auto normal = primitive.attributes.find("NORMAL");
    if (normal != primitive.attributes.end() && !ReadAccessor(model, normal->second, 3, &n, error))
        return false;
    const auto uv = primitive.attributes.find("TEXCOORD_0");
    if (uv != primitive.attributes.end() && !ReadAccessor(model, uv->second, 2, &t, error))
        return false;
    if ((!n.empty() && n.size() != p.size()) || (!t.empty() && t.size() != count * 2)) {
        *error = "attribute counts differ";
        return false;
    }
    if (primitive.indices >= 0) {
        if (!ReadAccessor(model, primitive.indices, 1, &idx, error)) return false;
    } else {
        for (std::size_t i = 0; i < count; ++i)
            idx.push_back(static_cast<double>(i));
    }
    const auto base = static_cast<std::uint32_t>(mesh->positions.size());
    for (std::size_t i = 0; i < count; ++i) {
        mesh->positions.push_back({p[3 * i], p[3 * i + 1], p[3 * i + 2]});
        if (!n.empty()) mesh->normals.push_back({n[3 * i], n[3 * i + 1], n[3 * i + 2]});
        mesh->u.push_back(t.empty() ? 0.0 : t[2 * i]);
        mesh->v.push_back(t.empty() ? 0.0 : t[2 * i + 1]);
    }
    for (std::size_t i = 0; i + 2 < idx.size(); i += 3) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (idx[i + k] >= static_cast<double>(count)) {
                *error = "index out of range";
                return false;
            }
            mesh->indices.push_back(base + static_cast<std::uint32_t>(idx[i + k]));
        }
    }
    return true;
}

bool DecodeMeshUnchecked(const std::vector<std::uint8_t>& bytes, Mesh* mesh, std::string* error) {
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string warning;
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    const bool loaded =
        binary ? loader.LoadBinaryFromMemory(&model, error, &warning, bytes.data(),
                                             static_cast<unsigned int>(bytes.size()))
               : loader.LoadASCIIFromString(&model, error, &warning,
                                            reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<unsigned int>(bytes.size()), "");
    if (!loaded) {
        if (error->empty()) *error = "tinygltf could not parse the mesh";
        return false;
    }
    for (const tinygltf::Mesh& m : model.meshes)
        for (const tinygltf::Primitive& p : m.primitives)
            if (!AppendPrimitive(model, p, mesh, error)) return false;
    if (mesh->indices.empty()) {
        *error = "mesh has no triangles";
        return false;
    }
    if (!mesh->normals.empty() && mesh->normals.size() != mesh->positions.size())
        mesh->normals.clear(); // some primitives lack them: fall back to face normals
    return true;
}

// Bilinear, premultiplied, coordinates clamped to the image.
Rgba SampleTexture(const Image& image, double u, double v) {
    if (image.width <= 0 || image.height <= 0) return {1, 1, 1, 1};
    const double x = std::clamp(u * image.width - 0.5, 0.0, image.width - 1.0);
    const double y = std::clamp(v * image.height - 0.5, 0.0, image.height - 1.0);
    const int x0 = static_cast<int>(x);
    const int y0 = static_cast<int>(y);
    const int x1 = std::min(x0 + 1, image.width - 1);
    const int y1 = std::min(y0 + 1, image.height - 1);
    const double fx = x - x0;
    const double fy = y - y0;
    Rgba out;
    auto add = [&](int px, int py, double w) {
        const std::uint8_t* t = &image.rgba[4 * (static_cast<std::size_t>(py) * image.width + px)];
        const double a = t[3] / 255.0;
        out.r += w * a * t[0] / 255.0;
        out.g += w * a * t[1] / 255.0;
        out.b += w * a * t[2] / 255.0;
        out.a += w * a;
    };
    add(x0, y0, (1 - fx) * (1 - fy));
    add(x1, y0, fx * (1 - fy));
    add(x0, y1, (1 - fx) * fy);
    add(x1, y1, fx * fy);
    return out;
}

} // namespace

bool DecodeMesh(const std::vector<std::uint8_t>& bytes, Mesh* mesh, std::string* error) {
    *mesh = Mesh{};
    try {
        return DecodeMeshUnchecked(bytes, mesh, error);
    } catch (const std::exception& e) {
        *error = std::string("mesh parser threw: ") + e.what();
        return false;
    }
}

bool DecodePng(const std::vector<std::uint8_t>& bytes, Image* image, std::string* error) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels, 4);
    if (pixels == nullptr) {
        *error = std::string("PNG does not decode: ") + stbi_failure_reason();
        return false;
    }
    image->width = w;
    image->height = h;
    image->rgba.assign(pixels, pixels + static_cast<std::size_t>(w) * h * 4);
    stbi_image_free(pixels);
    return true;
}

bool LoadGaugeAssets(const std::vector<std::uint8_t>& zip, GaugeAssets* assets,
                     std::string* error) {
    std::vector<ZipEntry> entries;
    if (!ReadZip(zip, &entries, error)) return false;
    auto member = [&](const char* name) -> const std::vector<std::uint8_t>* {
        for (const ZipEntry& e : entries)
            if (e.name == name) return &e.data;
        *error = std::string("member ") + name + " missing";
        return nullptr;
    };
    struct Slot {
        GaugeObject* object;
        const char* mesh;
        const char* texture;
    };
    const Slot slots[] = {{&assets->drum, kDrumMeshName, kDrumTextureName},
                          {&assets->mask, kMaskMeshName, kMaskTextureName},
                          {&assets->frame, kFrameMeshName, kFrameTextureName}};
    for (const Slot& s : slots) {
        const auto* mesh = member(s.mesh);
        const auto* texture = member(s.texture);
        if (mesh == nullptr || texture == nullptr) return false;
        if (!DecodeMesh(*mesh, &s.object->mesh, error)) {
            *error = std::string(s.mesh) + ": " + *error;
            return false;
        }
        if (!DecodePng(*texture, &s.object->texture, error)) {
            *error = std::string(s.texture) + ": " + *error;
            return false;
        }
    }
    return true;
}

PosedObject PoseObject(const GaugeObject& object, ObjectKind kind, const View& view) {
    PosedObject posed;
    posed.object = &object;
    posed.cameraZ = view.cameraZ;
    const Mesh& mesh = object.mesh;
    auto place = [&](Vec3 p, bool isNormal) {
        switch (kind) {
        case ObjectKind::Drum:
            p = RotateZ(RotateX(p, view.pitchDeg), view.bankDeg);
            return isNormal ? p : Add(p, {0, 0, 100});
        case ObjectKind::Mask:
            if (!isNormal) p = {p.x * 1.6, p.y * 1.6, p.z};
            p = RotateZ(p, view.bankDeg);
            return isNormal ? p : Add(p, {0, 0, 180});
        case ObjectKind::Frame:
            return isNormal ? p : Add(Mul(p, 0.8), {0, 0, 190});
        }
        return p;
    };
    for (const Vec3& p : mesh.positions)
        posed.positions.push_back(place(p, false));
    for (const Vec3& n : mesh.normals)
        posed.normals.push_back(Normalised(place(n, true)));

    posed.tiles.assign(kTiles * kTiles, {});
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        double lo[2] = {1e30, 1e30}, hi[2] = {-1e30, -1e30};
        bool behind = false;
        for (std::size_t k = 0; k < 3; ++k) {
            const Vec3& p = posed.positions[mesh.indices[t + k]];
            const double depth = view.cameraZ - p.z;
            if (depth < 1e-3) {
                behind = true;
                break;
            }
            const double sx = p.x / depth / kTanHalfFovHere;
            const double sy = p.y / depth / kTanHalfFovHere;
            lo[0] = std::min(lo[0], sx);
            hi[0] = std::max(hi[0], sx);
            lo[1] = std::min(lo[1], sy);
            hi[1] = std::max(hi[1], sy);
        }
        auto cell = [](double s) {
            return std::clamp(static_cast<int>(std::floor((s + 1.0) / 2.0 * kTiles)), 0,
                              kTiles - 1);
        };
        const int x0 = behind ? 0 : cell(lo[0]);
        const int x1 = behind ? kTiles - 1 : cell(hi[0]);
        const int y0 = behind ? 0 : cell(lo[1]);
        const int y1 = behind ? kTiles - 1 : cell(hi[1]);
        if (!behind && (hi[0] < -1 || lo[0] > 1 || hi[1] < -1 || lo[1] > 1)) continue;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                posed.tiles[static_cast<std::size_t>(y * kTiles + x)].push_back(
                    static_cast<std::uint32_t>(t / 3));
    }
    return posed;
}

Sample CastRay(const PosedObject& posed, double ndcX, double ndcY) {
    Sample best;
    if (posed.object == nullptr || ndcX < -1 || ndcX > 1 || ndcY < -1 || ndcY > 1) return best;
    const Mesh& mesh = posed.object->mesh;
    const Vec3 origin{0, 0, posed.cameraZ};
    const Vec3 dir{ndcX * kTanHalfFovHere, ndcY * kTanHalfFovHere, -1.0};
    const int tx = std::clamp(static_cast<int>((ndcX + 1.0) / 2.0 * kTiles), 0, kTiles - 1);
    const int ty = std::clamp(static_cast<int>((ndcY + 1.0) / 2.0 * kTiles), 0, kTiles - 1);
    double bestT = 1e30;
    for (std::uint32_t tri : posed.tiles[static_cast<std::size_t>(ty * kTiles + tx)]) {
        const std::uint32_t i0 = mesh.indices[3 * tri];
        const std::uint32_t i1 = mesh.indices[3 * tri + 1];
        const std::uint32_t i2 = mesh.indices[3 * tri + 2];
        const Vec3 v0 = posed.positions[i0];
        const Vec3 e1 = Sub(posed.positions[i1], v0);
        const Vec3 e2 = Sub(posed.positions[i2], v0);
        const Vec3 p = Cross(dir, e2);
        const double det = Dot(e1, p);
        if (std::fabs(det) < 1e-12) continue;
        const Vec3 s = Sub(origin, v0);
        const double a = Dot(s, p) / det;
        // A little slack, so a ray exactly along a shared edge cannot slip between both faces.
        constexpr double kSlack = 1e-9;
        if (a < -kSlack || a > 1 + kSlack) continue;
        const Vec3 q = Cross(s, e1);
        const double b = Dot(dir, q) / det;
        if (b < -kSlack || a + b > 1 + kSlack) continue;
        const double t = Dot(e2, q) / det;
        if (t <= 1e-6 || t >= bestT) continue;
        bestT = t;
        const double c = 1.0 - a - b;
        best.hit = true;
        best.triangle = tri;
        best.point = Add(origin, Mul(dir, t));
        best.u = c * mesh.u[i0] + a * mesh.u[i1] + b * mesh.u[i2];
        best.v = c * mesh.v[i0] + a * mesh.v[i1] + b * mesh.v[i2];
        best.normal =
            posed.normals.empty()
                ? Normalised(Cross(e1, e2))
                : Normalised(Add(Add(Mul(posed.normals[i0], c), Mul(posed.normals[i1], a)),
                                 Mul(posed.normals[i2], b)));
    }
    if (!best.hit) return best;
    best.texel = SampleTexture(posed.object->texture, best.u, best.v);
    const Vec3 toLight = Normalised(Sub({20, 60, 300}, best.point));
    best.light = 0.4 + 0.6 * std::max(0.0, Dot(best.normal, toLight));
    return best;
}

std::array<PosedObject, 3> PoseScene(const GaugeAssets& assets, const View& view) {
    return {PoseObject(assets.frame, ObjectKind::Frame, view),
            PoseObject(assets.mask, ObjectKind::Mask, view),
            PoseObject(assets.drum, ObjectKind::Drum, view)};
}

Rgba ShadeScene(const std::array<PosedObject, 3>& frameMaskDrum, double ndcX, double ndcY,
                bool lit) {
    // Front to back: the frame is nearest, then the mask, then the drum, at every pose.
    Rgba out;
    double transmitted = 1.0;
    for (const PosedObject& object : frameMaskDrum) {
        const Sample s = CastRay(object, ndcX, ndcY);
        if (!s.hit) continue;
        const double light = lit ? s.light : 1.0;
        out.r += transmitted * s.texel.r * light;
        out.g += transmitted * s.texel.g * light;
        out.b += transmitted * s.texel.b * light;
        transmitted *= 1.0 - s.texel.a;
    }
    out.a = 1.0 - transmitted;
    return out;
}

std::vector<std::uint8_t> RenderGauge(const GaugeAssets& assets, const View& view, int size,
                                      int samples) {
    const std::array<PosedObject, 3> scene = PoseScene(assets, view);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(size) * size * 3);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Rgba sum;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const double x = (px + (sx + 0.5) / samples) / size * 2.0 - 1.0;
                    const double y = 1.0 - (py + (sy + 0.5) / samples) / size * 2.0;
                    const Rgba c = ShadeScene(scene, x, y);
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            }
            const double n = samples * samples;
            std::uint8_t* out = &rgb[3 * (static_cast<std::size_t>(py) * size + px)];
            out[0] = static_cast<std::uint8_t>(std::lround(std::clamp(sum.r / n, 0.0, 1.0) * 255));
            out[1] = static_cast<std::uint8_t>(std::lround(std::clamp(sum.g / n, 0.0, 1.0) * 255));
            out[2] = static_cast<std::uint8_t>(std::lround(std::clamp(sum.b / n, 0.0, 1.0) * 255));
        }
    }
    return rgb;
}

} // namespace assetgen
