// See engine_test_assets.h.
#include "engine_test_assets.h"

#include <zlib.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

void Put16(Bytes* out, unsigned value) {
    out->push_back(static_cast<std::uint8_t>(value));
    out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Crc(const Bytes& data) {
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size())));
}

std::string Base64(const Bytes& data) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t{data[i]} << 16) |
                                (i + 1 < data.size() ? std::uint32_t{data[i + 1]} << 8 : 0) |
                                (i + 2 < data.size() ? std::uint32_t{data[i + 2]} : 0);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < data.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < data.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

template <typename T> void Append(Bytes* out, const std::vector<T>& values) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(values.data());
    out->insert(out->end(), p, p + values.size() * sizeof(T));
}

void Pad4(Bytes* out) {
    while (out->size() % 4 != 0)
        out->push_back(0);
}

// The buffer and the JSON describing it (without the buffer's "uri").
void BuildGltf(const GltfMesh& mesh, Bytes* buffer, std::string* json, bool embed) {
    const std::size_t vertexCount = mesh.positions.size() / 3;
    std::string views, accessors, attributes;
    int viewCount = 0;
    auto addView = [&](std::size_t offset, std::size_t length, bool indices) {
        if (!views.empty()) views += ",";
        views += "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                 ",\"byteLength\":" + std::to_string(length) +
                 (indices ? ",\"target\":34963}" : ",\"target\":34962}");
        return viewCount++;
    };
    int accessorCount = 0;
    auto addAccessor = [&](int view, int componentType, std::size_t count, const char* type,
                           const std::string& extra) {
        if (!accessors.empty()) accessors += ",";
        accessors += "{\"bufferView\":" + std::to_string(view) +
                     ",\"componentType\":" + std::to_string(componentType) +
                     ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + extra +
                     "}";
        return accessorCount++;
    };

    std::size_t at = buffer->size();
    Append(buffer, mesh.positions);
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    // Bounds over the finite values only, so that a test mesh with a NaN
    // still makes valid JSON and the NaN is found in the buffer.
    for (std::size_t i = 0; i < vertexCount; ++i)
        for (int k = 0; k < 3; ++k) {
            const float v = mesh.positions[i * 3 + static_cast<std::size_t>(k)];
            if (!std::isfinite(v)) continue;
            if (v < lo[k]) lo[k] = v;
            if (v > hi[k]) hi[k] = v;
        }
    auto number = [](float v) {
        char text[64];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
        return std::string(text);
    };
    const std::string bounds = ",\"min\":[" + number(lo[0]) + "," + number(lo[1]) + "," +
                               number(lo[2]) + "],\"max\":[" + number(hi[0]) + "," + number(hi[1]) +
                               "," + number(hi[2]) + "]";
    attributes +=
        "\"POSITION\":" + std::to_string(addAccessor(addView(at, buffer->size() - at, false), 5126,
                                                     vertexCount, "VEC3", bounds));
    if (!mesh.normals.empty()) {
        at = buffer->size();
        Append(buffer, mesh.normals);
        attributes +=
            ",\"NORMAL\":" + std::to_string(addAccessor(addView(at, buffer->size() - at, false),
                                                        5126, mesh.normals.size() / 3, "VEC3", ""));
    }
    if (!mesh.uvs.empty()) {
        at = buffer->size();
        Append(buffer, mesh.uvs);
        attributes +=
            ",\"TEXCOORD_0\":" + std::to_string(addAccessor(addView(at, buffer->size() - at, false),
                                                            5126, mesh.uvs.size() / 2, "VEC2", ""));
    }
    std::string indices;
    if (mesh.indexBytes != 0) {
        at = buffer->size();
        for (std::uint32_t index : mesh.indices) {
            for (int b = 0; b < mesh.indexBytes; ++b)
                buffer->push_back(static_cast<std::uint8_t>(index >> (8 * b)));
        }
        const int type = mesh.indexBytes == 1 ? 5121 : mesh.indexBytes == 2 ? 5123 : 5125;
        const int view = addView(at, buffer->size() - at, true);
        Pad4(buffer);
        indices = ",\"indices\":" +
                  std::to_string(addAccessor(view, type, mesh.indices.size(), "SCALAR", ""));
    }
    Pad4(buffer);

    std::string node = "{\"mesh\":0";
    if (mesh.nodeMatrix.size() == 16) {
        node += ",\"matrix\":[";
        for (std::size_t i = 0; i < 16; ++i) {
            char text[64];
            std::snprintf(text, sizeof text, "%s%.17g", i ? "," : "", mesh.nodeMatrix[i]);
            node += text;
        }
        node += "]";
    }
    node += "}";
    const std::string uri =
        embed ? ",\"uri\":\"data:application/octet-stream;base64," + Base64(*buffer) + "\"" : "";
    *json = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"engine tests\"},\"scene\":0,"
            "\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" +
            node + "],\"meshes\":[{\"primitives\":[{\"attributes\":{" + attributes + "}" + indices +
            ",\"mode\":4}]}],\"accessors\":[" + accessors + "],\"bufferViews\":[" + views +
            "],\"buffers\":[{\"byteLength\":" + std::to_string(buffer->size()) + uri + "}]}";
}

} // namespace

Bytes Deflate(const Bytes& data) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

