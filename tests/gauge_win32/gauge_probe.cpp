// gauge_probe.dll: see gauge_probe.h. Runs inside horizon.exe, on its main
// thread, so it must stay small and never block.
#include "gauge_probe.h"

#include <cstring>

namespace {

GaugeProbeRecord* record;

GaugeProbeRecord* Record() {
    if (record) return record;
    char name[64];
    GaugeProbeBlockName(GetCurrentProcessId(), name, sizeof name);
    HANDLE block = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!block) return nullptr;
    // Kept mapped until the process ends: the process is the gauge, which the
    // probe outlives by nothing.
    record = static_cast<GaugeProbeRecord*>(
        MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, sizeof(GaugeProbeRecord)));
    return record;
}

bool IsGaugeWindow(HWND window) {
    char name[64];
    return GetParent(window) == nullptr && GetClassNameA(window, name, sizeof name) > 0 &&
           std::strcmp(name, "HorizonGaugeWindow") == 0;
}

bool IsGoing(const CWPSTRUCT& message) {
    switch (message.message) {
    case WM_SHOWWINDOW:
        return message.wParam == FALSE;
    case WM_WINDOWPOSCHANGING:
        return (reinterpret_cast<const WINDOWPOS*>(message.lParam)->flags & SWP_HIDEWINDOW) != 0;
    case WM_DESTROY:
        return true;
    default:
        return false;
    }
}

void NoteClass(GaugeProbeRecord* r, HWND window) {
    const ULONG_PTR arrow = reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, IDC_ARROW));
    r->cursorIsArrow = GetClassLongPtrA(window, GCLP_HCURSOR) == arrow;
    r->backgroundIsButtonFace = GetClassLongPtrA(window, GCLP_HBRBACKGROUND) == COLOR_BTNFACE + 1;
    r->classSeen = 1;
}

void NoteGoing(GaugeProbeRecord* r, const CWPSTRUCT& message) {
    r->goneMessage = message.message;
    r->visibleWhenGoing = IsWindowVisible(message.hwnd) != 0;
    r->settingsSize = -1;
    HANDLE file = CreateFileA("Corvelle.ini", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD got = 0;
        if (ReadFile(file, r->settings, sizeof r->settings, &got, nullptr)) {
            r->settingsSize = static_cast<LONG>(got);
        }
        CloseHandle(file);
    }
    r->engineLogSize = -1;
    char logPath[MAX_PATH];
    WIN32_FILE_ATTRIBUTE_DATA data;
    const DWORD length = GetEnvironmentVariableA("HORIZON_ENGINE_LOG", logPath, sizeof logPath);
    if (length > 0 && length < sizeof logPath &&
        GetFileAttributesExA(logPath, GetFileExInfoStandard, &data)) {
        r->engineLogSize = static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    }
    r->goneSeen = 1;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    GaugeProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT& message = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (IsGaugeWindow(message.hwnd)) {
            if (GaugeProbeRecord* r = Record()) {
                if (!r->classSeen) NoteClass(r, message.hwnd);
                if (!r->goneSeen && IsGoing(message)) NoteGoing(r, message);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
