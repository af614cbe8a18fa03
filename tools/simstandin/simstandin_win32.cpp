// simstandin.exe - a real IPC server process standing in for the flight simulator:
// the window(s), the registered message, the named blocks, and the process's life.
// What is done with a batch is standin_server.cpp.
#include <windows.h>

#include <cstdio>
#include <string>

#include "delay.h"
#include "standin_record.h"
#include "standin_server.h"

namespace {

constexpr char kMessageName[] = "FsasmLib:IPC";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 100;

StandIn standIn;
UINT ipcMessage;
HWND windows[2];
int windowCount;
HANDLE quitEvent; // set by Ctrl+C and the like, so that a hung message ends too
long long startMicros;
bool quitting;
uint32_t secondsReported;
// --record: written line by line through the system, with no buffer of ours, so
// that a reader sees every line at once and a killed server loses none.
HANDLE recordFile = INVALID_HANDLE_VALUE;
DWORD recordError; // the first failed write's error, 0 while none failed

long long NowMicros() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return MicrosFromTicks(counter.QuadPart, frequency.QuadPart);
}

double Elapsed() {
    return double(NowMicros() - startMicros) / 1e6;
}

void Record(const std::string& lines) {
    if (recordFile == INVALID_HANDLE_VALUE || lines.empty()) return;
    DWORD written = 0;
    const BOOL ok = WriteFile(recordFile, lines.data(), DWORD(lines.size()), &written, nullptr);
    if ((!ok || written != lines.size()) && recordError == 0) {
        recordError = ok ? ERROR_WRITE_FAULT : GetLastError();
    }
}

