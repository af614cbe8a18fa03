// main_loop.h - one pass of the gauge's main loop, on the main thread:
//   1. SupervisePollWorker
//   2. fetch at most one window event (never waits)
//   3. on MoveEvent, record the frame's position into windowX/windowY
//   4. redraw once if pitchRaw or bankRaw differs from the last drawn values,
//      taking the new last-drawn values before drawing
//   5. ApplyTestKeys
//   6. sleep 10 ms
//   7. report whether the fetched event was CloseEvent (the loop then ends)
#pragma once

#include <cstdint>

extern int32_t drawnPitch;
extern int32_t drawnBank;

// Runs one pass; false when the pass fetched CloseEvent.
bool MainLoopPass();
void RunMainLoop();
