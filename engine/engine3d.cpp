// The exports of the 3D engine library: argument checks, error codes and the
// module state; the work itself is in scene, raster, archive and the loaders.
// Built twice on Windows: Engine3D.dll, and Engine3DRecording.dll with
// ENGINE3D_RECORDING defined, which logs every call (record_log.h) before
// doing exactly what the plain build does.
#include "engine3d_exports.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "archive.h"
#include "image_png.h"
#include "mesh_gltf.h"
#include "present.h"
#include "raster.h"
#include "scene.h"

#if defined(ENGINE3D_RECORDING)
#include "record_log.h"
#endif

namespace {

struct Screen {
    bool open = false;
    int width = 0;
    int height = 0;
    void* surface = nullptr;
};

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xFFRRGGBB, top-down
};

struct EngineState {
    ArchiveSet archives;
    Scene scene;
    Screen screen;
    int antialiasing = 0;
    RasterTarget target;
    ShadowMap shadowMap;
    RenderScratch scratch;
    Frame rendered;  // the last RenderWorld
    Frame presented; // the last FlipBuffers
    std::string lastError;
};

std::unique_ptr<EngineState> engine;
// The text handed out by Engine3DLastError when the engine is not initialised.
const char kNotInitialised[] = "InitEngine3D has not been called";

int Fail(int code, const char* format, ...) {
    if (engine != nullptr) {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        engine->lastError = text;
    }
    return code;
}

bool Finite(float a) {
    return std::isfinite(a);
}
bool Finite(float a, float b, float c) {
    return Finite(a) && Finite(b) && Finite(c);
}

bool ValidColour(int colour) {
    return colour >= 0 && colour <= 0xFFFFFF;
}

void UnpackColour(int colour, int out[3]) {
    out[0] = colour & 0xFF;
    out[1] = (colour >> 8) & 0xFF;
    out[2] = (colour >> 16) & 0xFF;
}

std::uintptr_t HandleValue(void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}
void* HandlePointer(std::uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

#if defined(ENGINE3D_RECORDING)
void Record(const char* name, const char* format, ...) {
    char text[1024];
    int used = std::snprintf(text, sizeof text, "%s", name);
    if (format[0] != '\0' && used > 0 && static_cast<std::size_t>(used) < sizeof text) {
        text[used++] = ' ';
        va_list args;
        va_start(args, format);
        std::vsnprintf(text + used, sizeof text - static_cast<std::size_t>(used), format, args);
        va_end(args);
    }
    RecordLine(text);
}

// Texts are logged in double quotes with \ and " escaped, so an empty title or
// one with spaces stays one field.
std::string Quoted(const char* text) {
    if (text == nullptr) return "null";
    std::string out = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '"' || *p == '\\') out += '\\';
        out += *p;
    }
    return out + "\"";
}
#define RECORD(name, ...) Record(name, __VA_ARGS__)
#else
#define RECORD(name, ...) ((void)0)
#endif

#define REQUIRE_ENGINE()                                                                           \
    do {                                                                                           \
        if (engine == nullptr) return E3D_ERR_NOT_INITIALISED;                                     \
    } while (0)

int ZipCode(ZipResult result) {
    switch (result) {
    case ZipResult::Ok:
        return E3D_OK;
    case ZipResult::NotFound:
        return E3D_ERR_NOT_FOUND;
    case ZipResult::TooLarge:
        return E3D_ERR_TOO_LARGE;
    case ZipResult::Unsupported:
        return E3D_ERR_UNSUPPORTED;
    case ZipResult::ReadFailed:
        return E3D_ERR_IO;
    default:
        return E3D_ERR_BAD_DATA;
    }
}

// Reads a member for LoadMesh / LoadTexture, mapping archive failures to codes.
int ReadMember(const char* operation, int id, const char* member,
               std::vector<std::uint8_t>* bytes) {
    if (member == nullptr || member[0] == '\0')
        return Fail(E3D_ERR_BAD_ARGUMENT, "%s %d: no member name", operation, id);
    std::string reason;
    const ZipResult result = ArchiveSetRead(engine->archives, member, bytes, &reason);
    if (result == ZipResult::Ok) return E3D_OK;
    return Fail(ZipCode(result), "%s %d: %s", operation, id, reason.c_str());
}

