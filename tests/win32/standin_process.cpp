#include "standin_process.h"

#include <cinttypes>
#include <cstdio>

namespace {

constexpr char kReady[] = "simstandin: ready";
constexpr char kStatus[] = "simstandin: exchanges=";

HWND AnyServerWindow() {
    HWND window = FindWindowExA(nullptr, nullptr, "UIPCMAIN", nullptr);
    return window ? window : FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
}

} // namespace

bool NoServerWindow(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (AnyServerWindow()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

StandInProcess::StandInProcess(std::vector<std::string> args) {
    if (!NoServerWindow(5000)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(AnyServerWindow(), &owner);
        error_ = "a server window of process " + std::to_string(owner) +
                 " is still there; it would answer instead of the test's own server";
        return;
    }
    if (!child_.Start("simstandin.exe", args, &error_)) return;
    if (!child_.WaitForLine(kReady, 10000)) {
        error_ = "simstandin.exe did not get ready; its output:\n" + child_.Output();
        child_.Kill();
        return;
    }
    started_ = true;
}

HWND StandInProcess::Window(const char* className) const {
    for (HWND window = FindWindowExA(nullptr, nullptr, className, nullptr); window;
         window = FindWindowExA(nullptr, window, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == child_.Pid()) return window;
    }
    return nullptr;
}

bool StandInProcess::Close(ServerCounts* counts) {
    for (const char* className : {"UIPCMAIN", "FS98MAIN"}) {
        if (HWND window = Window(className)) PostMessageA(window, WM_CLOSE, 0, 0);
    }
    DWORD exitCode = 1;
    if (!child_.WaitForExit(5000, &exitCode)) {
        child_.Kill();
        return false;
    }
    ServerCounts parsed{};
    if (!ParseServerCounts(child_.Output(), &parsed) || exitCode != 0) return false;
    if (counts) *counts = parsed;
    return true;
}

bool ReadServerRecord(const std::string& path, std::vector<RecordEntry>* entries,
                      std::string* error) {
    std::string text;
    if (!ReadWholeFile(path, &text)) {
        *error = path + ": cannot read, error " + std::to_string(GetLastError());
        return false;
    }
    if (!ParseStandInRecord(text, entries, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool ParseServerCounts(const std::string& output, ServerCounts* counts) {
    const size_t at = output.rfind(kStatus);
    if (at == std::string::npos) return false;
    ServerCounts c{};
    const int fields = std::sscanf(output.c_str() + at,
                                   "simstandin: exchanges=%" SCNu64 " reads=%" SCNu64
                                   " writes=%" SCNu64 " malformed=%" SCNu64 " refused=%" SCNu64,
                                   &c.exchanges, &c.reads, &c.writes, &c.malformed, &c.refused);
    if (fields != 5) return false;
    *counts = c;
    return true;
}
