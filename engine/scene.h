// scene.h - the engine's scene graph and how it is drawn: objects by id, one
// id space per kind, their transforms, and the frame rendered from them.
//
// Contract
// - Pure: no OS calls; the exports in engine3d.cpp validate arguments and call in.
// - Shared resources (meshes, textures, materials, entities) are reference
//   counted: a material keeps its texture and an entity keeps its mesh and
//   material even when the id they came from is loaded again. Handles are
//   numbers issued once per object (never reused); a handle resolves only
//   while its object still sits at its id and only in its own kind's table.
// - Transforms (column vectors, angles in degrees, R = Rz * Ry * Rx):
//     node world   = T(node position) * R(node angles)
//     entity world = node world (when attached) * T(position) * R(angles) * S(scale)
// - Camera: eye at its position; orientation from CameraLookAt (up = +y), or
//   looking down -z when never turned. Perspective with a fixed vertical field
//   of view of kFieldOfViewDegrees, near kNearPlane, far kFarPlane, aspect
//   from the viewport in pixels.
// - RenderScene draws every camera in id order into its viewport, then
//   resolves the samples into `frame` (0xFFRRGGBB, top-down).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image_png.h"
#include "math3d.h"
#include "mesh_gltf.h"
#include "raster.h"

inline constexpr double kFieldOfViewDegrees = 30.0;
inline constexpr double kNearPlane = 1.0;
inline constexpr double kFarPlane = 4000.0;
inline constexpr int kAmbient = 90; // 0.35 of full light, out of 256
inline constexpr int kShadowMapSize = 512;
inline constexpr int kMaxScreenSide = 8192;

struct MeshResource {
    MeshData data;
    Vec3 centre; // of the bounding sphere, in mesh coordinates
    double radius = 0.0;
};

struct MaterialResource {
    std::shared_ptr<const Image> texture; // null = untextured white
};

struct Entity {
    std::shared_ptr<const MeshResource> mesh;         // null = draws nothing
    std::shared_ptr<const MaterialResource> material; // null = untextured white
    Vec3 position;
    Vec3 angles;
    Vec3 scale{1.0, 1.0, 1.0};
    int renderMode = 0;
    bool attached = false;
    int node = 0;
};

struct Node {
    Vec3 position;
    Vec3 angles;
};

struct Camera {
    double viewX = 0, viewY = 0, viewWidth = 100, viewHeight = 100; // percent
    Vec3 position;
    Vec3 right{1, 0, 0}, up{0, 1, 0}, back{0, 0, 1}; // orientation, orthonormal
    std::uint32_t background = 0;                    // 0xRRGGBB
};

struct Light {
    Vec3 position;
    int colour[3] = {255, 255, 255};
};

struct GuiWindow {
    int x = 0, y = 0, width = 0, height = 0;
    std::string title;
    int options = 0;
};

// One id space of shared resources with their handles.
template <typename T> struct Registry {
    struct Slot {
        std::shared_ptr<T> object;
        std::uintptr_t handle = 0;
    };
    std::map<int, Slot> byId;
    std::map<std::uintptr_t, int> idByHandle;

    void Put(int id, std::shared_ptr<T> object, std::uintptr_t handle) {
        auto found = byId.find(id);
        if (found != byId.end()) idByHandle.erase(found->second.handle);
        byId[id] = Slot{std::move(object), handle};
        idByHandle[handle] = id;
    }
    T* Find(int id) const {
        auto found = byId.find(id);
        return found == byId.end() ? nullptr : found->second.object.get();
    }
    std::uintptr_t Handle(int id) const {
        auto found = byId.find(id);
        return found == byId.end() ? 0 : found->second.handle;
    }
    std::shared_ptr<T> FromHandle(std::uintptr_t handle) const {
        auto found = idByHandle.find(handle);
        if (found == idByHandle.end()) return nullptr;
        return byId.at(found->second).object;
    }
};

struct ShadowSettings {
    int kind = 0;        // 0 off, 2 shadow map from light 0
    double range = -1.0; // <= 0 automatic
    int colour[3] = {0, 0, 0};
};

// Where an entity lies seen from light 0 (over its vertices): the range of
// distances along the light's axis and of x / w and y / w across it.
struct LightExtent {
    int id = 0;
    bool caster = false;   // render mode 4
    bool useful = false;   // a caster that can darken another entity
    bool receives = false; // some useful caster can darken it
    bool behind = false;   // some vertex at or behind the light
    int index = 0;         // its caster index in the shadow map
    double minW = 0, maxW = 0, minX = 0, maxX = 0, minY = 0, maxY = 0;
};

// Per-frame working memory, kept between frames so drawing does not allocate.
struct RenderScratch {
    std::vector<RasterVertex> vertices;
    std::vector<std::vector<RasterVertex>> drawVertices; // per draw of a camera's frame
    std::vector<RasterShading> shadings;
    // Blended draws replayed while their inputs stay the same, by camera and
    // entity id; `keep` holds the texture a record names by address.
    struct Layer {
        RasterLayerRecord record;
        std::shared_ptr<const void> keep;
        bool used = false;
    };
    std::map<std::pair<int, int>, Layer> layers;
    std::vector<int> order;
    std::vector<std::pair<double, int>> transparent;
    std::vector<LightExtent> extents;
    // What the shadow map was last drawn from: the light's frustum and each
    // useful caster's id, mesh, texture and world matrix. The same inputs
    // give the same map, so it is only drawn again when one of them changes
    // (in the gauge only the fixed bezel casts onto anything).
    std::vector<double> shadowInputs;
    std::vector<double> shadowInputsNow;
    // Holds the meshes and textures named (by address) in shadowInputs, so
    // that no other object can take one of those addresses meanwhile.
    std::vector<std::shared_ptr<const void>> shadowKeep;
    RasterCounters counters;
};

struct Scene {
    Registry<MeshResource> meshes;
    Registry<Image> textures;
    Registry<MaterialResource> materials;
    Registry<Entity> entities;
    std::map<int, Node> nodes;
    std::map<int, Camera> cameras;
    std::map<int, Light> lights;
    std::map<int, GuiWindow> windows;
    ShadowSettings shadows;
    std::uintptr_t nextHandle = 0x100;
};

// Turns the camera toward `target` with up = +y. Looking straight up or down
// keeps the camera's current heading (its right vector); returns false (and
// changes nothing) when the target is the eye itself.
bool CameraLookAtPoint(Camera* camera, Vec3 target);

// World matrices as the contract above defines them.
Mat4 NodeMatrix(const Node& node);
Mat4 EntityMatrix(const Scene& scene, const Entity& entity);

// Centre and radius of the sphere around a mesh's vertices.
void MeshBounds(MeshResource* mesh);

// Draws into `target` as sized by the caller (its sample count is the
// antialiasing), then resolves it into `frame`.
void RenderScene(const Scene& scene, RasterTarget* target, ShadowMap* shadowMap,
                 RenderScratch* scratch, std::vector<std::uint32_t>* frame);
