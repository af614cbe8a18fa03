// Closing the gauge: exit code, the settings file and the order of shutdown.
#include <windows.h>

#include <string>
#include <vector>

#include "gauge_fixture.h"
#include "gauge_run.h"

namespace {

using CloseTest = GaugeTest;

TEST_F(CloseTest, SavesWhileTheWindowIsShownThenClosesTheScreenAndExitsWithZero) {
    std::string error;
    HWND gauge = StartGauge(EngineBuild::Recording, &error);
    ASSERT_NE(gauge, nullptr) << error;
    GaugeProbe probe;
    ASSERT_TRUE(probe.Attach(run, &error)) << error;
    ASSERT_TRUE(run.WaitForCalls("FlipBuffers", 1, kStepGuardMs)) << Describe(run.EngineLog());
    ASSERT_TRUE(run.WaitForSettledLog(300, kStepGuardMs));
    const size_t before = run.EngineLog().size();

    DWORD code = 1;
    std::string settings;
    ASSERT_TRUE(CloseGauge(gauge, &code, &settings, &error)) << error;
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(settings, SettingsFor(0, 0));
    EXPECT_EQ(settings.size(), 53u);

    // At shutdown the engine only closes its screen.
    const std::vector<EngineCall> calls = run.EngineLog();
    ASSERT_EQ(calls.size(), before + 1) << Describe(calls, before);
    EXPECT_EQ(MatchCall(calls.back(), "CloseScreen"), "");

    // Seen from inside the gauge as its window started to go away: the settings
    // were already complete, the window still shown, the screen already closed.
    const GaugeProbeRecord seen = probe.Read();
    ASSERT_TRUE(seen.goneSeen) << "the probe saw no hide or destroy of the gauge window";
    EXPECT_TRUE(seen.visibleWhenGoing);
    ASSERT_GE(seen.settingsSize, 0) << "no Corvelle.ini when the window went";
    EXPECT_EQ(std::string(seen.settings, size_t(seen.settingsSize)), SettingsFor(0, 0));
    std::string log;
    ASSERT_TRUE(run.ReadFile("engine.log", &log));
    ASSERT_GT(seen.engineLogSize, 0);
    ASSERT_LE(seen.engineLogSize, (long long)log.size());
    const std::vector<EngineCall> untilGone =
        ParseEngineLog(log.substr(0, size_t(seen.engineLogSize)));
    EXPECT_EQ(untilGone.size(), calls.size()) << "engine calls after the window went:\n"
                                              << Describe(calls, untilGone.size());
}

struct MoveCase {
    const char* name;
    std::vector<POINT> moves;
};

class MovedCloseTest : public GaugeTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MovedCloseTest, SavesTheLastFramePositionWithItsSign) {
    std::string error;
    HWND gauge = StartGauge(EngineBuild::Plain, &error);
    ASSERT_NE(gauge, nullptr) << error;
    for (const POINT& to : GetParam().moves) {
        ASSERT_TRUE(SetWindowPos(gauge, nullptr, to.x, to.y, 0, 0,
                                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
        RECT frame{};
        const ULONGLONG end = GetTickCount64() + kStepGuardMs;
        while (GetWindowRect(gauge, &frame) && (frame.left != to.x || frame.top != to.y) &&
               GetTickCount64() < end) {
            Sleep(5);
        }
        ASSERT_EQ(frame.left, to.x);
        ASSERT_EQ(frame.top, to.y);
        Sleep(100); // some passes of the loop, one of which takes the move
    }
    DWORD code = 1;
    std::string settings;
    ASSERT_TRUE(CloseGauge(gauge, &code, &settings, &error)) << error;
    EXPECT_EQ(code, 0u);
    const POINT last = GetParam().moves.back();
    EXPECT_EQ(settings, SettingsFor(last.x, last.y));
}

INSTANTIATE_TEST_SUITE_P(Moves, MovedCloseTest,
                         ::testing::Values(MoveCase{"PastTheTopLeftEdge", {{-30, -20}}},
                                           MoveCase{"OutAndBack", {{-30, -20}, {120, 80}}}),
                         [](const auto& row) { return std::string(row.param.name); });

// The settings file cannot be written: the gauge leaves what is there as it is,
// says nothing and still exits with 0.
enum class Blocked { ReadOnly, HeldWithoutWriteSharing };

struct BlockedCase {
    const char* name;
    Blocked how;
};

class BlockedSettingsTest : public GaugeTest, public ::testing::WithParamInterface<BlockedCase> {
  protected:
    void TearDown() override {
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    }
    HANDLE holder = INVALID_HANDLE_VALUE;
};

TEST_P(BlockedSettingsTest, LeavesTheFileAloneAndStillExitsWithZero) {
    std::string error;
    ASSERT_TRUE(run.Prepare(EngineBuild::Plain, &error)) << error;
    const std::string mine = "[system]\r\nPosWindowX = 77\r\n; the user's own\r\n";
    const std::string path = run.PathOf("Corvelle.ini");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, mine.data(), DWORD(mine.size()), &written, nullptr);
    CloseHandle(file);
    if (GetParam().how == Blocked::ReadOnly) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        // Wine keeps the attribute as the file's Unix mode; a Wine running as
        // root opens such a file for writing all the same, and then there is
        // nothing to test.
        HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            GTEST_SKIP() << "this system lets a read-only file be opened for writing "
                            "(Wine running as root)";
        }
    }
    if (GetParam().how == Blocked::HeldWithoutWriteSharing) {
        holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }

    HWND gauge = StartGauge(EngineBuild::Plain, &error);
    ASSERT_NE(gauge, nullptr) << error;
    DWORD code = 1;
    std::string settings;
    ASSERT_TRUE(CloseGauge(gauge, &code, &settings, &error)) << error;
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(settings, mine);
    if (GetParam().how == Blocked::ReadOnly) {
        EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, BlockedSettingsTest,
                         ::testing::Values(BlockedCase{"ReadOnly", Blocked::ReadOnly},
                                           BlockedCase{"HeldWithoutWriteSharing",
                                                       Blocked::HeldWithoutWriteSharing}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
