#include "gauge_scene.h"

#include "angle.h"
#include "attitude_state.h"
#include "engine_api.h"

int32_t cameraDistance;

namespace {

constexpr int Colour(int red, int green, int blue) {
    return red + 256 * green + 65536 * blue;
}

// Meshes, textures, materials and entities of one object share its id. Id 2 is
// left unused, as the gauge has always done.
constexpr int kDrum = 0;
constexpr int kFrame = 1;
constexpr int kMask = 3;

struct Member {
    int id;
    const char* mesh;
    const char* texture;
};
// Loaded in this order: drum, mask, frame.
constexpr Member kMembers[] = {
    {kDrum, "horizon_rouleau.mesh", "fond_rouleau.png"},
    {kMask, "cache_rouleau.mesh", "fond_cache_rouleau.png"},
    {kFrame, "cadre_rouleau.mesh", "cadre_rouleau.png"},
};

} // namespace

void AddGaugeArchive() {
    if (!EngineLoaded()) return;
    engine3d.Add3DArchive("./data_horizon_rouleau.zip", 1);
}

void BuildGaugeScene() {
    if (!EngineLoaded()) return;
    const Engine3DApi& e = engine3d;
    e.AntialiasingMode(4);
    e.OpenWindow3D(0, 0, 0, 400, 400, "3d", 0);
    e.CreateCamera(0, 0.0f, 0.0f, 100.0f, 100.0f);
    e.MoveCamera(0, 0.0f, 0.0f, static_cast<float>(cameraDistance));
    e.CameraLookAt(0, 0.0f, 0.0f, 0.0f);
    e.CameraBackColor(0, Colour(0, 0, 0));
    e.CreateLight2(0, Colour(255, 255, 255), 20.0f, 60.0f, 300.0f);
    for (const Member& m : kMembers) {
        e.LoadMesh(m.id, m.mesh);
        e.LoadTexture(m.id, m.texture);
        e.CreateMaterial(m.id, e.TextureID(m.id));
    }
    for (int id : {kDrum, kFrame, kMask}) {
        void* mesh = e.MeshID(id); // asked in a fixed order, not in argument order
        void* material = e.MaterialID(id);
        e.CreateEntity(id, mesh, material);
    }
    e.CreateNode(0);
    e.AttachNodeObject(0, e.EntityID(kDrum));
    e.EntityRenderMode(kDrum, 4);
    e.EntityRenderMode(kFrame, 4);
    e.RotateEntity2(kDrum, 0.0f, 0.0f, 0.0f, 0);
    e.RotateEntity2(kFrame, 0.0f, 0.0f, 0.0f, 0);
    e.MoveEntity(kFrame, 0.0f, 0.0f, 190.0f);
    e.MoveEntity(kMask, 0.0f, 0.0f, 180.0f);
    e.ScaleEntity(kFrame, 0.8f, 0.8f, 0.8f);
    e.ScaleEntity(kMask, 1.6f, 1.6f, 1.0f);
    e.MoveNode(0, 0.0f, 0.0f, 100.0f);
    e.WorldShadows3(2, -1.0f, Colour(30, 30, 30));
    UpdateGaugePose();
}

int UpdateGaugePose() {
    if (!EngineLoaded()) return 0;
    const float pitch = RawToDegrees(attitudeState.pitchRaw.load(std::memory_order_relaxed));
    const float bank = RawToDegrees(attitudeState.bankRaw.load(std::memory_order_relaxed));
    engine3d.RotateNode(0, pitch, 0.0f, bank);
    engine3d.RotateEntity2(kMask, 0.0f, 0.0f, bank, 0);
    engine3d.RenderWorld();
    engine3d.FlipBuffers();
    return 0;
}