// Tests and scripts read these lines through a pipe: each goes out whole and at once.
void PrintLine(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void Quit() {
    if (quitting) return;
    quitting = true;
    PostQuitMessage(0);
}

bool DeadlinePassed() {
    const uint32_t seconds = standIn.options.seconds;
    return seconds != 0 && Elapsed() >= double(seconds);
}

// --hang: the message is taken and never answered, and the thread stops pumping, so
// every later message waits in the queue until its sender's time-out. Only the
// quit event or the deadline ends the wait, and then the process ends at once,
// still without answering: a reply of any value would be an answer.
void Hang() {
    PrintLine("simstandin: hanging");
    DWORD wait = INFINITE;
    if (standIn.options.seconds != 0) {
        const double left = double(standIn.options.seconds) - Elapsed();
        wait = left > 0 ? DWORD(left * 1000.0) + 1 : 0;
    }
    WaitForSingleObject(quitEvent, wait);
    PrintLine(StatusLine(standIn.counters, Elapsed()));
    ExitProcess(0);
}

uint32_t ServeNamedBlock(WPARAM wParam, long long elapsedMicros, ServeStats* served) {
    if (wParam == 0 || wParam > 0xFFFF) return RefuseMessage(&standIn);
    char name[256];
    if (GlobalGetAtomNameA(ATOM(wParam), name, sizeof name) == 0) return RefuseMessage(&standIn);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return RefuseMessage(&standIn);
    auto* view =
        static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    uint32_t reply = 0;
    MEMORY_BASIC_INFORMATION region{};
    // The block's creator chose its size: a short mapping must not be walked as if
    // it held a whole block.
    if (view && VirtualQuery(view, &region, sizeof region) == sizeof region) {
        reply = ServeMessage(&standIn, view, region.RegionSize, elapsedMicros, served);
    } else {
        reply = RefuseMessage(&standIn);
    }
    if (view) UnmapViewOfFile(view);
    CloseHandle(mapping);
    return reply;
}

LRESULT HandleIpcMessage(WPARAM wParam) {
    const long long received = NowMicros();
    if (FaultsDue(standIn)) {
        if (standIn.options.hang) Hang();
        if (standIn.options.delayMs) Delay(standIn.options.delayMs);
    }
    // The attitude served is the one of the moment the message came in, the moment
    // its record line names.
    const long long elapsed = received - startMicros;
    Record(TakeChangeLines(&standIn, startMicros, elapsed));
    ServeStats served{};
    const uint32_t reply = ServeNamedBlock(wParam, elapsed, &served);
    Record(ExchangeLine(received, served.bytes, served.reads, served.writes, reply));
    const uint32_t quitAfter = standIn.options.quitAfter;
    if ((quitAfter != 0 && standIn.counters.exchanges >= quitAfter) || DeadlinePassed()) Quit();
    return LRESULT(reply);
}

void Tick() {
    // Steps are recorded as they begin, also while no client asks for them.
    Record(TakeChangeLines(&standIn, startMicros, NowMicros() - startMicros));
    if (DeadlinePassed()) {
        Quit(); // the status line at exit follows at once
        return;
    }
    if (standIn.options.verbose && Elapsed() >= double(secondsReported + 1)) {
        ++secondsReported;
        PrintLine(StatusLine(standIn.counters, Elapsed()));
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ipcMessage && ipcMessage != 0) return HandleIpcMessage(wParam);
    switch (message) {
    case WM_TIMER:
        if (wParam == kTickTimer) Tick();
        return 0;
    case WM_DESTROY:
        Quit();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

BOOL WINAPI ConsoleHandler(DWORD) {
    SetEvent(quitEvent);
    if (windows[0]) PostMessageA(windows[0], WM_CLOSE, 0, 0);
    return TRUE;
}

bool CreateServerWindow(const char* className) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (FindWindowExA(nullptr, nullptr, className, nullptr)) {
        std::fprintf(stderr,
                     "simstandin: warning: a window of class %s exists already; clients may "
                     "reach it instead of this one\n",
                     className);
    }
    HWND window = nullptr;
    if (RegisterClassA(&windowClass)) {
        window = CreateWindowExA(0, className, "simstandin", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, instance, nullptr);
    }
    if (!window) {
        std::fprintf(stderr, "simstandin: cannot create a window of class %s (error %lu)\n",
                     className, GetLastError());
        return false;
    }
    windows[windowCount++] = window;
    return true;
}

const char* ClassesText(ServerClasses classes) {
    switch (classes) {
    case ServerClasses::Fallback:
        return "FS98MAIN";
    case ServerClasses::Both:
        return "UIPCMAIN,FS98MAIN";
    case ServerClasses::Primary:
        break;
    }
    return "UIPCMAIN";
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!ParseStandInOptions(argc, argv, &standIn.options, &error)) {
        std::fprintf(stderr, "simstandin: %s\n", error.c_str());
        return 2;
    }
    const StandInOptions& options = standIn.options;
    if (options.help) {
        std::fputs(StandInUsage(), stdout);
        return 0;
    }
    if (options.attitude == AttitudeMode::Csv &&
        !LoadAttitudeCsv(options.csvPath, &standIn.track, &error)) {
        std::fprintf(stderr, "simstandin: %s\n", error.c_str());
        return 2;
    }
    if (!options.recordPath.empty()) {
        recordFile = CreateFileA(options.recordPath.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (recordFile == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "simstandin: --record %s: cannot create the file (error %lu)\n",
                         options.recordPath.c_str(), GetLastError());
            return 2;
        }
    }

    ipcMessage = RegisterWindowMessageA(kMessageName);
    if (ipcMessage == 0) {
        std::fprintf(stderr, "simstandin: cannot register the message %s (error %lu)\n",
                     kMessageName, GetLastError());
        return 1;
    }
    quitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const bool primary = options.classes != ServerClasses::Fallback;
    const bool fallback = options.classes != ServerClasses::Primary;
    if (!quitEvent || (primary && !CreateServerWindow("UIPCMAIN")) ||
        (fallback && !CreateServerWindow("FS98MAIN"))) {
        return 1;
    }
    SetConsoleCtrlHandler(ConsoleHandler, TRUE);
    startMicros = NowMicros();
    SetTimer(windows[0], kTickTimer, kTickMs, nullptr);
    PrintLine(std::string("simstandin: ready class=") + ClassesText(options.classes) +
              " pid=" + std::to_string(GetCurrentProcessId()));

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    PrintLine(StatusLine(standIn.counters, Elapsed()));
    KillTimer(windows[0], kTickTimer);
    for (int i = 0; i < windowCount; ++i) {
        if (IsWindow(windows[i])) DestroyWindow(windows[i]);
    }
    SetConsoleCtrlHandler(ConsoleHandler, FALSE);
    CloseHandle(quitEvent);
    if (recordFile != INVALID_HANDLE_VALUE) CloseHandle(recordFile);
    if (recordError != 0) {
        std::fprintf(stderr,
                     "simstandin: --record %s: a write failed (error %lu); the record is "
                     "incomplete\n",
                     options.recordPath.c_str(), recordError);
        return 1;
    }
    return 0;
}
