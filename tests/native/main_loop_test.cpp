// The main loop's pass and the test keys, with the window, keyboard and delay
// faked and the recording engine behind the engine table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "attitude_state.h"
#include "engine_api.h"
#include "event_queue.h"
#include "fake_desktop.h"
#include "gauge_scene.h"
#include "main_loop.h"
#include "recording_engine.h"
#include "test_keys.h"
#include "window.h"

namespace {

class MainLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetFakeDesktop();
        ASSERT_TRUE(LoadEngine(kRecordingEngine));
        engineCalls.clear();
        engineCallHook = nullptr;
        attitudeState.pitchRaw = 0;
        attitudeState.bankRaw = 0;
        attitudeState.linkUp = 0;
        attitudeState.windowX = attitudeState.windowY = 0;
        drawnPitch = drawnBank = 0;
    }
    void TearDown() override {
        engineCallHook = nullptr;
        UnloadEngine();
    }

    int Frames() const {
        return int(std::count(engineCalls.begin(), engineCalls.end(), "FlipBuffers()"));
    }
    std::string LastRotateNode() const {
        for (auto it = engineCalls.rbegin(); it != engineCalls.rend(); ++it)
            if (it->rfind("RotateNode", 0) == 0) return *it;
        return "";
    }
};

TEST_F(MainLoop, IdlePassCallsNoEngineOperationAndSleepsTenMs) {
    EXPECT_TRUE(MainLoopPass());
    EXPECT_TRUE(engineCalls.empty());
    EXPECT_EQ(fakeDesktop.calls,
              (std::vector<std::string>{"FetchEvent", "SnapshotKeyboard", "Delay 10"}));
}

TEST_F(MainLoop, ChangeDetection) {
    // Both values change between two passes: one redraw, with both.
    attitudeState.pitchRaw = 10000000;
    attitudeState.bankRaw = -10000000;
    MainLoopPass();
    EXPECT_EQ(Frames(), 1);
    EXPECT_EQ(LastRotateNode(), "RotateNode(0, -0.838190317, 0, 0.838190317)");
    EXPECT_EQ(drawnPitch, 10000000);
    EXPECT_EQ(drawnBank, -10000000);

    // A change and a change back before the next pass: nothing to draw.
    engineCalls.clear();
    attitudeState.bankRaw = 5;
    attitudeState.bankRaw = -10000000;
    MainLoopPass();
    EXPECT_EQ(Frames(), 0);
}

TEST_F(MainLoop, ValueWrittenDuringTheDrawIsDrawnByTheNextPass) {
    attitudeState.pitchRaw = 1000;
    engineCallHook = [](const std::string& call) {
        if (call == "RenderWorld()") {
            attitudeState.pitchRaw = 2000; // as the poll worker would, mid-frame
            engineCallHook = nullptr;
        }
    };
    MainLoopPass();
    EXPECT_EQ(Frames(), 1);
    EXPECT_EQ(drawnPitch, 1000);
    MainLoopPass();
    EXPECT_EQ(Frames(), 2);
    EXPECT_EQ(drawnPitch, 2000);
    MainLoopPass();
    EXPECT_EQ(Frames(), 2);
}

TEST_F(MainLoop, ClosePassStillRunsKeysAndSleepThenEndsTheLoop) {
    QueueWindowEvent({kCloseEvent, nullptr, 0, 0});
    attitudeState.bankRaw = 77;
    fakeDesktop.keysDown = {kScanRight};
    EXPECT_FALSE(MainLoopPass());
    EXPECT_EQ(Frames(), 1) << "the close pass still draws a change";
    EXPECT_EQ(attitudeState.bankRaw, 77 + kAttitudeKeyStep) << "and still runs the keys";
    EXPECT_EQ(fakeDesktop.delays, std::vector<uint32_t>{10});
}

TEST_F(MainLoop, EventsAreTakenOnePerPassInOrder) {
    // A run of identical moves collapses; a system message number is no event.
    fakeDesktop.frameX = -12;
    fakeDesktop.frameY = -34;
    QueueWindowEvent({kMoveEvent, nullptr, 0, 0});
    QueueWindowEvent({kMoveEvent, nullptr, 0, 0});
    QueueWindowEvent({kControlEvent, nullptr, 5, 0});
    QueueWindowEvent({kMoveEvent, nullptr, 0, 0});
    QueueWindowEvent({kCloseEvent, nullptr, 0, 0});
    fakeDesktop.systemMessages = {0x0201};

    EXPECT_TRUE(MainLoopPass()); // move
    EXPECT_EQ(attitudeState.windowX, -12);
    EXPECT_EQ(attitudeState.windowY, -34);
    fakeDesktop.frameX = 300;    // the frame moved on before the next move is fetched
    EXPECT_TRUE(MainLoopPass()); // control: nothing
    EXPECT_EQ(attitudeState.windowX, -12);
    EXPECT_TRUE(MainLoopPass()); // the second move, read now
    EXPECT_EQ(attitudeState.windowX, 300);
    EXPECT_FALSE(MainLoopPass()); // close
    EXPECT_TRUE(MainLoopPass());  // the system message
    EXPECT_TRUE(MainLoopPass());  // nothing pending
    EXPECT_EQ(fakeDesktop.systemMessages.size(), 0u);
}

