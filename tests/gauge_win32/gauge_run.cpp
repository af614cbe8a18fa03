#include "gauge_run.h"

#include <cstring>

const char kStartupCaption[] = "Pour Tester la jauge :";
const char kStartupText[] = "Utilisez les touches de direction pour d\xE9placer le rouleau, A et Q "
                            "pour avancer ou reculer la jauge";
const char kGaugeTitle[] = "test";
const char kGaugeClass[] = "HorizonGaugeWindow";

namespace {

constexpr DWORD kPollMs = 5;

std::string LastError(const std::string& what) {
    return what + " failed, error " + std::to_string(GetLastError());
}

// The current environment without HORIZON_ENGINE_LOG, plus `extra` if given, as
// a CreateProcess environment block.
std::string ChildEnvironment(const std::string& extra) {
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* p = strings; p && *p; p += std::strlen(p) + 1) {
        if (_strnicmp(p, "HORIZON_ENGINE_LOG=", 19) == 0) continue;
        block.append(p, std::strlen(p) + 1);
    }
    if (strings) FreeEnvironmentStringsA(strings);
    if (!extra.empty()) block.append(extra.c_str(), extra.size() + 1);
    block.push_back('\0');
    return block;
}

bool StartInJob(const std::string& application, std::string commandLine, const char* environment,
                const std::string& dir, PROCESS_INFORMATION* info, std::string* error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(application.empty() ? nullptr : application.c_str(), commandLine.data(),
                        nullptr, nullptr, FALSE, CREATE_SUSPENDED, const_cast<char*>(environment),
                        dir.c_str(), &startup, info)) {
        *error = LastError("CreateProcess of " + commandLine);
        *info = {};
        return false;
    }
    AssignProcessToJobObject(TestChildJob(), info->hProcess);
    ResumeThread(info->hThread);
    return true;
}

void RemoveDirectoryTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

} // namespace

long long NowMicros() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    const long long ticks = counter.QuadPart, perSecond = frequency.QuadPart;
    return (ticks / perSecond) * 1000000 + (ticks % perSecond) * 1000000 / perSecond;
}

namespace {
struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid) search->found.push_back(window);
    return TRUE;
}
} // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowTextA(HWND window) {
    char text[1024];
    const int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? size_t(length) : 0);
}

std::wstring WindowTextW(HWND window) {
    wchar_t text[1024];
    const int length = GetWindowTextW(window, text, 1024);
    return std::wstring(text, length > 0 ? size_t(length) : 0);
}

std::string ClassNameOf(HWND window) {
    char name[256];
    const int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? size_t(length) : 0);
}

bool SendKey(const Key& key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.vk;
    input.ki.wScan = key.scan;
    input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0u) | (down ? 0u : KEYEVENTF_KEYUP);
    return SendInput(1, &input, sizeof input) == 1;
}

GaugeRun::~GaugeRun() {
    Kill();
    if (info_.hProcess) CloseHandle(info_.hProcess);
    if (info_.hThread) CloseHandle(info_.hThread);
    if (!dir_.empty()) RemoveDirectoryTree(dir_);
}

bool GaugeRun::Prepare(EngineBuild engine, std::string* error) {
    if (!dir_.empty()) return true;
    static int serial = 0;
    char temp[MAX_PATH];
    if (!GetTempPathA(sizeof temp, temp)) {
        *error = LastError("GetTempPath");
        return false;
    }
    const std::string dir = std::string(temp) + "horizon_gauge_" +
                            std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    RemoveDirectoryTree(dir); // a leftover of an earlier program with the same id
    if (!CreateDirectoryA(dir.c_str(), nullptr)) {
        *error = LastError("CreateDirectory " + dir);
        return false;
    }
    dir_ = dir;
    std::vector<std::pair<std::string, std::string>> copies = {
        {"horizon.exe", "horizon.exe"}, {"data_horizon_rouleau.zip", "data_horizon_rouleau.zip"}};
    if (engine == EngineBuild::Plain) copies.push_back({"Engine3D.dll", "Engine3D.dll"});
    if (engine == EngineBuild::Recording) {
        copies.push_back({"Engine3DRecording.dll", "Engine3D.dll"});
        logPath_ = PathOf("engine.log");
    }
    for (const auto& [from, to] : copies) {
        if (!CopyFileA(BesideThisProgram(from).c_str(), PathOf(to).c_str(), FALSE)) {
            *error = LastError("CopyFile " + BesideThisProgram(from));
            return false;
        }
    }
    return true;
}

