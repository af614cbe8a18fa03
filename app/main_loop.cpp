#include "main_loop.h"

#include "attitude_state.h"
#include "delay.h"
#include "gauge_scene.h"
#include "link_workers.h"
#include "test_keys.h"
#include "window.h"

int32_t drawnPitch;
int32_t drawnBank;

bool MainLoopPass() {
    SupervisePollWorker();
    const int32_t event = FetchEvent();
    if (event == kMoveEvent) GaugeFramePosition(&attitudeState.windowX, &attitudeState.windowY);

    const int32_t bank = attitudeState.bankRaw.load(std::memory_order_relaxed);
    const int32_t pitch = attitudeState.pitchRaw.load(std::memory_order_relaxed);
    if (bank != drawnBank || pitch != drawnPitch) {
        // Taken before drawing: a value the poll worker writes meanwhile differs
        // from these and is drawn by the next pass.
        drawnBank = bank;
        drawnPitch = pitch;
        UpdateGaugePose();
    }
    ApplyTestKeys();
    Delay(10);
    return event != kCloseEvent;
}

void RunMainLoop() {
    while (MainLoopPass()) {}
}
