// engine_bench - the cost of one gauge frame in the software engine: RotateNode,
// RotateEntity2, RenderWorld and FlipBuffers at 400 x 400, headless, one core.
//
// Two scenes:
// - Synthetic/*: the gauge-like reference scene of the engine tests (a drum of
//   1000 triangles, a mask with a round window, a bezel plate, shadows of kind
//   2), always available.
// - Archive/*: the gauge's own scene from a real archive, built with the
//   gauge's calls and member names. The archive comes from
//   --archive=PATH, else the environment variable HORIZON_ENGINE_BENCH_ARCHIVE,
//   else the build tree's data_horizon_rouleau.zip when there is one.
// Each in antialiasing mode 4 and mode 0. The pose changes every frame, as it
// does when the simulator moves.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine3d_exports.h"
#include "reference_scene.h"

namespace {

std::string archivePath;

bool Exists(const std::string& path) {
    return !path.empty() && std::ifstream(path).good();
}

// The gauge's own scene-building calls, with its member names and ids.
void BuildGaugeScene(const std::string& archive) {
    InitEngine3D();
    Add3DArchive(archive.c_str(), 1);
    CloseScreen();
    OpenScreen(400, 400, 32, "", 0, nullptr, 0, 1);
    AntialiasingMode(4);
    OpenWindow3D(0, 0, 0, 400, 400, "3d", 0);
    CreateCamera(0, 0.0f, 0.0f, 100.0f, 100.0f);
    MoveCamera(0, 0.0f, 0.0f, 450.0f);
    CameraLookAt(0, 0.0f, 0.0f, 0.0f);
    CameraBackColor(0, 0);
    CreateLight2(0, 0xFFFFFF, 20.0f, 60.0f, 300.0f);
    const struct {
        int id;
        const char* mesh;
        const char* texture;
    } objects[] = {{0, "horizon_rouleau.mesh", "fond_rouleau.png"},
                   {3, "cache_rouleau.mesh", "fond_cache_rouleau.png"},
                   {1, "cadre_rouleau.mesh", "cadre_rouleau.png"}};
    for (const auto& object : objects) {
        LoadMesh(object.id, object.mesh);
        LoadTexture(object.id, object.texture);
        CreateMaterial(object.id, TextureID(object.id));
    }
    for (int id : {0, 1, 3})
        CreateEntity(id, MeshID(id), MaterialID(id));
    CreateNode(0);
    AttachNodeObject(0, EntityID(0));
    EntityRenderMode(0, 4);
    EntityRenderMode(1, 4);
    RotateEntity2(0, 0.0f, 0.0f, 0.0f, 0);
    RotateEntity2(1, 0.0f, 0.0f, 0.0f, 0);
    MoveEntity(1, 0.0f, 0.0f, 190.0f);
    MoveEntity(3, 0.0f, 0.0f, 180.0f);
    ScaleEntity(1, 0.8f, 0.8f, 0.8f);
    ScaleEntity(3, 1.6f, 1.6f, 1.0f);
    MoveNode(0, 0.0f, 0.0f, 100.0f);
    WorldShadows3(2, -1.0f, 30 + 256 * 30 + 65536 * 30);
}

void Frames(benchmark::State& state) {
    float pitch = 0.0f, bank = 0.0f;
    for (auto _ : state) {
        pitch = pitch > 40.0f ? -40.0f : pitch + 0.8381903f;
        bank = bank > 60.0f ? -60.0f : bank + 1.3f;
        RotateNode(0, pitch, 0.0f, bank);
        RotateEntity2(3, 0.0f, 0.0f, bank, 0);
        RenderWorld();
        FlipBuffers();
    }
    state.SetItemsProcessed(state.iterations());
}

void Synthetic(benchmark::State& state) {
    const std::string archive = "engine_bench_reference.zip";
    if (!WriteReferenceArchive(archive)) {
        state.SkipWithError("cannot write the synthetic archive");
        return;
    }
    BuildReferenceScene(LinkedEngine(), archive, 400, nullptr);
    AntialiasingMode(static_cast<int>(state.range(0)));
    Frames(state);
    Engine3DShutdown();
}

void Archive(benchmark::State& state) {
    if (!Exists(archivePath)) {
        state.SkipWithError("no archive: give --archive=PATH or HORIZON_ENGINE_BENCH_ARCHIVE");
        return;
    }
    BuildGaugeScene(archivePath);
    if (MeshID(0) == nullptr || TextureID(0) == nullptr) {
        state.SkipWithError(Engine3DLastError());
        Engine3DShutdown();
        return;
    }
    AntialiasingMode(static_cast<int>(state.range(0)));
    Frames(state);
    Engine3DShutdown();
}

} // namespace

BENCHMARK(Synthetic)
    ->Arg(4)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(Archive)
    ->Arg(4)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--archive=", 10) == 0)
            archivePath = argv[i] + 10;
        else
            rest.push_back(argv[i]);
    }
    if (archivePath.empty()) {
        if (const char* env = std::getenv("HORIZON_ENGINE_BENCH_ARCHIVE")) archivePath = env;
    }
    if (archivePath.empty()) archivePath = ENGINE_BENCH_DEFAULT_ARCHIVE;
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
