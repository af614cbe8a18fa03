// The Windows build under Wine: Engine3D.dll loaded the way the gauge loads
// it, the same frame bits as the native build, frames presented into a real
// child window and read back from the screen, and the recording build's log.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine_api.h"
#include "engine_frames.h"
#include "reference_scene.h"

namespace {

constexpr int kSize = 400;

std::string TempPath(const char* name) {
    char dir[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

const std::string& Archive() {
    static const std::string path = [] {
        const std::string file = TempPath("engine_window_test.zip");
        WriteReferenceArchive(file);
        return file;
    }();
    return path;
}

void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

// The render surface as the gauge makes it: a STATIC child that paints
// nothing itself and never erases, so only the engine's frames show.
WNDPROC staticProc = nullptr;
LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return CallWindowProcA(staticProc, window, message, wParam, lParam);
}

struct GaugeWindow {
    HWND top = nullptr;
    HWND surface = nullptr;

    GaugeWindow() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = "EngineWindowTest";
        RegisterClassA(&windowClass);
        RECT rect{0, 0, kSize, kSize};
        AdjustWindowRectEx(&rect, WS_CAPTION | WS_SYSMENU, FALSE, 0);
        top = CreateWindowExA(0, "EngineWindowTest", "engine test", WS_CAPTION | WS_SYSMENU, 0, 0,
                              rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
        ShowWindow(top, SW_SHOWNORMAL);
        surface = CreateWindowExA(0, "STATIC", "",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  kSize, kSize, top, nullptr, windowClass.hInstance, nullptr);
        staticProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(surface, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SurfaceProc)));
        UpdateWindow(top);
        Pump(300); // let the X server map the window before anything is drawn
    }
    ~GaugeWindow() {
        DestroyWindow(top);
        Pump(50);
    }

    // The surface's pixels as they are on the screen, through a DIB section.
    Frame ReadBack() const {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kSize;
        info.bmiHeader.biHeight = -kSize;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC screen = GetDC(surface);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, kSize, kSize, screen, 0, 0, SRCCOPY);
        GdiFlush();
        Frame frame;
        frame.width = frame.height = kSize;
        frame.pixels.resize(static_cast<std::size_t>(kSize) * kSize);
        const auto* p = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < frame.pixels.size(); ++i)
            frame.pixels[i] = p[i] & 0xFFFFFFu;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(surface, screen);
        return frame;
    }
};

class EngineDll : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(LoadEngine("Engine3D.dll")) << EngineLoadError(); }
    void TearDown() override {
        if (EngineLoaded()) engine3d.Engine3DShutdown();
        UnloadEngine();
    }
};

TEST_F(EngineDll, LoadsThroughTheLoaderWithEveryExport) {
    EXPECT_EQ(engine3d.Engine3DInterfaceVersion(), ENGINE3D_INTERFACE_VERSION);
    ASSERT_EQ(engine3d.InitEngine3D(), E3D_OK);
    EXPECT_EQ(engine3d.CloseScreen(), E3D_OK);
    UnloadEngine();
    EXPECT_FALSE(LoadEngine("NoSuchEngine3D.dll"));
    EXPECT_NE(std::string(EngineLoadError()).find("file not found"), std::string::npos)
        << EngineLoadError();
    EXPECT_EQ(engine3d.InitEngine3D, nullptr);
}

TEST_F(EngineDll, ProducesTheSameFrameBitsAsTheNativeBuild) {
    BuildReferenceScene(engine3d, Archive(), 128, nullptr);
    PoseReferenceScene(engine3d, 12.5f, -33.0f);
    const std::uint64_t hash = ReferenceFrameHash(engine3d);
    EXPECT_EQ(hash, kReferenceFrameHash) << std::hex << "0x" << hash;
}

TEST_F(EngineDll, FramePresentedInAWindowEqualsTheHeadlessFrame) {
    BuildReferenceScene(engine3d, Archive(), kSize, nullptr);
    PoseReferenceScene(engine3d, -7.0f, 21.0f);
    const Frame headless = CaptureFrame(engine3d);
    engine3d.Engine3DShutdown();

    GaugeWindow window;
    BuildReferenceScene(engine3d, Archive(), kSize, window.surface);
    PoseReferenceScene(engine3d, -7.0f, 21.0f);
    EXPECT_EQ(CaptureFrame(engine3d), headless);
    Pump(100);
    const Frame shown = window.ReadBack();
    DumpFrame(shown, "window_readback");
    int different = 0;
    for (std::size_t i = 0; i < shown.pixels.size(); ++i)
        different += shown.pixels[i] != headless.pixels[i];
    EXPECT_EQ(different, 0);

    // A second pose replaces the whole picture, with nothing of the first left.
    PoseReferenceScene(engine3d, 30.0f, -45.0f);
    const Frame second = CaptureFrame(engine3d);
    Pump(100);
    EXPECT_EQ(window.ReadBack(), second);
    EXPECT_NE(second, headless);

    // A surface that is gone: the frame is still rendered and kept, and
    // FlipBuffers says it could not be shown.
    DestroyWindow(window.surface);
    EXPECT_EQ(engine3d.RenderWorld(), E3D_OK);
    EXPECT_EQ(engine3d.FlipBuffers(), E3D_ERR_IO);
    EXPECT_EQ(CaptureFrame(engine3d), second);
}

TEST(EngineRecordingDll, LogsEachCallWithATimestamp) {
    const std::string log = TempPath("engine_window_test_calls.log");
    std::remove(log.c_str());
    ASSERT_EQ(_putenv(("HORIZON_ENGINE_LOG=" + log).c_str()), 0);
    ASSERT_TRUE(LoadEngine("Engine3DRecording.dll")) << EngineLoadError();
    engine3d.InitEngine3D();
    engine3d.RotateNode(0, -0.8381903171539307f, 0.0f, 0.0f);
    engine3d.RotateEntity2(3, 0.0f, 0.0f, 90.0f, 0);
    engine3d.Add3DArchive("./data_horizon_rouleau.zip", 1);
    engine3d.Engine3DShutdown();
    UnloadEngine();
    std::ifstream file(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line.substr(line.find(' ') + 1));
    const std::vector<std::string> expected = {
        "InitEngine3D", "RotateNode 0 -0.838190317 0 0", "RotateEntity2 3 0 0 90 0",
        "Add3DArchive \"./data_horizon_rouleau.zip\" 1", "Engine3DShutdown"};
    EXPECT_EQ(lines, expected);
    _putenv("HORIZON_ENGINE_LOG=");
}

} // namespace
