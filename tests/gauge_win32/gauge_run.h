// gauge_run.h - one run of the real horizon.exe for the gauge's driver tests:
// a scratch working directory of its own, the windows the process shows, keys
// injected with SendInput, the client area's pixels read back from the screen,
// and the process's end.
//
// Contract
// - Start() copies horizon.exe, the chosen engine build (always under the name
//   Engine3D.dll) and the gauge archive from this test program's directory into
//   a fresh directory under %TEMP%, and starts the gauge there. With the
//   recording build, HORIZON_ENGINE_LOG names engine.log in that directory, in
//   the child's environment only.
// - The destructor (and Kill()) ends a process that still runs and waits for it;
//   every child also sits in a kill-on-close job, so none outlives this program.
//   Keys still held by an interrupted test are released. The scratch directory
//   is removed.
// - Every wait takes a guard time and returns false when it runs out; the guards
//   are limits for a loaded machine, not expectations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "engine_log.h"
#include "gauge_probe.h"

// The gauge's own texts (Windows-1252 bytes) and names, as a user sees them.
extern const char kStartupCaption[];
extern const char kStartupText[];
extern const char kGaugeTitle[];
extern const char kGaugeClass[];

enum class EngineBuild { Plain, Recording, Missing };

// QueryPerformanceCounter in microseconds: the recording engine's clock.
long long NowMicros();

// Top-level windows of process `pid`, visible or not.
std::vector<HWND> TopLevelWindowsOf(DWORD pid);
std::string WindowTextA(HWND window);
std::wstring WindowTextW(HWND window);
std::string ClassNameOf(HWND window);

// Sends one key transition through SendInput, the way a keyboard does: virtual
// key, set-1 scan code and the E0 (extended) flag. Under Wine 8 this reaches
// the gauge's DirectInput keyboard as it is (no X server or xdotool needed),
// to the foreground window only, and DirectInput numbers the key from the scan
// code and the flag: VK_RIGHT without the flag is the keypad's 6.
struct Key {
    WORD vk;
    WORD scan;
    bool extended;
};
bool SendKey(const Key& key, bool down);

class GaugeRun {
  public:
    GaugeRun() = default;
    GaugeRun(const GaugeRun&) = delete;
    GaugeRun& operator=(const GaugeRun&) = delete;
    ~GaugeRun();

    // Prepares the scratch directory without starting anything, so a test can
    // put files in it first.
    bool Prepare(EngineBuild engine, std::string* error);
    // Prepare() if not done yet, then starts horizon.exe in the directory.
    bool Start(EngineBuild engine, std::string* error);

    const std::string& Dir() const { return dir_; }
    std::string PathOf(const std::string& name) const { return dir_ + "\\" + name; }
    DWORD Pid() const { return info_.dwProcessId; }
    DWORD MainThreadId() const { return info_.dwThreadId; }
    HANDLE Process() const { return info_.hProcess; }
    long long StartedAtMicros() const { return startedAt_; }

    // The visible top-level window of the process with this exact caption.
    HWND FindWindowTitled(const char* caption) const;
    HWND WaitForWindowTitled(const char* caption, DWORD guardMs) const;
    // The gauge window: top level, class HorizonGaugeWindow, title "test".
    HWND GaugeWindow() const;
    HWND WaitForGaugeWindow(DWORD guardMs) const;

    // Brings `window` to the foreground and waits until the system says so.
    static bool MakeForeground(HWND window, DWORD guardMs);
    // Esc on the box as a user would press it, then waits until the box is gone.
    static bool DismissWithEsc(HWND box, DWORD guardMs);

    // Holds `key` down for about holdMs while `window` is the foreground window.
    bool HoldKey(const Key& key, DWORD holdMs);

    bool WaitForExit(DWORD guardMs, DWORD* exitCode);
    bool Running() const;
    void Kill();

    // The recording engine's log so far (complete lines only).
    std::vector<EngineCall> EngineLog() const;
    // Waits until the log holds at least `count` calls named `name`.
    bool WaitForCalls(const char* name, size_t count, DWORD guardMs) const;
    // Waits until the log has not grown for quietMs and, if anything was
    // logged since the call, ends with a presented frame.
    bool WaitForSettledLog(DWORD quietMs, DWORD guardMs) const;
    long long LogSize() const;

    // The whole content of a file in the scratch directory; false if unreadable.
    bool ReadFile(const std::string& name, std::string* bytes) const;

  private:
    std::string dir_;
    std::string logPath_;
    PROCESS_INFORMATION info_{};
    long long startedAt_ = 0;
    std::vector<Key> held_;
};

// gauge_probe.dll hooked onto the gauge's main thread (see gauge_probe.h).
// Unhooked and unmapped by the destructor.
class GaugeProbe {
  public:
    GaugeProbe() = default;
    GaugeProbe(const GaugeProbe&) = delete;
    GaugeProbe& operator=(const GaugeProbe&) = delete;
    ~GaugeProbe();

    bool Attach(const GaugeRun& run, std::string* error);
    // A snapshot of what the probe has written so far.
    GaugeProbeRecord Read() const;

  private:
    HANDLE block_ = nullptr;
    GaugeProbeRecord* view_ = nullptr;
    HMODULE library_ = nullptr;
    HHOOK hook_ = nullptr;
};

// The client area of `window` as the screen shows it: width * height pixels,
// 0x00RRGGBB, top-down. Read from the screen DC at the client's screen origin.
bool CaptureClient(HWND window, int* width, int* height, std::vector<std::uint32_t>* pixels);

// Runs a program from `dir` to its end; false if it did not start or end in time.
bool RunProgram(const std::string& dir, const std::string& commandLine, DWORD guardMs,
                DWORD* exitCode);
