// Figures about the running gauge, not checks: run by hand with
//   gauge_driver_tests.exe --gtest_also_run_disabled_tests --gtest_filter=*Measure*
// Times come from QueryPerformanceCounter, the clock of the recording engine's
// log, so the log's timestamps and this program's compare directly.
#include <windows.h>

#include <cstdio>
#include <string>

#include "gauge_fixture.h"
#include "gauge_run.h"

namespace {

// Processor time as Windows reports it for another process.
long long CpuMicros(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto micros = [](const FILETIME& t) {
        return ((static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10;
    };
    return micros(kernel) + micros(user);
}

bool SameDirectory(const std::string& a, const std::string& b) {
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(h, info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return identify(a, &x) && identify(b, &y) && x.nFileIndexLow == y.nFileIndexLow &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber;
}

// Under Wine, GetProcessTimes of another process lags far behind what Linux
// counts for it (0 to 0.04 s against 0.17 s over the same 10 s here), so the
// figure is also taken from Linux: the process whose working directory is the
// gauge's scratch directory, utime + stime from /proc/<pid>/stat, read through
// Wine's Z: drive. -1 when not under Wine or not found.
long long LinuxCpuMicros(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long long micros = -1;
    do {
        const std::string pid = found.cFileName;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string base = "Z:\\proc\\" + pid;
        if (!SameDirectory(base + "\\cwd", dir)) continue;
        std::string stat;
        HANDLE h = CreateFileA((base + "\\stat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        char buffer[1024];
        DWORD got = 0;
        if (ReadFile(h, buffer, sizeof buffer - 1, &got, nullptr)) stat.assign(buffer, got);
        CloseHandle(h);
        if (stat.find("(horizon.exe)") == std::string::npos) continue;
        // Fields after the command's closing parenthesis: state is field 3,
        // utime and stime fields 14 and 15, in clock ticks of 10 ms.
        unsigned long long utime = 0, stime = 0;
        const char* rest = stat.c_str() + stat.rfind(')') + 2;
        if (std::sscanf(rest, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                        &stime) == 2) {
            micros = static_cast<long long>(utime + stime) * 10000;
        }
        break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return micros;
}

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
    const long long cpuBefore = CpuMicros(run.Process()), wallBefore = NowMicros();
    const long long linuxBefore = LinuxCpuMicros(run.Dir());
    Sleep(10000);
    const long long cpuAfter = CpuMicros(run.Process()), wallAfter = NowMicros();
    const long long linuxAfter = LinuxCpuMicros(run.Dir());
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
