// Figures about the running gauge, not checks: run by hand with
//   gauge_driver_tests.exe --gtest_also_run_disabled_tests --gtest_filter=*Measure*
// Times come from QueryPerformanceCounter, the clock of the recording engine's
// log, so the log's timestamps and this program's compare directly.
#include <windows.h>

#include <cstdio>
#include <string>

#include "gauge_fixture.h"
#include "gauge_run.h"
#include "process_cpu.h"

namespace {

double Ms(long long micros) {
    return double(micros) / 1000.0;
}

long long FirstCall(const std::vector<EngineCall>& calls, const char* name) {
    for (const EngineCall& call : calls) {
        if (call.name == name) return call.micros;
    }
    return -1;
}

using MeasureTest = GaugeTest;

TEST_F(MeasureTest, DISABLED_StartUpTimesAndIdleProcessorUse) {
    std::string error;
    ASSERT_TRUE(run.Start(EngineBuild::Recording, &error)) << error;
    HWND box = run.WaitForWindowTitled(kStartupCaption, kStartGuardMs);
    const long long boxSeen = NowMicros();
    ASSERT_NE(box, nullptr);
    dismissedAt = NowMicros();
    ASSERT_TRUE(GaugeRun::DismissWithEsc(box, kStepGuardMs));
    const long long boxGone = NowMicros();
    HWND gauge = run.WaitForGaugeWindow(kStepGuardMs);
    ASSERT_NE(gauge, nullptr);
    ASSERT_TRUE(run.WaitForCalls("FlipBuffers", 1, kStepGuardMs));
    const std::vector<EngineCall> calls = run.EngineLog();
    const long long init = FirstCall(calls, "InitEngine3D");
    const long long archive = FirstCall(calls, "Add3DArchive");
    const long long flip = FirstCall(calls, "FlipBuffers");

    std::printf("process start -> start-up box seen (5 ms polling): %.1f ms\n",
                Ms(boxSeen - run.StartedAtMicros()));
    std::printf("process start -> InitEngine3D logged: %.1f ms\n",
                Ms(init - run.StartedAtMicros()));
    std::printf("Esc sent -> box destroyed: %.1f ms\n", Ms(boxGone - dismissedAt));
    std::printf("Esc sent -> Add3DArchive logged: %.1f ms\n", Ms(archive - dismissedAt));
    std::printf("Add3DArchive -> first FlipBuffers: %.1f ms\n", Ms(flip - archive));
    std::printf("Esc sent -> first FlipBuffers: %.1f ms\n", Ms(flip - dismissedAt));

    // Idle as a user leaves it: in front, no key, no simulator.
    ASSERT_TRUE(GaugeRun::MakeForeground(gauge, kStepGuardMs));
    ASSERT_TRUE(run.WaitForSettledLog(300, kStepGuardMs));
    const long long logBefore = run.LogSize();
    const long long cpuBefore = ProcessCpuMicros(run.Process()), wallBefore = NowMicros();
    const long long linuxBefore = LinuxCpuMicros(run.Dir(), "horizon.exe");
    Sleep(10000);
    const long long cpuAfter = ProcessCpuMicros(run.Process()), wallAfter = NowMicros();
    const long long linuxAfter = LinuxCpuMicros(run.Dir(), "horizon.exe");
    ASSERT_GE(cpuBefore, 0);
    const double wall = double(wallAfter - wallBefore);
    std::printf("idle %.3f s, GetProcessTimes: %.3f s of processor time = %.2f %% of one core\n",
                wall / 1e6, double(cpuAfter - cpuBefore) / 1e6,
                100.0 * double(cpuAfter - cpuBefore) / wall);
    if (linuxBefore >= 0 && linuxAfter >= 0) {
        std::printf("idle %.3f s, Linux /proc: %.3f s of processor time = %.2f %% of one core\n",
                    wall / 1e6, double(linuxAfter - linuxBefore) / 1e6,
                    100.0 * double(linuxAfter - linuxBefore) / wall);
    }
    // The figure only means something if the gauge really idled.
    EXPECT_EQ(run.LogSize(), logBefore) << "engine calls while idle";
}

} // namespace