bool GaugeRun::Start(EngineBuild engine, std::string* error) {
    if (!Prepare(engine, error)) return false;
    const std::string environment =
        ChildEnvironment(logPath_.empty() ? "" : "HORIZON_ENGINE_LOG=" + logPath_);
    startedAt_ = NowMicros();
    return StartInJob(PathOf("horizon.exe"), "horizon.exe", environment.data(), dir_, &info_,
                      error);
}

HWND GaugeRun::FindWindowTitled(const char* caption) const {
    for (HWND window : TopLevelWindowsOf(Pid())) {
        if (IsWindowVisible(window) && WindowTextA(window) == caption) return window;
    }
    return nullptr;
}

HWND GaugeRun::WaitForWindowTitled(const char* caption, DWORD guardMs) const {
    const ULONGLONG end = GetTickCount64() + guardMs;
    for (;;) {
        if (HWND window = FindWindowTitled(caption)) return window;
        if (GetTickCount64() > end || !Running()) return nullptr;
        Sleep(kPollMs);
    }
}

HWND GaugeRun::GaugeWindow() const {
    for (HWND window : TopLevelWindowsOf(Pid())) {
        if (ClassNameOf(window) == kGaugeClass && WindowTextA(window) == kGaugeTitle) {
            return window;
        }
    }
    return nullptr;
}

HWND GaugeRun::WaitForGaugeWindow(DWORD guardMs) const {
    const ULONGLONG end = GetTickCount64() + guardMs;
    for (;;) {
        HWND window = GaugeWindow();
        if (window && IsWindowVisible(window)) return window;
        if (GetTickCount64() > end || !Running()) return nullptr;
        Sleep(kPollMs);
    }
}

bool GaugeRun::MakeForeground(HWND window, DWORD guardMs) {
    const ULONGLONG end = GetTickCount64() + guardMs;
    for (;;) {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        if (GetTickCount64() > end || !IsWindow(window)) return false;
        Sleep(20);
    }
}

bool GaugeRun::DismissWithEsc(HWND box, DWORD guardMs) {
    if (!MakeForeground(box, guardMs)) return false;
    const Key esc{VK_ESCAPE, 0x01, false};
    if (!SendKey(esc, true) || !SendKey(esc, false)) return false;
    const ULONGLONG end = GetTickCount64() + guardMs;
    while (IsWindow(box)) {
        if (GetTickCount64() > end) return false;
        Sleep(kPollMs);
    }
    return true;
}

bool GaugeRun::HoldKey(const Key& key, DWORD holdMs) {
    if (!SendKey(key, true)) return false;
    held_.push_back(key);
    Sleep(holdMs);
    held_.pop_back();
    return SendKey(key, false);
}

bool GaugeRun::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool GaugeRun::WaitForExit(DWORD guardMs, DWORD* exitCode) {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, guardMs) != WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(info_.hProcess, exitCode) != 0;
}

void GaugeRun::Kill() {
    // A test that failed in the middle of a key press must not leave the key
    // down for the tests after it.
    for (const Key& key : held_)
        SendKey(key, false);
    held_.clear();
    if (Running()) {
        TerminateProcess(info_.hProcess, 0xDEAD);
        WaitForSingleObject(info_.hProcess, 10000);
    }
}

std::vector<EngineCall> GaugeRun::EngineLog() const {
    std::string text;
    if (logPath_.empty() || !ReadWholeFile(logPath_, &text)) return {};
    return ParseEngineLog(text);
}

