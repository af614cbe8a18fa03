// The gauge as a user first meets it: the start-up box, the gauge window, the
// first frame, and the message when the engine library is missing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gauge_fixture.h"
#include "gauge_run.h"

#include <stb_image.h>

namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    char byte[4];
    for (unsigned char c : bytes) {
        std::snprintf(byte, sizeof byte, "%02X ", c);
        out += byte;
    }
    return out;
}

std::vector<HWND> VisibleChildren(HWND parent, const char* className) {
    std::vector<HWND> found;
    for (HWND child = FindWindowExA(parent, nullptr, className, nullptr); child;
         child = FindWindowExA(parent, child, className, nullptr)) {
        if (IsWindowVisible(child)) found.push_back(child);
    }
    return found;
}

using StartupBoxTest = GaugeTest;

TEST_F(StartupBoxTest, ComesBeforeTheGaugeWindowInFrenchAndEscGoesOnAsOk) {
    // GetWindowTextA hands back the text in this program's code page; the bytes
    // compared below are Windows-1252 only if that page is 1252.
    ASSERT_EQ(GetACP(), 1252u);
    std::string error;
    ASSERT_TRUE(run.Start(EngineBuild::Plain, &error)) << error;
    HWND box = run.WaitForWindowTitled(kStartupCaption, kStartGuardMs);
    ASSERT_NE(box, nullptr) << "no visible window captioned \"" << kStartupCaption << "\"";

    auto gaugeWindows = [&] {
        int count = 0;
        for (HWND window : TopLevelWindowsOf(run.Pid())) {
            count += WindowTextA(window) == kGaugeTitle || ClassNameOf(window) == kGaugeClass;
        }
        return count;
    };
    EXPECT_EQ(gaugeWindows(), 0) << "a gauge window exists while the start-up box is up";

    EXPECT_EQ(ClassNameOf(box), "#32770");
    EXPECT_EQ(WindowTextW(box), L"Pour Tester la jauge :");
    HWND text = GetDlgItem(box, 0xFFFF); // the message text of a system message box
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Hex(WindowTextA(text)), Hex(kStartupText));
    EXPECT_EQ(WindowTextW(text), L"Utilisez les touches de direction pour d\u00E9placer le "
                                 L"rouleau, A et Q pour avancer ou reculer la jauge");
    // MB_OK: one button, OK, and no icon beside the text. The gauge has no
    // window yet, so the box has no owner.
    const std::vector<HWND> buttons = VisibleChildren(box, "Button");
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
    for (HWND picture : VisibleChildren(box, "Static")) {
        if (picture == text) continue;
        // Wine keeps its icon control visible and empty when there is no icon.
        DWORD_PTR icon = 0;
        EXPECT_EQ(GetWindowLongA(picture, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
        ASSERT_TRUE(
            SendMessageTimeoutA(picture, STM_GETICON, 0, 0, SMTO_BLOCK, kStepGuardMs, &icon));
        EXPECT_EQ(icon, 0u) << "the box shows an icon";
    }
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);

    // The main thread waits in the box: nothing else may come up meanwhile.
    Sleep(300);
    EXPECT_EQ(gaugeWindows(), 0) << "a gauge window appeared while the start-up box is up";

    ASSERT_TRUE(GaugeRun::DismissWithEsc(box, kStepGuardMs));
    EXPECT_NE(run.WaitForGaugeWindow(kStepGuardMs), nullptr) << "Esc did not go on as OK";
}

using GaugeWindowTest = GaugeTest;