Bytes MakeZip(const std::vector<ZipMember>& members) {
    Bytes out, central;
    for (const ZipMember& member : members) {
        const Bytes stored = member.deflate ? Deflate(member.data) : member.data;
        const std::uint32_t crc = Crc(member.data);
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const unsigned flags = member.descriptor ? 0x0008 : 0;
        const unsigned method = member.deflate ? 8 : 0;
        Put32(&out, 0x04034b50);
        Put16(&out, 20);
        Put16(&out, flags);
        Put16(&out, method);
        Put16(&out, 0);
        Put16(&out, 0x21);
        Put32(&out, member.descriptor ? 0 : crc);
        Put32(&out, member.descriptor ? 0 : static_cast<std::uint32_t>(stored.size()));
        Put32(&out, member.descriptor ? 0 : static_cast<std::uint32_t>(member.data.size()));
        Put16(&out, static_cast<unsigned>(member.name.size()));
        Put16(&out, 0);
        out.insert(out.end(), member.name.begin(), member.name.end());
        out.insert(out.end(), stored.begin(), stored.end());
        if (member.descriptor) {
            Put32(&out, 0x08074b50);
            Put32(&out, crc);
            Put32(&out, static_cast<std::uint32_t>(stored.size()));
            Put32(&out, static_cast<std::uint32_t>(member.data.size()));
        }
        Put32(&central, 0x02014b50);
        Put16(&central, 20);
        Put16(&central, 20);
        Put16(&central, flags);
        Put16(&central, method);
        Put16(&central, 0);
        Put16(&central, 0x21);
        Put32(&central, crc);
        Put32(&central, static_cast<std::uint32_t>(stored.size()));
        Put32(&central, static_cast<std::uint32_t>(member.data.size()));
        Put16(&central, static_cast<unsigned>(member.name.size()));
        Put16(&central, 0);
        Put16(&central, 0);
        Put16(&central, 0);
        Put16(&central, 0);
        Put32(&central, 0);
        Put32(&central, offset);
        central.insert(central.end(), member.name.begin(), member.name.end());
    }
    const std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    Put32(&out, 0x06054b50);
    Put16(&out, 0);
    Put16(&out, 0);
    Put16(&out, static_cast<unsigned>(members.size()));
    Put16(&out, static_cast<unsigned>(members.size()));
    Put32(&out, static_cast<std::uint32_t>(central.size()));
    Put32(&out, directoryOffset);
    Put16(&out, 0);
    return out;
}

std::string MakeGltfJson(const GltfMesh& mesh) {
    Bytes buffer;
    std::string json;
    BuildGltf(mesh, &buffer, &json, true);
    return json;
}

Bytes MakeGlb(const GltfMesh& mesh) {
    Bytes buffer;
    std::string json;
    BuildGltf(mesh, &buffer, &json, false);
    while (json.size() % 4 != 0)
        json += ' ';
    Bytes out;
    Put32(&out, 0x46546C67); // "glTF"
    Put32(&out, 2);
    Put32(&out, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + buffer.size()));
    Put32(&out, static_cast<std::uint32_t>(json.size()));
    Put32(&out, 0x4E4F534A); // "JSON"
    out.insert(out.end(), json.begin(), json.end());
    Put32(&out, static_cast<std::uint32_t>(buffer.size()));
    Put32(&out, 0x004E4942); // "BIN\0"
    out.insert(out.end(), buffer.begin(), buffer.end());
    return out;
}

Bytes MakePng(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> rgba(argb.size() * 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        rgba[i * 4 + 0] = static_cast<std::uint8_t>(argb[i] >> 16);
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(argb[i] >> 8);
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(argb[i]);
        rgba[i * 4 + 3] = static_cast<std::uint8_t>(argb[i] >> 24);
    }
    Bytes out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* bytes = static_cast<Bytes*>(context);
            const auto* p = static_cast<const std::uint8_t*>(data);
            bytes->insert(bytes->end(), p, p + size);
        },
        &out, width, height, 4, rgba.data(), width * 4);
    return out;
}

GltfMesh Quad(float halfWidth, float halfHeight) {
    GltfMesh mesh;
    mesh.positions = {-halfWidth, halfHeight,  0, halfWidth,  halfHeight,  0,
                      halfWidth,  -halfHeight, 0, -halfWidth, -halfHeight, 0};
    mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    mesh.uvs = {0, 0, 1, 0, 1, 1, 0, 1};
    mesh.indices = {0, 3, 2, 0, 2, 1}; // counter-clockwise seen from +z
    return mesh;
}

GltfMesh Cylinder(float radius, float halfLength, int segments) {
    GltfMesh mesh;
    const double kPi = 3.14159265358979323846;
    for (int i = 0; i <= segments; ++i) {
        // Angle 0 at the top (+y), growing toward the front (+z) and down.
        const double angle = 2.0 * kPi * i / segments;
        const float y = static_cast<float>(std::cos(angle)),
                    z = static_cast<float>(std::sin(angle));
        const float v = static_cast<float>(i) / static_cast<float>(segments);
        for (int end = 0; end < 2; ++end) {
            const float x = end == 0 ? -halfLength : halfLength;
            mesh.positions.insert(mesh.positions.end(), {x, radius * y, radius * z});
            mesh.normals.insert(mesh.normals.end(), {0.0f, y, z});
            mesh.uvs.insert(mesh.uvs.end(), {end == 0 ? 0.0f : 1.0f, v});
        }
    }
    for (int i = 0; i < segments; ++i) {
        const std::uint32_t a = static_cast<std::uint32_t>(2 * i), b = a + 1, c = a + 2, d = a + 3;
        // Outward faces, counter-clockwise seen from outside.
        mesh.indices.insert(mesh.indices.end(), {a, c, b, b, c, d});
    }
    return mesh;
}

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string Identifier(const char* text) {
    std::string name;
    for (const char* p = text; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
