// gauge_main.h - the gauge program from start-up to shutdown. Returns the exit
// code, which is 0 on every path.
//
// Start-up: platform, linkLock, ConnectWorker, cameraDistance, the engine
// (loaded and initialised; without it a message box names the library and what
// is wrong, and the program ends), the keyboard, the start-up message box, the
// archive, the gauge window, the render screen, the scene with its first frame,
// then the main loop until the window is closed.
// Shutdown: settings saved while the window is still shown; the workers are
// neither stopped nor joined and nothing they use is released; render screen
// closed, keyboard released, window destroyed, engine library unloaded last.
#pragma once

extern const char kEngineLibrary[];
extern const char kStartupCaption[];
extern const char kStartupText[];

int GaugeMain();