std::uintptr_t NewHandle() {
    return engine->scene.nextHandle++;
}

// Remove an id's object so that a failed load leaves it absent, not stale.
template <typename T> void Remove(Registry<T>* registry, int id) {
    auto found = registry->byId.find(id);
    if (found == registry->byId.end()) return;
    registry->idByHandle.erase(found->second.handle);
    registry->byId.erase(found);
}

} // namespace

extern "C" {

int InitEngine3D(void) {
    RECORD("InitEngine3D", "");
    if (engine != nullptr) return E3D_OK;
    engine = std::make_unique<EngineState>();
    return E3D_OK;
}

int Engine3DShutdown(void) {
    RECORD("Engine3DShutdown", "");
    engine.reset();
    return E3D_OK;
}

int Engine3DInterfaceVersion(void) {
    return ENGINE3D_INTERFACE_VERSION;
}

const char* Engine3DLastError(void) {
    return engine == nullptr ? kNotInitialised : engine->lastError.c_str();
}

int Add3DArchive(const char* path, int kind) {
    RECORD("Add3DArchive", "%s %d", Quoted(path).c_str(), kind);
    REQUIRE_ENGINE();
    if (path == nullptr || path[0] == '\0')
        return Fail(E3D_ERR_BAD_ARGUMENT, "Add3DArchive: no path");
    if (kind != 1)
        return Fail(E3D_ERR_UNSUPPORTED, "Add3DArchive: archive kind %d (only 1, zip)", kind);
    std::string reason;
    const ZipResult result = ArchiveSetAdd(&engine->archives, path, &reason);
    if (result == ZipResult::Ok) return E3D_OK;
    return Fail(ZipCode(result), "Add3DArchive: %s", reason.c_str());
}

int CloseScreen(void) {
    RECORD("CloseScreen", "");
    REQUIRE_ENGINE();
    // Closing when nothing is open is allowed and does nothing: the gauge
    // closes "any open screen" before its first OpenScreen.
    if (!engine->screen.open) return E3D_OK;
    engine->screen = Screen{};
    engine->target = RasterTarget{};
    engine->rendered = Frame{};
    return E3D_OK;
}

int OpenScreen(int width, int height, int depth, const char* title, int flags, void* surfaceWindow,
               int reserved, int flipMode) {
    RECORD("OpenScreen", "%d %d %d %s %d %#llx %d %d", width, height, depth, Quoted(title).c_str(),
           flags, static_cast<unsigned long long>(HandleValue(surfaceWindow)), reserved, flipMode);
    REQUIRE_ENGINE();
    (void)title, (void)flags, (void)reserved;
    if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide)
        return Fail(E3D_ERR_BAD_ARGUMENT, "OpenScreen: size %d x %d (1..%d)", width, height,
                    kMaxScreenSide);
    if (depth != 16 && depth != 24 && depth != 32)
        return Fail(E3D_ERR_BAD_ARGUMENT, "OpenScreen: depth %d (16, 24 or 32)", depth);
    if (flipMode < 0) return Fail(E3D_ERR_BAD_ARGUMENT, "OpenScreen: flip mode %d", flipMode);
    engine->screen = Screen{true, width, height, surfaceWindow};
    engine->target = RasterTarget{};
    engine->rendered = Frame{};
    return E3D_OK;
}

int AntialiasingMode(int mode) {
    RECORD("AntialiasingMode", "%d", mode);
    REQUIRE_ENGINE();
    if (mode < 0) return Fail(E3D_ERR_BAD_ARGUMENT, "AntialiasingMode: mode %d", mode);
    engine->antialiasing = mode; // takes effect at the next RenderWorld
    return E3D_OK;
}

int OpenWindow3D(int id, int x, int y, int width, int height, const char* title, int options) {
    RECORD("OpenWindow3D", "%d %d %d %d %d %s %d", id, x, y, width, height, Quoted(title).c_str(),
           options);
    REQUIRE_ENGINE();
    if (width < 0 || height < 0)
        return Fail(E3D_ERR_BAD_ARGUMENT, "OpenWindow3D %d: size %d x %d", id, width, height);
    GuiWindow window;
    window.x = x, window.y = y, window.width = width, window.height = height;
    window.title = title != nullptr ? title : "";
    window.options = options;
    engine->scene.windows[id] = window;
    return E3D_OK;
}

