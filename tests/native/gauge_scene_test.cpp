// The gauge scene against the recording engine: exact calls, order and values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "attitude_state.h"
#include "engine_api.h"
#include "gauge_scene.h"
#include "recording_engine.h"

namespace {

class GaugeScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(LoadEngine(kRecordingEngine)) << EngineLoadError();
        engineCalls.clear();
        attitudeState.pitchRaw = 0;
        attitudeState.bankRaw = 0;
        cameraDistance = kCameraStartDistance;
    }
    void TearDown() override { UnloadEngine(); }
};

std::string H(const char* kind, int id) {
    return RecordedHandle(kind, id);
}

TEST_F(GaugeScene, AddGaugeArchiveRegistersTheZipByRelativePath) {
    AddGaugeArchive();
    EXPECT_EQ(engineCalls,
              std::vector<std::string>{"Add3DArchive(\"./data_horizon_rouleau.zip\", 1)"});
}

TEST_F(GaugeScene, BuildRunsTheEighteenStepsInOrder) {
    BuildGaugeScene();
    const std::vector<std::string> want = {
        "AntialiasingMode(4)",
        "OpenWindow3D(0, 0, 0, 400, 400, \"3d\", 0)",
        "CreateCamera(0, 0, 0, 100, 100)",
        "MoveCamera(0, 0, 0, 450)",
        "CameraLookAt(0, 0, 0, 0)",
        "CameraBackColor(0, 0)",
        "CreateLight2(0, 16777215, 20, 60, 300)",
        "LoadMesh(0, \"horizon_rouleau.mesh\")",
        "LoadTexture(0, \"fond_rouleau.png\")",
        "TextureID(0)",
        "CreateMaterial(0, " + H("TextureID", 0) + ")",
        "LoadMesh(3, \"cache_rouleau.mesh\")",
        "LoadTexture(3, \"fond_cache_rouleau.png\")",
        "TextureID(3)",
        "CreateMaterial(3, " + H("TextureID", 3) + ")",
        "LoadMesh(1, \"cadre_rouleau.mesh\")",
        "LoadTexture(1, \"cadre_rouleau.png\")",
        "TextureID(1)",
        "CreateMaterial(1, " + H("TextureID", 1) + ")",
        "MeshID(0)",
        "MaterialID(0)",
        "CreateEntity(0, " + H("MeshID", 0) + ", " + H("MaterialID", 0) + ")",
        "MeshID(1)",
        "MaterialID(1)",
        "CreateEntity(1, " + H("MeshID", 1) + ", " + H("MaterialID", 1) + ")",
        "MeshID(3)",
        "MaterialID(3)",
        "CreateEntity(3, " + H("MeshID", 3) + ", " + H("MaterialID", 3) + ")",
        "CreateNode(0)",
        "EntityID(0)",
        "AttachNodeObject(0, " + H("EntityID", 0) + ")",
        "EntityRenderMode(0, 4)",
        "EntityRenderMode(1, 4)",
        "RotateEntity2(0, 0, 0, 0, 0)",
        "RotateEntity2(1, 0, 0, 0, 0)",
        "MoveEntity(1, 0, 0, 190)",
        "MoveEntity(3, 0, 0, 180)",
        "ScaleEntity(1, 0.800000012, 0.800000012, 0.800000012)",
        "ScaleEntity(3, 1.60000002, 1.60000002, 1)",
        "MoveNode(0, 0, 0, 100)",
        "WorldShadows3(2, -1, 1973790)",
        "RotateNode(0, -0, 0, -0)", // level: raw 0 converts to -0.0
        "RotateEntity2(3, 0, 0, -0, 0)",
        "RenderWorld()",
        "FlipBuffers()",
    };
    EXPECT_EQ(engineCalls, want);
    for (const std::string& call : engineCalls) {
        if (call.rfind("WorldShadows3", 0) == 0) continue; // its 2 is a shadow kind
        EXPECT_EQ(call.find("(2,"), std::string::npos) << "id 2 is never used: " << call;
    }
}

TEST_F(GaugeScene, CameraIsPlacedAtCameraDistance) {
    cameraDistance = 300;
    BuildGaugeScene();
    EXPECT_EQ(engineCalls.at(3), "MoveCamera(0, 0, 0, 300)");
}

// Pitch turns the node about x, bank turns node and mask about z; every call
// draws exactly one frame, also when nothing changed.
TEST_F(GaugeScene, PoseCallsOneFramePerCall) {
    attitudeState.pitchRaw = 10000000;
    attitudeState.bankRaw = -(1 << 30);
    EXPECT_EQ(UpdateGaugePose(), 0);
    EXPECT_EQ(UpdateGaugePose(), 0);
    const std::vector<std::string> frame = {"RotateNode(0, -0.838190317, 0, 90)",
                                            "RotateEntity2(3, 0, 0, 90, 0)", "RenderWorld()",
                                            "FlipBuffers()"};
    std::vector<std::string> twice = frame;
    twice.insert(twice.end(), frame.begin(), frame.end());
    EXPECT_EQ(engineCalls, twice);
}

TEST(GaugeSceneWithoutEngine, CallsNothingAndDoesNotCrash) {
    UnloadEngine();
    EXPECT_FALSE(LoadEngine("no-such-engine"));
    engineCalls.clear();
    AddGaugeArchive();
    BuildGaugeScene();
    EXPECT_EQ(UpdateGaugePose(), 0);
    EXPECT_TRUE(engineCalls.empty());
}

} // namespace