TEST_F(MainLoop, RunMainLoopEndsOnClose) {
    QueueWindowEvent({kCloseEvent, nullptr, 0, 0});
    RunMainLoop();
    EXPECT_EQ(fakeDesktop.delays.size(), 1u);
}

// Right held: one step a pass, drawn a pass later; the 215th step wraps past
// 2^31 - 1 and the drawn bank turns on through 180 degrees without a jump.
TEST_F(MainLoop, RightHeldWrapsThroughOneEighty) {
    fakeDesktop.keysDown = {kScanRight};
    MainLoopPass();
    EXPECT_EQ(Frames(), 0) << "an arrow step is drawn by the next pass";
    MainLoopPass();
    EXPECT_EQ(LastRotateNode(), "RotateNode(0, -0, 0, -0.838190317)");
    for (int pass = 3; pass <= 214; ++pass)
        MainLoopPass();
    EXPECT_EQ(attitudeState.bankRaw, 214 * kAttitudeKeyStep);
    EXPECT_EQ(LastRotateNode(), "RotateNode(0, -0, 0, -178.534531)");
    MainLoopPass(); // draws step 214, makes step 215
    EXPECT_LT(attitudeState.bankRaw, 0) << "wrapped";
    MainLoopPass(); // draws step 215
    const std::string last = LastRotateNode();
    const float bank = std::stof(last.substr(last.rfind(", ") + 2));
    EXPECT_NEAR(bank, 179.79, 0.01) << last;
}

TEST_F(MainLoop, KeyTable) {
    struct Case {
        std::set<int32_t> keys;
        int32_t bankStep, pitchStep;
        int frames; // rendered within the pass itself
        const char* why;
    };
    const Case cases[] = {
        {{kScanRight}, +1, 0, 0, "Right"},
        {{kScanLeft}, -1, 0, 0, "Left"},
        {{kScanUp}, 0, +1, 0, "Up"},
        {{kScanDown}, 0, -1, 0, "Down"},
        {{kScanRight, kScanLeft}, 0, 0, 0, "Right and Left cancel"},
        {{kScanUp, kScanDown}, 0, 0, 0, "Up and Down cancel"},
        {{kScanA}, 0, 0, 1, "A"},
        {{kScanQ}, 0, 0, 1, "Q"},
        {{kScanA, kScanQ}, 0, 0, 2, "A and Q: two frames"},
        {{72, 75, 77, 80}, 0, 0, 0, "keypad arrows do nothing"},
        {{42, 29, 56, 54}, 0, 0, 0, "Shift, Ctrl, Alt do nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        SetUp();
        fakeDesktop.keysDown = c.keys;
        MainLoopPass();
        EXPECT_EQ(attitudeState.bankRaw, c.bankStep * kAttitudeKeyStep);
        EXPECT_EQ(attitudeState.pitchRaw, c.pitchStep * kAttitudeKeyStep);
        EXPECT_EQ(Frames(), c.frames);
        fakeDesktop.keysDown.clear();
        engineCalls.clear();
        MainLoopPass();
        EXPECT_EQ(Frames(), c.bankStep || c.pitchStep ? 1 : 0) << "drawn a pass later";
    }
}

TEST_F(MainLoop, CameraKeysMoveCameraZeroByOneAndRedraw) {
    fakeDesktop.keysDown = {kScanA, kScanQ};
    MainLoopPass();
    EXPECT_EQ(engineCalls, (std::vector<std::string>{
                               "MoveCamera2(0, 0, 0, -1, 1)", "RotateNode(0, -0, 0, -0)",
                               "RotateEntity2(3, 0, 0, -0, 0)", "RenderWorld()", "FlipBuffers()",
                               "MoveCamera2(0, 0, 0, 1, 1)", "RotateNode(0, -0, 0, -0)",
                               "RotateEntity2(3, 0, 0, -0, 0)", "RenderWorld()", "FlipBuffers()"}));
}

TEST_F(MainLoop, FailedSnapshotReadsEveryKeyUp) {
    fakeDesktop.keysDown = {kScanA, kScanRight};
    fakeDesktop.snapshotFails = true;
    MainLoopPass();
    EXPECT_TRUE(engineCalls.empty());
    EXPECT_EQ(attitudeState.bankRaw, 0);
}

TEST_F(MainLoop, WithoutEngineKeysAndChangesCallNothing) {
    UnloadEngine();
    engineCalls.clear();
    fakeDesktop.keysDown = {kScanA, kScanRight};
    MainLoopPass();
    MainLoopPass();
    EXPECT_TRUE(engineCalls.empty());
    EXPECT_EQ(attitudeState.bankRaw, 2 * kAttitudeKeyStep);
}

} // namespace
