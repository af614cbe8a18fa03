#include "gauge_main.h"

#include <cstdio>

#include "engine_api.h"
#include "gauge_scene.h"
#include "keyboard.h"
#include "link_workers.h"
#include "main_loop.h"
#include "settings.h"
#include "threads.h"
#include "window.h"

#ifdef _WIN32
const char kEngineLibrary[] = "Engine3D.dll";
#else
const char kEngineLibrary[] = "libEngine3D.so";
#endif

// Single-line Windows-1252 texts: the é is the byte 0xE9.
const char kStartupCaption[] = "Pour Tester la jauge :";
const char kStartupText[] = "Utilisez les touches de direction pour d\xE9placer le rouleau, A et Q "
                            "pour avancer ou reculer la jauge";

namespace {

constexpr int kSize = 400;

// Without an engine there is nothing to look at: say which file and why, then end.
int EndWithoutEngine(const char* reason) {
    char text[768];
    std::snprintf(text, sizeof text,
                  "The gauge cannot start: its 3D engine library is not usable.\r\n\r\n%s\r\n\r\n"
                  "Put the Engine3D.dll that came with horizon.exe in the same folder.",
                  reason);
    ShowMessageBox("Horizon - Engine3D.dll", text);
    return 0;
}

} // namespace

int GaugeMain() {
    PlatformInit();
    CreateLinkLock();
    StartThread(ConnectWorker); // a failed start leaves the link down for good
    cameraDistance = kCameraStartDistance;

    if (!LoadEngine(kEngineLibrary)) return EndWithoutEngine(EngineLoadError());
    if (engine3d.InitEngine3D() != 0) {
        char reason[512];
        std::snprintf(reason, sizeof reason, "%s: the engine did not start (%s)", kEngineLibrary,
                      engine3d.Engine3DLastError());
        UnloadEngine();
        return EndWithoutEngine(reason);
    }
    OpenKeyboard();
    ShowMessageBox(kStartupCaption, kStartupText);
    AddGaugeArchive();
    OpenGaugeWindow(kSize, kSize, "test");
    engine3d.CloseScreen();
    void* surface = OpenRenderSurface(kSize, kSize);
    engine3d.OpenScreen(kSize, kSize, 32, "", 0, surface, 0, 1);
    BuildGaugeScene();

    RunMainLoop();

    SaveSettings();
    engine3d.CloseScreen();
    CloseRenderSurface();
    ReleaseKeyboard();
    DestroyGaugeWindow();
    UnloadEngine();
    return 0;
}
