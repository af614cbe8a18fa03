// window.h - the gauge window, its render surface, the non-blocking event fetch,
// and the modal message box, as the gauge program needs them (Win32 behind it:
// window_win32.cpp).
//
// Contract
// - PlatformInit: window and event machinery, common controls, COM. Once, on
//   the main thread, before anything else here.
// - OpenGaugeWindow: a top-level window, style WS_CAPTION | WS_SYSMENU, no
//   extended style, outer frame at screen (0,0), client area exactly
//   width x height, arrow cursor, button-face background, shown normal and
//   activated. Its WM_MOVE queues MoveEvent (not while it is being created and
//   shown), WM_CLOSE queues CloseEvent without destroying it, WM_COMMAND from a
//   child control queues ControlEvent.
// - FetchEvent never blocks: the oldest queued event's code; else, if a system
//   message is pending, that one message is translated and dispatched and its
//   own number returned; else 0.
// - OpenRenderSurface: a visible "STATIC" child at (0,0) of the client area that
//   paints nothing itself (paint validated, erase swallowed): only the engine's
//   frames show in it.
// - ShowMessageBox: MessageBoxA with MB_OK, modal to the main thread; owner is
//   the foreground window when it belongs to this process, else none; while it
//   is up the thread's other visible top-level windows are disabled and top-most
//   ones lowered, both restored afterwards.
#pragma once

#include <cstdint>

constexpr int32_t kMoveEvent = 13117;
constexpr int32_t kCloseEvent = 13116;
constexpr int32_t kControlEvent = 13100;

bool PlatformInit();
bool OpenGaugeWindow(int clientWidth, int clientHeight, const char* title);
void* GaugeWindowHandle();
void* OpenRenderSurface(int width, int height);
void CloseRenderSurface();
void DestroyGaugeWindow();
int32_t FetchEvent();
// Left and top of the gauge window's outer frame in screen coordinates, now.
void GaugeFramePosition(int32_t* x, int32_t* y);
void ShowMessageBox(const char* caption, const char* text);
