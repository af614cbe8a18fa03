// gauge_fixture.h - the fixture of the gauge's driver tests: one GaugeRun per
// test, ended (and its scratch directory removed) whatever the test's outcome.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "gauge_run.h"

// Guards for one step of a gauge run on a loaded machine under Wine; a healthy
// gauge needs a small fraction of each.
constexpr DWORD kStartGuardMs = 20000;
constexpr DWORD kStepGuardMs = 10000;

// The settings file a normal exit leaves for a window whose frame was last at (x, y).
inline std::string SettingsFor(int x, int y) {
    return "[system]\r\nlight = 0\r\nPosWindowX = " + std::to_string(x) +
           "\r\nPosWindowY = " + std::to_string(y) + "\r\n";
}

class GaugeTest : public ::testing::Test {
  protected:
    // Starts the gauge, waits for the start-up box, dismisses it with Esc and
    // waits for the gauge window. On failure returns nullptr with *error set.
    HWND StartGauge(EngineBuild engine, std::string* error) {
        if (!run.Start(engine, error)) return nullptr;
        HWND box = run.WaitForWindowTitled(kStartupCaption, kStartGuardMs);
        if (!box) {
            *error = "the start-up box did not show";
            return nullptr;
        }
        dismissedAt = NowMicros();
        if (!GaugeRun::DismissWithEsc(box, kStepGuardMs)) {
            *error = "Esc did not dismiss the start-up box";
            return nullptr;
        }
        HWND gauge = run.WaitForGaugeWindow(kStepGuardMs);
        if (!gauge) *error = "no gauge window after the start-up box";
        return gauge;
    }

    // Asks the gauge to close as its close box does, waits for the process to
    // end and reads the settings file it left (empty when there is none).
    bool CloseGauge(HWND gauge, DWORD* exitCode, std::string* settings, std::string* error) {
        if (!PostMessageA(gauge, WM_CLOSE, 0, 0)) {
            *error = "PostMessage WM_CLOSE failed";
            return false;
        }
        if (!run.WaitForExit(kStepGuardMs, exitCode)) {
            *error = "still running after WM_CLOSE";
            return false;
        }
        if (!run.ReadFile("Corvelle.ini", settings)) settings->clear();
        return true;
    }

    GaugeRun run;
    long long dismissedAt = 0;
};
