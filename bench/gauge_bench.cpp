// The gauge's own scene code over the engine library, as horizon.exe runs it:
// AddGaugeArchive + BuildGaugeScene once, and UpdateGaugePose on a moving
// attitude, headless at 400 x 400, with the antialiasing the scene sets (4) and
// without it. Run from the build tree, where the default archive is generated.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include "attitude_state.h"
#include "engine_api.h"
#include "gauge_scene.h"

namespace {

bool StartEngine(benchmark::State& state) {
    if (!EngineLoaded() && !LoadEngine(GAUGE_BENCH_ENGINE)) {
        state.SkipWithError(EngineLoadError());
        return false;
    }
    if (chdir(GAUGE_BENCH_ARCHIVE_DIR) != 0) {
        state.SkipWithError("no build tree with the default archive");
        return false;
    }
    return true;
}

void NewScreen() {
    engine3d.Engine3DShutdown();
    engine3d.InitEngine3D();
    cameraDistance = kCameraStartDistance;
    AddGaugeArchive();
    engine3d.CloseScreen();
    engine3d.OpenScreen(400, 400, 32, "", 0, nullptr, 0, 1);
}

void BM_AddArchiveAndBuildScene(benchmark::State& state) {
    if (!StartEngine(state)) return;
    for (auto _ : state) {
        state.PauseTiming();
        engine3d.Engine3DShutdown();
        engine3d.InitEngine3D();
        cameraDistance = kCameraStartDistance;
        attitudeState.pitchRaw = 0;
        attitudeState.bankRaw = 0;
        state.ResumeTiming();
        AddGaugeArchive();
        engine3d.CloseScreen();
        engine3d.OpenScreen(400, 400, 32, "", 0, nullptr, 0, 1);
        BuildGaugeScene(); // ends with the first frame, as in the gauge
    }
}
BENCHMARK(BM_AddArchiveAndBuildScene)->Unit(benchmark::kMillisecond);

// state.range(0): the antialiasing mode.
void BM_UpdateGaugePose(benchmark::State& state) {
    if (!StartEngine(state)) return;
    NewScreen();
    BuildGaugeScene();
    engine3d.AntialiasingMode(int(state.range(0)));
    int32_t step = 0;
    for (auto _ : state) {
        step += 10000000; // the attitude moves a key step every frame
        attitudeState.pitchRaw = step / 4;
        attitudeState.bankRaw = step;
        UpdateGaugePose();
    }
}
BENCHMARK(BM_UpdateGaugePose)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
