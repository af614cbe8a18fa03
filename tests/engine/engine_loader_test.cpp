// The gauge-side loader against real shared libraries: the engine itself,
// stand-ins missing an export or reporting another interface version, a file
// that is no library, and a path that does not exist. Also the recording
// build's call log, loaded the way the gauge loads an engine.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine_api.h"

namespace {

bool TableIsEmpty() {
    bool empty = engine3d.Engine3DInterfaceVersion == nullptr;
#define ENGINE3D_CHECK_NULL(name) empty = empty && engine3d.name == nullptr;
    ENGINE3D_FUNCTIONS(ENGINE3D_CHECK_NULL)
#undef ENGINE3D_CHECK_NULL
    return empty;
}

bool TableIsFull() {
    bool full = engine3d.Engine3DInterfaceVersion != nullptr;
#define ENGINE3D_CHECK_SET(name) full = full && engine3d.name != nullptr;
    ENGINE3D_FUNCTIONS(ENGINE3D_CHECK_SET)
#undef ENGINE3D_CHECK_SET
    return full;
}

class EngineLoader : public ::testing::Test {
  protected:
    void TearDown() override { UnloadEngine(); }
};

TEST_F(EngineLoader, LoadsTheEngineAndCallsThroughTheTable) {
    ASSERT_TRUE(LoadEngine(ENGINE_LIBRARY)) << EngineLoadError();
    EXPECT_TRUE(EngineLoaded());
    EXPECT_STREQ(EngineLoadError(), "");
    EXPECT_TRUE(TableIsFull());
    EXPECT_EQ(engine3d.Engine3DInterfaceVersion(), ENGINE3D_INTERFACE_VERSION);
    EXPECT_EQ(engine3d.RenderWorld(), E3D_ERR_NOT_INITIALISED);
    ASSERT_EQ(engine3d.InitEngine3D(), E3D_OK);
    EXPECT_EQ(engine3d.CloseScreen(), E3D_OK);
    ASSERT_EQ(engine3d.OpenScreen(8, 8, 32, "", 0, nullptr, 0, 1), E3D_OK);
    EXPECT_EQ(engine3d.RenderWorld(), E3D_OK);
    EXPECT_EQ(engine3d.Engine3DShutdown(), E3D_OK);
    UnloadEngine();
    EXPECT_FALSE(EngineLoaded());
    EXPECT_TRUE(TableIsEmpty());
}

struct Refusal {
    const char* path;
    const char* reason; // expected within EngineLoadError()
};

class RefusedLibrary : public EngineLoader, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedLibrary, LeavesNoEngineAndSaysWhy) {
    // Even after a good load, a refused one leaves nothing behind.
    ASSERT_TRUE(LoadEngine(ENGINE_LIBRARY));
    EXPECT_FALSE(LoadEngine(GetParam().path));
    EXPECT_FALSE(EngineLoaded());
    EXPECT_TRUE(TableIsEmpty());
    const std::string reason = EngineLoadError();
    EXPECT_NE(reason.find(GetParam().reason), std::string::npos) << reason;
    EXPECT_NE(reason.find(GetParam().path), std::string::npos) << reason;
    // And a good load afterwards works again.
    EXPECT_TRUE(LoadEngine(ENGINE_LIBRARY));
    EXPECT_STREQ(EngineLoadError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedLibrary,
    ::testing::Values(Refusal{ENGINE_MISSING_EXPORT_LIBRARY, "missing export \"RotateNode\""},
                      Refusal{ENGINE_WRONG_VERSION_LIBRARY,
                              "incompatible interface version 999 (expected 1)"},
                      Refusal{"/nonexistent/Engine3D.so", "file not found"},
                      Refusal{ENGINE_NOT_A_LIBRARY, "cannot be loaded"}));

TEST_F(EngineLoader, RefusesAnEmptyPath) {
    EXPECT_FALSE(LoadEngine(""));
    EXPECT_FALSE(LoadEngine(nullptr));
    EXPECT_TRUE(TableIsEmpty());
    EXPECT_STRNE(EngineLoadError(), "");
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(EngineLoader, RecordingBuildLogsEveryCallWithItsArguments) {
    const std::string log = ScratchDir() + "engine_loader_test_calls.log";
    std::remove(log.c_str());
    ASSERT_EQ(setenv("HORIZON_ENGINE_LOG", log.c_str(), 1), 0);
    ASSERT_TRUE(LoadEngine(ENGINE_RECORDING_LIBRARY)) << EngineLoadError();
    ASSERT_EQ(engine3d.InitEngine3D(), E3D_OK);
    engine3d.OpenScreen(16, 16, 32, "", 0, nullptr, 0, 1);
    engine3d.OpenWindow3D(0, 0, 0, 400, 400, "3d", 0);
    engine3d.CreateCamera(0, 0.0f, 0.0f, 100.0f, 100.0f);
    engine3d.RotateNode(0, -0.8381903171539307f, 0.0f, 0.0f);
    engine3d.MoveCamera2(0, 0.0f, 0.0f, -1.0f, 1);
    engine3d.RenderWorld();
    engine3d.FlipBuffers();
    engine3d.Engine3DShutdown();
    const std::vector<std::string> lines = Lines(log);
    const char* expected[] = {
        "InitEngine3D",
        "OpenScreen 16 16 32 \"\" 0 0 0 1",
        "OpenWindow3D 0 0 0 400 400 \"3d\" 0",
        "CreateCamera 0 0 0 100 100",
        "RotateNode 0 -0.838190317 0 0",
        "MoveCamera2 0 0 0 -1 1",
        "RenderWorld",
        "FlipBuffers",
        "Engine3DShutdown",
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    long long previous = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        long long micros = -1;
        in >> micros;
        std::string rest;
        std::getline(in, rest);
        EXPECT_EQ(rest, std::string(" ") + expected[i]);
        EXPECT_GE(micros, previous);
        previous = micros;
    }
    unsetenv("HORIZON_ENGINE_LOG");
}

} // namespace