// What gaugeshot renders at level attitude from the same archive through the
// same scene code is what the gauge must show first.
bool RenderLevelFrame(const GaugeRun& run, std::vector<std::uint32_t>* pixels, std::string* error) {
    if (!CopyFileA(BesideThisProgram("gaugeshot.exe").c_str(), run.PathOf("gaugeshot.exe").c_str(),
                   FALSE)) {
        *error = "cannot copy gaugeshot.exe";
        return false;
    }
    DWORD code = 1;
    if (!RunProgram(run.Dir(), "\"" + run.PathOf("gaugeshot.exe") + "\" -o level.png",
                    kStartGuardMs, &code) ||
        code != 0) {
        *error = "gaugeshot failed, exit code " + std::to_string(code);
        return false;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load(run.PathOf("level.png").c_str(), &width, &height, &channels, 4);
    if (!decoded) {
        *error = std::string("level.png: ") + stbi_failure_reason();
        return false;
    }
    pixels->resize(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels->size(); ++i) {
        const stbi_uc* p = decoded + 4 * i;
        (*pixels)[i] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
    stbi_image_free(decoded);
    if (width != 400 || height != 400) {
        *error = "gaugeshot's frame is " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    return true;
}

TEST_F(GaugeWindowTest, IsAFixedFrameAtTheOriginWhose400x400ClientShowsTheLevelFrame) {
    std::string error;
    ASSERT_TRUE(run.Prepare(EngineBuild::Plain, &error)) << error;
    std::vector<std::uint32_t> reference;
    ASSERT_TRUE(RenderLevelFrame(run, &reference, &error)) << error;
    // A blank reference would match a blank window: the gauge has many colours.
    std::vector<std::uint32_t> colours = reference;
    std::sort(colours.begin(), colours.end());
    ASSERT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 100);

    HWND gauge = StartGauge(EngineBuild::Plain, &error);
    ASSERT_NE(gauge, nullptr) << error;

    EXPECT_EQ(GetParent(gauge), nullptr);
    EXPECT_EQ(GetWindow(gauge, GW_OWNER), nullptr);
    // WS_CAPTION | WS_SYSMENU, shown: no sizing border, no minimise or maximise
    // box, nothing else. The system adds WS_CLIPSIBLINGS to every top-level
    // window itself.
    const DWORD style = static_cast<DWORD>(GetWindowLongA(gauge, GWL_STYLE));
    EXPECT_EQ(style & ~DWORD(WS_CLIPSIBLINGS), DWORD(WS_CAPTION | WS_SYSMENU | WS_VISIBLE))
        << std::hex << style;
    // No extended style of the program's own: CreateWindowEx itself adds
    // WS_EX_WINDOWEDGE to every window whose style has WS_DLGFRAME, which
    // WS_CAPTION includes (Windows and Wine alike).
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(gauge, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & ~DWORD(WS_EX_WINDOWEDGE), 0u) << std::hex << exStyle;

    RECT client{};
    ASSERT_TRUE(GetClientRect(gauge, &client));
    EXPECT_EQ(client.right - client.left, 400);
    EXPECT_EQ(client.bottom - client.top, 400);
    RECT frame{};
    ASSERT_TRUE(GetWindowRect(gauge, &frame));
    EXPECT_EQ(frame.left, 0);
    EXPECT_EQ(frame.top, 0);
    // The frame is what AdjustWindowRectEx gives for that style around 400 x 400.
    RECT expected{0, 0, 400, 400};
    AdjustWindowRectEx(&expected, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    EXPECT_EQ(frame.right - frame.left, expected.right - expected.left);
    EXPECT_EQ(frame.bottom - frame.top, expected.bottom - expected.top);

    // The render surface: the window's one child, covering the client area. The
    // window is shown before the surface is made.
    HWND surface = nullptr;
    for (const ULONGLONG end = GetTickCount64() + kStepGuardMs;
         !(surface = FindWindowExA(gauge, nullptr, nullptr, nullptr)) && GetTickCount64() < end;) {
        Sleep(5);
    }
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(FindWindowExA(gauge, surface, nullptr, nullptr), nullptr) << "more than one child";
    EXPECT_EQ(ClassNameOf(surface), "Static");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(surface, GWL_STYLE)),
              DWORD(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
    RECT area{};
    ASSERT_TRUE(GetWindowRect(surface, &area));
    MapWindowPoints(nullptr, gauge, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right, 400);
    EXPECT_EQ(area.bottom, 400);

    // The class is read from inside the gauge: Wine answers GetClassLongPtr for
    // another process's window with ERROR_INVALID_HANDLE.
    GaugeProbe probe;
    ASSERT_TRUE(probe.Attach(run, &error)) << error;
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(gauge, WM_NULL, 0, 0, SMTO_BLOCK, kStepGuardMs, &answer));
    const GaugeProbeRecord seen = probe.Read();
    ASSERT_TRUE(seen.classSeen) << "the probe was not called for the gauge window";
    EXPECT_TRUE(seen.cursorIsArrow);
    EXPECT_TRUE(seen.backgroundIsButtonFace);

    // The first frame follows the window by the scene build; read until it is
    // there or the guard runs out, and judge the last reading.
    std::vector<std::uint32_t> shown;
    int w = 0, h = 0;
    const ULONGLONG end = GetTickCount64() + kStepGuardMs;
    do {
        Sleep(50);
        ASSERT_TRUE(CaptureClient(gauge, &w, &h, &shown));
    } while (shown != reference && GetTickCount64() < end);
    ASSERT_EQ(w, 400);
    ASSERT_EQ(h, 400);
    int worst = 0;
    size_t differing = 0, worstAt = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        int d = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            d = std::max(
                d, std::abs(int(shown[i] >> shift & 0xFF) - int(reference[i] >> shift & 0xFF)));
        }
        differing += d != 0;
        if (d > worst) worst = d, worstAt = i;
    }
    EXPECT_EQ(differing, 0u) << "largest channel difference " << worst << " at (" << worstAt % 400
                             << ", " << worstAt / 400 << ")";
}

using MissingEngineTest = GaugeTest;

TEST_F(MissingEngineTest, SaysWhichLibraryIsMissingAndEndsCleanly) {
    std::string error;
    ASSERT_TRUE(run.Start(EngineBuild::Missing, &error)) << error;
    HWND box = run.WaitForWindowTitled("Horizon - Engine3D.dll", kStartGuardMs);
    ASSERT_NE(box, nullptr) << "no message captioned \"Horizon - Engine3D.dll\"";
    HWND text = GetDlgItem(box, 0xFFFF);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(WindowTextA(text).find("Engine3D.dll"), std::string::npos) << WindowTextA(text);
    EXPECT_EQ(run.FindWindowTitled(kStartupCaption), nullptr);
    ASSERT_TRUE(GaugeRun::DismissWithEsc(box, kStepGuardMs));
    DWORD code = 1;
    // No start-up box and no gauge window on the way out.
    const ULONGLONG end = GetTickCount64() + kStepGuardMs;
    while (run.Running() && GetTickCount64() < end) {
        EXPECT_EQ(run.FindWindowTitled(kStartupCaption), nullptr);
        EXPECT_EQ(run.GaugeWindow(), nullptr);
        Sleep(5);
    }
    ASSERT_TRUE(run.WaitForExit(0, &code)) << "still running after the message was dismissed";
    EXPECT_EQ(code, 0u);
}

} // namespace