int CreateCamera(int id, float x, float y, float width, float height) {
    RECORD("CreateCamera", "%d %.9g %.9g %.9g %.9g", id, x, y, width, height);
    REQUIRE_ENGINE();
    const auto percent = [](float v) { return std::isfinite(v) && v >= 0.0f && v <= 100.0f; };
    if (!percent(x) || !percent(y) || !percent(width) || !percent(height) || width <= 0.0f ||
        height <= 0.0f)
        return Fail(E3D_ERR_BAD_ARGUMENT, "CreateCamera %d: viewport %g %g %g %g (percent, 0..100)",
                    id, x, y, width, height);
    Camera camera;
    camera.viewX = x, camera.viewY = y, camera.viewWidth = width, camera.viewHeight = height;
    engine->scene.cameras[id] = camera;
    return E3D_OK;
}

int MoveCamera2(int id, float x, float y, float z, int mode) {
    RECORD("MoveCamera2", "%d %.9g %.9g %.9g %d", id, x, y, z, mode);
    REQUIRE_ENGINE();
    auto found = engine->scene.cameras.find(id);
    if (found == engine->scene.cameras.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "MoveCamera2: no camera %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "MoveCamera2 %d: not finite", id);
    if (mode != 0 && mode != 1)
        return Fail(E3D_ERR_BAD_ARGUMENT, "MoveCamera2 %d: mode %d", id, mode);
    const Vec3 v{x, y, z};
    found->second.position = mode == 0 ? v : found->second.position + v;
    return E3D_OK;
}

int MoveCamera(int id, float x, float y, float z) {
    RECORD("MoveCamera", "%d %.9g %.9g %.9g", id, x, y, z);
    REQUIRE_ENGINE();
    auto found = engine->scene.cameras.find(id);
    if (found == engine->scene.cameras.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "MoveCamera: no camera %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "MoveCamera %d: not finite", id);
    found->second.position = Vec3{x, y, z};
    return E3D_OK;
}

int CameraLookAt(int id, float x, float y, float z) {
    RECORD("CameraLookAt", "%d %.9g %.9g %.9g", id, x, y, z);
    REQUIRE_ENGINE();
    auto found = engine->scene.cameras.find(id);
    if (found == engine->scene.cameras.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "CameraLookAt: no camera %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "CameraLookAt %d: not finite", id);
    if (!CameraLookAtPoint(&found->second, Vec3{x, y, z}))
        return Fail(E3D_ERR_BAD_ARGUMENT, "CameraLookAt %d: the point is the camera's position",
                    id);
    return E3D_OK;
}

int CameraBackColor(int id, int colour) {
    RECORD("CameraBackColor", "%d %d", id, colour);
    REQUIRE_ENGINE();
    auto found = engine->scene.cameras.find(id);
    if (found == engine->scene.cameras.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "CameraBackColor: no camera %d", id);
    if (!ValidColour(colour))
        return Fail(E3D_ERR_BAD_ARGUMENT, "CameraBackColor %d: colour %d", id, colour);
    found->second.background = static_cast<std::uint32_t>(colour);
    return E3D_OK;
}

int CreateLight2(int id, int colour, float x, float y, float z) {
    RECORD("CreateLight2", "%d %d %.9g %.9g %.9g", id, colour, x, y, z);
    REQUIRE_ENGINE();
    if (!ValidColour(colour))
        return Fail(E3D_ERR_BAD_ARGUMENT, "CreateLight2 %d: colour %d", id, colour);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "CreateLight2 %d: not finite", id);
    Light light;
    light.position = Vec3{x, y, z};
    UnpackColour(colour, light.colour);
    engine->scene.lights[id] = light;
    return E3D_OK;
}

int LoadMesh(int id, const char* member) {
    RECORD("LoadMesh", "%d %s", id, Quoted(member).c_str());
    REQUIRE_ENGINE();
    Remove(&engine->scene.meshes, id);
    std::vector<std::uint8_t> bytes;
    if (int code = ReadMember("LoadMesh", id, member, &bytes); code != E3D_OK) return code;
    auto mesh = std::make_shared<MeshResource>();
    const MeshResult result = DecodeGltf(bytes.data(), bytes.size(), &mesh->data);
    if (result != MeshResult::Ok) {
        const int code = result == MeshResult::TooLarge      ? E3D_ERR_TOO_LARGE
                         : result == MeshResult::Unsupported ? E3D_ERR_UNSUPPORTED
                                                             : E3D_ERR_BAD_DATA;
        return Fail(code, "LoadMesh %d: \"%s\" refused: %s", id, member, MeshResultName(result));
    }
    MeshBounds(mesh.get());
    engine->scene.meshes.Put(id, std::move(mesh), NewHandle());
    return E3D_OK;
}

int LoadTexture(int id, const char* member) {
    RECORD("LoadTexture", "%d %s", id, Quoted(member).c_str());
    REQUIRE_ENGINE();
    Remove(&engine->scene.textures, id);
    std::vector<std::uint8_t> bytes;
    if (int code = ReadMember("LoadTexture", id, member, &bytes); code != E3D_OK) return code;
    auto image = std::make_shared<Image>();
    const ImageResult result = DecodePng(bytes.data(), bytes.size(), image.get());
    if (result != ImageResult::Ok) {
        const int code = result == ImageResult::TooLarge ? E3D_ERR_TOO_LARGE : E3D_ERR_BAD_DATA;
        return Fail(code, "LoadTexture %d: \"%s\" refused: %s", id, member,
                    ImageResultName(result));
    }
    engine->scene.textures.Put(id, std::move(image), NewHandle());
    return E3D_OK;
}

void* TextureID(int id) {
    RECORD("TextureID", "%d", id);
    return engine == nullptr ? nullptr : HandlePointer(engine->scene.textures.Handle(id));
}

void* MeshID(int id) {
    RECORD("MeshID", "%d", id);
    return engine == nullptr ? nullptr : HandlePointer(engine->scene.meshes.Handle(id));
}

void* MaterialID(int id) {
    RECORD("MaterialID", "%d", id);
    return engine == nullptr ? nullptr : HandlePointer(engine->scene.materials.Handle(id));
}

void* EntityID(int id) {
    RECORD("EntityID", "%d", id);
    return engine == nullptr ? nullptr : HandlePointer(engine->scene.entities.Handle(id));
}

int CreateMaterial(int id, void* texture) {
    RECORD("CreateMaterial", "%d %#llx", id, static_cast<unsigned long long>(HandleValue(texture)));
    REQUIRE_ENGINE();
    auto material = std::make_shared<MaterialResource>();
    material->texture = engine->scene.textures.FromHandle(HandleValue(texture));
    engine->scene.materials.Put(id, material, NewHandle());
    if (material->texture == nullptr)
        return Fail(E3D_ERR_BAD_HANDLE,
                    "CreateMaterial %d: no texture behind handle %#llx (untextured)", id,
                    static_cast<unsigned long long>(HandleValue(texture)));
    return E3D_OK;
}

int CreateEntity(int id, void* mesh, void* material) {
    RECORD("CreateEntity", "%d %#llx %#llx", id, static_cast<unsigned long long>(HandleValue(mesh)),
           static_cast<unsigned long long>(HandleValue(material)));
    REQUIRE_ENGINE();
    auto entity = std::make_shared<Entity>();
    entity->mesh = engine->scene.meshes.FromHandle(HandleValue(mesh));
    entity->material = engine->scene.materials.FromHandle(HandleValue(material));
    engine->scene.entities.Put(id, entity, NewHandle());
    if (entity->mesh == nullptr)
        return Fail(E3D_ERR_BAD_HANDLE,
                    "CreateEntity %d: no mesh behind handle %#llx (draws nothing)", id,
                    static_cast<unsigned long long>(HandleValue(mesh)));
    if (entity->material == nullptr)
        return Fail(E3D_ERR_BAD_HANDLE,
                    "CreateEntity %d: no material behind handle %#llx (untextured)", id,
                    static_cast<unsigned long long>(HandleValue(material)));
    return E3D_OK;
}

int CreateNode(int id) {
    RECORD("CreateNode", "%d", id);
    REQUIRE_ENGINE();
    engine->scene.nodes[id] = Node{};
    return E3D_OK;
}

int AttachNodeObject(int nodeId, void* entityHandle) {
    RECORD("AttachNodeObject", "%d %#llx", nodeId,
           static_cast<unsigned long long>(HandleValue(entityHandle)));
    REQUIRE_ENGINE();
    if (engine->scene.nodes.find(nodeId) == engine->scene.nodes.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "AttachNodeObject: no node %d", nodeId);
    const std::shared_ptr<Entity> entity =
        engine->scene.entities.FromHandle(HandleValue(entityHandle));
    if (entity == nullptr)
        return Fail(E3D_ERR_BAD_HANDLE, "AttachNodeObject %d: no entity behind handle %#llx",
                    nodeId, static_cast<unsigned long long>(HandleValue(entityHandle)));
    entity->attached = true;
    entity->node = nodeId;
    return E3D_OK;
}

int EntityRenderMode(int id, int mode) {
    RECORD("EntityRenderMode", "%d %d", id, mode);
    REQUIRE_ENGINE();
    Entity* entity = engine->scene.entities.Find(id);
    if (entity == nullptr) return Fail(E3D_ERR_UNKNOWN_ID, "EntityRenderMode: no entity %d", id);
    if (mode != E3D_RENDER_DEFAULT && mode != E3D_RENDER_SHADOW_CASTER)
        return Fail(E3D_ERR_BAD_ARGUMENT, "EntityRenderMode %d: mode %d (0 or 4)", id, mode);
    entity->renderMode = mode;
    return E3D_OK;
}

int MoveEntity(int id, float x, float y, float z) {
    RECORD("MoveEntity", "%d %.9g %.9g %.9g", id, x, y, z);
    REQUIRE_ENGINE();
    Entity* entity = engine->scene.entities.Find(id);
    if (entity == nullptr) return Fail(E3D_ERR_UNKNOWN_ID, "MoveEntity: no entity %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "MoveEntity %d: not finite", id);
    entity->position = Vec3{x, y, z};
    return E3D_OK;
}

int MoveNode(int id, float x, float y, float z) {
    RECORD("MoveNode", "%d %.9g %.9g %.9g", id, x, y, z);
    REQUIRE_ENGINE();
    auto found = engine->scene.nodes.find(id);
    if (found == engine->scene.nodes.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "MoveNode: no node %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "MoveNode %d: not finite", id);
    found->second.position = Vec3{x, y, z};
    return E3D_OK;
}

int ScaleEntity(int id, float x, float y, float z) {
    RECORD("ScaleEntity", "%d %.9g %.9g %.9g", id, x, y, z);
    REQUIRE_ENGINE();
    Entity* entity = engine->scene.entities.Find(id);
    if (entity == nullptr) return Fail(E3D_ERR_UNKNOWN_ID, "ScaleEntity: no entity %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "ScaleEntity %d: not finite", id);
    entity->scale = Vec3{x, y, z};
    return E3D_OK;
}

int RotateEntity2(int id, float x, float y, float z, int mode) {
    RECORD("RotateEntity2", "%d %.9g %.9g %.9g %d", id, x, y, z, mode);
    REQUIRE_ENGINE();
    Entity* entity = engine->scene.entities.Find(id);
    if (entity == nullptr) return Fail(E3D_ERR_UNKNOWN_ID, "RotateEntity2: no entity %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "RotateEntity2 %d: not finite", id);
    if (mode != 0 && mode != 1)
        return Fail(E3D_ERR_BAD_ARGUMENT, "RotateEntity2 %d: mode %d", id, mode);
    const Vec3 angles{x, y, z};
    entity->angles = mode == 0 ? angles : entity->angles + angles;
    return E3D_OK;
}

int RotateNode(int id, float x, float y, float z) {
    RECORD("RotateNode", "%d %.9g %.9g %.9g", id, x, y, z);
    REQUIRE_ENGINE();
    auto found = engine->scene.nodes.find(id);
    if (found == engine->scene.nodes.end())
        return Fail(E3D_ERR_UNKNOWN_ID, "RotateNode: no node %d", id);
    if (!Finite(x, y, z)) return Fail(E3D_ERR_BAD_ARGUMENT, "RotateNode %d: not finite", id);
    found->second.angles = Vec3{x, y, z};
    return E3D_OK;
}

int WorldShadows3(int kind, float value, int colour) {
    RECORD("WorldShadows3", "%d %.9g %d", kind, value, colour);
    REQUIRE_ENGINE();
    if (kind != 0 && kind != 2)
        return Fail(E3D_ERR_UNSUPPORTED, "WorldShadows3: kind %d (0 off, 2 shadow map)", kind);
    if (!Finite(value)) return Fail(E3D_ERR_BAD_ARGUMENT, "WorldShadows3: value not finite");
    if (!ValidColour(colour)) return Fail(E3D_ERR_BAD_ARGUMENT, "WorldShadows3: colour %d", colour);
    ShadowSettings& shadows = engine->scene.shadows;
    shadows.kind = kind;
    shadows.range = value;
    UnpackColour(colour, shadows.colour);
    return E3D_OK;
}

int RenderWorld(void) {
    RECORD("RenderWorld", "");
    REQUIRE_ENGINE();
    if (!engine->screen.open) return Fail(E3D_ERR_NO_SCREEN, "RenderWorld: no screen open");
    const int samples = engine->antialiasing == 4 ? 4 : 1;
    RasterTarget& target = engine->target;
    if (target.width != engine->screen.width || target.height != engine->screen.height ||
        target.samples != samples || target.colour.empty()) {
        try {
            RasterResize(&target, engine->screen.width, engine->screen.height, samples);
        } catch (const std::bad_alloc&) {
            target = RasterTarget{};
            return Fail(E3D_ERR_TOO_LARGE, "RenderWorld: out of memory for the frame");
        }
    }
    RenderScene(engine->scene, &target, &engine->shadowMap, &engine->scratch,
                &engine->rendered.pixels);
    engine->rendered.width = target.width;
    engine->rendered.height = target.height;
    return E3D_OK;
}

int FlipBuffers(void) {
    RECORD("FlipBuffers", "");
    REQUIRE_ENGINE();
    if (!engine->screen.open) return Fail(E3D_ERR_NO_SCREEN, "FlipBuffers: no screen open");
    Frame& shown = engine->presented;
    if (engine->rendered.pixels.empty()) {
        // Nothing rendered yet on this screen: present black.
        shown.width = engine->screen.width;
        shown.height = engine->screen.height;
        shown.pixels.assign(static_cast<std::size_t>(shown.width) * shown.height, 0xFF000000u);
    } else {
        shown.width = engine->rendered.width;
        shown.height = engine->rendered.height;
        shown.pixels = engine->rendered.pixels;
    }
    if (!PresentFrame(engine->screen.surface, shown.pixels.data(), shown.width, shown.height))
        return Fail(E3D_ERR_IO, "FlipBuffers: the surface window could not be drawn into");
    return E3D_OK;
}

int Engine3DFrameSize(int* width, int* height) {
    REQUIRE_ENGINE();
    if (width == nullptr || height == nullptr)
        return Fail(E3D_ERR_BAD_ARGUMENT, "Engine3DFrameSize: null pointer");
    *width = engine->presented.width;
    *height = engine->presented.height;
    return E3D_OK;
}

int Engine3DCopyFrame(unsigned char* rgba, int capacity) {
    REQUIRE_ENGINE();
    const Frame& shown = engine->presented;
    const long long needed = 4LL * shown.width * shown.height;
    if (rgba == nullptr && needed > 0)
        return Fail(E3D_ERR_BAD_ARGUMENT, "Engine3DCopyFrame: null buffer");
    if (capacity < 0 || needed > capacity)
        return Fail(E3D_ERR_TOO_LARGE, "Engine3DCopyFrame: %lld bytes needed, %d given", needed,
                    capacity);
    for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
        const std::uint32_t p = shown.pixels[i];
        rgba[i * 4 + 0] = static_cast<unsigned char>(p >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(p);
        rgba[i * 4 + 3] = 255;
    }
    return static_cast<int>(needed);
}

} // extern "C"
