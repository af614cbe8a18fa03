// What the gauge asks of its engine, end to end: the recording build of the
// engine, copied in as Engine3D.dll, logs every call with its arguments.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "gauge_fixture.h"
#include "gauge_run.h"

namespace {

// Queries hand a handle on to the next call; the log cannot show which, so
// the order checks look past them.
bool IsQuery(const EngineCall& call) {
    return call.name == "TextureID" || call.name == "MeshID" || call.name == "MaterialID" ||
           call.name == "EntityID";
}

std::vector<EngineCall> WithoutQueries(const std::vector<EngineCall>& calls) {
    std::vector<EngineCall> kept;
    for (const EngineCall& call : calls) {
        if (!IsQuery(call)) kept.push_back(call);
    }
    return kept;
}

// Start-up after InitEngine3D, up to the first frame. "*" is any non-null handle.
const char* const kStartupCalls[] = {
    "Add3DArchive \"./data_horizon_rouleau.zip\" 1",
    "CloseScreen",
    "OpenScreen 400 400 32 \"\" 0 * 0 1",
    "AntialiasingMode 4",
    "OpenWindow3D 0 0 0 400 400 \"3d\" 0",
    "CreateCamera 0 0 0 100 100",
    "MoveCamera 0 0 0 450",
    "CameraLookAt 0 0 0 0",
    "CameraBackColor 0 0",
    "CreateLight2 0 16777215 20 60 300",
    "LoadMesh 0 \"horizon_rouleau.mesh\"",
    "LoadTexture 0 \"fond_rouleau.png\"",
    "CreateMaterial 0 *",
    "LoadMesh 3 \"cache_rouleau.mesh\"",
    "LoadTexture 3 \"fond_cache_rouleau.png\"",
    "CreateMaterial 3 *",
    "LoadMesh 1 \"cadre_rouleau.mesh\"",
    "LoadTexture 1 \"cadre_rouleau.png\"",
    "CreateMaterial 1 *",
    "CreateEntity 0 * *",
    "CreateEntity 1 * *",
    "CreateEntity 3 * *",
    "CreateNode 0",
    "AttachNodeObject 0 *",
    "EntityRenderMode 0 4",
    "EntityRenderMode 1 4",
    "RotateEntity2 0 0 0 0 0",
    "RotateEntity2 1 0 0 0 0",
    "MoveEntity 1 0 0 190",
    "MoveEntity 3 0 0 180",
    "ScaleEntity 1 0.8 0.8 0.8",
    "ScaleEntity 3 1.6 1.6 1",
    "MoveNode 0 0 0 100",
    "WorldShadows3 2 -1 1973790", // red 30 + 256 * green 30 + 65536 * blue 30
    "RotateNode 0 0 0 0",
    "RotateEntity2 3 0 0 0 0",
    "RenderWorld",
    "FlipBuffers",
};

// A simulator server on the same Wine desktop (another test's stand-in) would
// bring the gauge's link up and drive the attitude: these tests need it absent.
class EngineCallsTest : public GaugeTest {
  protected:
    void SetUp() override {
        for (const char* serverClass : {"UIPCMAIN", "FS98MAIN"}) {
            ASSERT_EQ(FindWindowA(serverClass, nullptr), nullptr)
                << "a simulator server window (class " << serverClass << ") is open";
        }
    }
};

TEST_F(EngineCallsTest, StartUpWaitsForTheBoxBuildsTheSceneOnceAndIdlesWithoutCalls) {
    std::string error;
    ASSERT_TRUE(run.Start(EngineBuild::Recording, &error)) << error;
    HWND box = run.WaitForWindowTitled(kStartupCaption, kStartGuardMs);
    ASSERT_NE(box, nullptr);
    Sleep(300); // the gauge waits in the box: nothing may follow meanwhile
    std::vector<EngineCall> calls = run.EngineLog();
    ASSERT_EQ(calls.size(), 1u) << Describe(calls);
    EXPECT_EQ(MatchCall(calls[0], "InitEngine3D"), "");

    dismissedAt = NowMicros();
    ASSERT_TRUE(GaugeRun::DismissWithEsc(box, kStepGuardMs));
    HWND gauge = run.WaitForGaugeWindow(kStepGuardMs);
    ASSERT_NE(gauge, nullptr);
    ASSERT_TRUE(run.WaitForCalls("FlipBuffers", 1, kStepGuardMs)) << Describe(run.EngineLog());
    ASSERT_TRUE(GaugeRun::MakeForeground(gauge, kStepGuardMs));

    // No key, no simulator: after the first frame the loop makes no call at all.
    const long long sizeAfterFirstFrame = run.LogSize();
    Sleep(1000);
    calls = run.EngineLog();
    EXPECT_EQ(run.LogSize(), sizeAfterFirstFrame) << "calls while idle:\n" << Describe(calls);

    const std::vector<EngineCall> ordered = WithoutQueries(calls);
    const size_t expected = 1 + std::size(kStartupCalls);
    ASSERT_EQ(ordered.size(), expected) << Describe(ordered);
    for (size_t i = 1; i < expected; ++i) {
        EXPECT_EQ(MatchCall(ordered[i], kStartupCalls[i - 1]), "") << "call " << i;
    }
    EXPECT_GE(ordered[1].micros, dismissedAt) << "the archive was added before the box went";

    // The render screen is the gauge window's one child, the surface.
    HWND surface = FindWindowExA(gauge, nullptr, "Static", nullptr);
    ASSERT_NE(surface, nullptr);
    unsigned long long logged = 0;
    ASSERT_TRUE(ArgHandle(ordered[3], 5, &logged)) << Describe(ordered[3]);
    EXPECT_EQ(logged, reinterpret_cast<std::uintptr_t>(surface));
}

// One step of an arrow key, 10000000 in the simulator's unit, drawn in degrees.
constexpr std::int32_t kStep = 10000000;
float Degrees(std::int32_t raw) {
    return float(double(raw) * -360.0 / 4294967296.0);
}

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

enum class Effect { None, BankStep, PitchStep, Camera };

struct KeyCase {
    const char* name;
    Key key;
    Effect effect;
    int sign; // of the raw step, or of the camera's z move
};

// Keys go by position (set-1 scan code, E0 for the arrow block), as DirectInput
// numbers them; the keypad's arrows and the modifiers are not among them.
const KeyCase kKeyCases[] = {
    {"Right", {VK_RIGHT, 0x4D, true}, Effect::BankStep, +1},
    {"Left", {VK_LEFT, 0x4B, true}, Effect::BankStep, -1},
    {"Up", {VK_UP, 0x48, true}, Effect::PitchStep, +1},
    {"Down", {VK_DOWN, 0x50, true}, Effect::PitchStep, -1},
    {"A", {'A', 0x1E, false}, Effect::Camera, -1},
    {"Q", {'Q', 0x10, false}, Effect::Camera, +1},
    {"KeypadRight", {VK_RIGHT, 0x4D, false}, Effect::None, 0},
    {"KeypadUp", {VK_UP, 0x48, false}, Effect::None, 0},
    {"Shift", {VK_LSHIFT, 0x2A, false}, Effect::None, 0},
    {"Ctrl", {VK_LCONTROL, 0x1D, false}, Effect::None, 0},
    {"Z", {'Z', 0x2C, false}, Effect::None, 0},
};

// Checks the calls one held key caused against the gauge's state before it,
// and moves that state on. Each pass with the key down is one step: an arrow
// step is drawn by the next pass, a camera step at once.
void CheckKeyCalls(const KeyCase& row, const std::vector<EngineCall>& calls, std::int32_t* pitchRaw,
                   std::int32_t* bankRaw) {
    SCOPED_TRACE(row.name);
    if (row.effect == Effect::None) {
        EXPECT_TRUE(calls.empty()) << Describe(calls);
        return;
    }
    const size_t group = row.effect == Effect::Camera ? 5 : 4;
    ASSERT_FALSE(calls.empty()) << "the key did nothing";
    ASSERT_EQ(calls.size() % group, 0u) << Describe(calls);
    size_t at = 0;
    for (size_t steps = 1; at < calls.size(); ++steps) {
        SCOPED_TRACE("pass " + std::to_string(steps));
        if (row.effect == Effect::Camera) {
            EXPECT_EQ(
                MatchCall(calls[at++], "MoveCamera2 0 0 0 " + std::to_string(row.sign) + " 1"), "");
        }
        const std::uint32_t by = std::uint32_t(row.sign * kStep);
        if (row.effect == Effect::BankStep) *bankRaw = std::int32_t(std::uint32_t(*bankRaw) + by);
        if (row.effect == Effect::PitchStep) {
            *pitchRaw = std::int32_t(std::uint32_t(*pitchRaw) + by);
        }
        const std::string pitch = Number(Degrees(*pitchRaw)), bank = Number(Degrees(*bankRaw));
        EXPECT_EQ(MatchCall(calls[at++], "RotateNode 0 " + pitch + " 0 " + bank), "");
        EXPECT_EQ(MatchCall(calls[at++], "RotateEntity2 3 0 0 " + bank + " 0"), "");
        EXPECT_EQ(MatchCall(calls[at++], "RenderWorld"), "");
        EXPECT_EQ(MatchCall(calls[at++], "FlipBuffers"), "");
    }
}

std::vector<EngineCall> Since(const std::vector<EngineCall>& calls, size_t from) {
    return std::vector<EngineCall>(calls.begin() + std::ptrdiff_t(std::min(from, calls.size())),
                                   calls.end());
}

// Long enough for several 10 ms passes, so that at least one snapshot sees the
// key down even on a loaded machine.
constexpr DWORD kHoldMs = 120;

// Holds a key and returns the calls it caused, once the gauge has finished
// drawing them.
std::vector<EngineCall> CallsOfHeldKey(GaugeRun& run, const Key& key, DWORD holdMs) {
    const size_t before = run.EngineLog().size();
    EXPECT_TRUE(run.HoldKey(key, holdMs));
    EXPECT_TRUE(run.WaitForSettledLog(300, kStepGuardMs)) << Describe(run.EngineLog(), before);
    return Since(run.EngineLog(), before);
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// A top-level window of this test program, to take the foreground from the gauge.
class OtherWindow {
  public:
    OtherWindow() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "GaugeTestOtherWindow";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, wc.lpszClassName, "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  600, 500, 200, 150, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~OtherWindow() {
        if (window_) DestroyWindow(window_);
    }
    HWND Handle() const { return window_; }
    // Keys sent while it is in front land in this thread's queue: keep it empty.
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

  private:
    HWND window_ = nullptr;
};

TEST_F(EngineCallsTest, KeysActByPositionOncePerPassAndOnlyWhileTheGaugeIsInFront) {
    std::string error;
    HWND gauge = StartGauge(EngineBuild::Recording, &error);
    ASSERT_NE(gauge, nullptr) << error;
    ASSERT_TRUE(run.WaitForCalls("FlipBuffers", 1, kStepGuardMs));
    ASSERT_TRUE(GaugeRun::MakeForeground(gauge, kStepGuardMs));
    ASSERT_TRUE(run.WaitForSettledLog(200, kStepGuardMs));

    std::int32_t pitchRaw = 0, bankRaw = 0;
    for (const KeyCase& row : kKeyCases) {
        const std::vector<EngineCall> calls = CallsOfHeldKey(run, row.key, kHoldMs);
        if (row.effect == Effect::BankStep && row.sign > 0 && bankRaw == 0 && !calls.empty()) {
            // The first step of Right from level: exactly -0.8381903171539307
            // degrees, which single precision holds.
            float bank = 0;
            ASSERT_TRUE(ArgFloat(calls[0], 3, &bank)) << Describe(calls[0]);
            EXPECT_EQ(bank, -0.8381903171539307f);
        }
        CheckKeyCalls(row, calls, &pitchRaw, &bankRaw);
    }

    // Another window in front: the gauge reads no key at all.
    OtherWindow other;
    ASSERT_NE(other.Handle(), nullptr);
    ASSERT_TRUE(GaugeRun::MakeForeground(other.Handle(), kStepGuardMs));
    for (const KeyCase& row : kKeyCases) {
        if (row.effect == Effect::None) continue;
        SCOPED_TRACE(std::string(row.name) + " with another window in front");
        EXPECT_TRUE(CallsOfHeldKey(run, row.key, kHoldMs).empty());
        OtherWindow::Pump();
    }
    EXPECT_EQ(GetForegroundWindow(), other.Handle());

    // Back in front, the keys act again.
    ASSERT_TRUE(GaugeRun::MakeForeground(gauge, kStepGuardMs));
    CheckKeyCalls(kKeyCases[0], CallsOfHeldKey(run, kKeyCases[0].key, kHoldMs), &pitchRaw,
                  &bankRaw);
}

} // namespace