long long GaugeRun::LogSize() const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (logPath_.empty() || !GetFileAttributesExA(logPath_.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool GaugeRun::WaitForCalls(const char* name, size_t count, DWORD guardMs) const {
    const ULONGLONG end = GetTickCount64() + guardMs;
    for (;;) {
        size_t seen = 0;
        for (const EngineCall& call : EngineLog())
            seen += call.name == name;
        if (seen >= count) return true;
        if (GetTickCount64() > end) return false;
        Sleep(kPollMs);
    }
}

bool GaugeRun::WaitForSettledLog(DWORD quietMs, DWORD guardMs) const {
    const ULONGLONG end = GetTickCount64() + guardMs;
    const long long start = LogSize();
    long long size = start;
    ULONGLONG since = GetTickCount64();
    for (;;) {
        Sleep(kPollMs);
        const long long now = LogSize();
        if (now != size) {
            size = now;
            since = GetTickCount64();
        } else if (GetTickCount64() - since >= quietMs) {
            // A slow render can outlast the quiet time: wait for its frame.
            const std::vector<EngineCall> calls = EngineLog();
            if (size == start || (!calls.empty() && calls.back().name == "FlipBuffers")) {
                return true;
            }
        }
        if (GetTickCount64() > end) return false;
    }
}

bool GaugeRun::ReadFile(const std::string& name, std::string* bytes) const {
    return ReadWholeFile(PathOf(name), bytes);
}

GaugeProbe::~GaugeProbe() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (library_) FreeLibrary(library_);
    if (view_) UnmapViewOfFile(view_);
    if (block_) CloseHandle(block_);
}

bool GaugeProbe::Attach(const GaugeRun& run, std::string* error) {
    char name[64];
    GaugeProbeBlockName(run.Pid(), name, sizeof name);
    block_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                sizeof(GaugeProbeRecord), name);
    if (!block_) {
        *error = LastError("CreateFileMapping " + std::string(name));
        return false;
    }
    view_ = static_cast<GaugeProbeRecord*>(
        MapViewOfFile(block_, FILE_MAP_READ, 0, 0, sizeof(GaugeProbeRecord)));
    library_ = LoadLibraryA(BesideThisProgram("gauge_probe.dll").c_str());
    if (!view_ || !library_) {
        *error = LastError("mapping the probe block or loading gauge_probe.dll");
        return false;
    }
    auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(library_, GAUGE_PROBE_HOOK)));
    hook_ = hook ? SetWindowsHookExA(WH_CALLWNDPROC, hook, library_, run.MainThreadId()) : nullptr;
    if (!hook_) {
        *error = LastError("SetWindowsHookEx of the probe");
        return false;
    }
    return true;
}

GaugeProbeRecord GaugeProbe::Read() const {
    GaugeProbeRecord copy{};
    if (view_) std::memcpy(&copy, view_, sizeof copy);
    return copy;
}

bool CaptureClient(HWND window, int* width, int* height, std::vector<std::uint32_t>* pixels) {
    RECT client{};
    POINT origin{0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return false;
    const int w = client.right - client.left, h = client.bottom - client.top;
    if (w <= 0 || h <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY) != 0;
        GdiFlush();
        if (ok) {
            const auto* p = static_cast<const std::uint32_t*>(bits);
            pixels->assign(p, p + size_t(w) * size_t(h));
            for (std::uint32_t& pixel : *pixels)
                pixel &= 0x00FFFFFFu;
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    *width = w;
    *height = h;
    return ok;
}

bool RunProgram(const std::string& dir, const std::string& commandLine, DWORD guardMs,
                DWORD* exitCode) {
    PROCESS_INFORMATION info{};
    std::string error;
    if (!StartInJob("", commandLine, nullptr, dir, &info, &error)) return false;
    const bool ended = WaitForSingleObject(info.hProcess, guardMs) == WAIT_OBJECT_0;
    if (ended) {
        GetExitCodeProcess(info.hProcess, exitCode);
    } else {
        TerminateProcess(info.hProcess, 0xDEAD);
        WaitForSingleObject(info.hProcess, 10000);
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return ended;
}
