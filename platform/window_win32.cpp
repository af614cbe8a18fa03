// The gauge window, its render surface, the event fetch and the message box over Win32.
#include "window.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <vector>

#include "event_queue.h"

namespace {

constexpr char kWindowClass[] = "HorizonGaugeWindow";
constexpr DWORD kGaugeStyle = WS_CAPTION | WS_SYSMENU; // 0x00C80000

HWND gaugeWindow;
HWND renderSurface;
WNDPROC staticProc;
// Moves while the window is created and first shown are not the user's.
bool settling;

LRESULT CALLBACK GaugeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOVE:
        if (!settling) QueueWindowEvent({kMoveEvent, window, 0, 0});
        return 0;
    case WM_CLOSE:
        // The program destroys the window itself, after saving its settings.
        QueueWindowEvent({kCloseEvent, window, 0, 0});
        return 0;
    case WM_COMMAND:
        if (lParam != 0) {
            QueueWindowEvent(
                {kControlEvent, window, int32_t(LOWORD(wParam)), int32_t(HIWORD(wParam))});
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Only the engine's frames may show in the surface: no paint, no erase.
LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return CallWindowProcA(staticProc, window, message, wParam, lParam);
    }
}

} // namespace

bool PlatformInit() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = GaugeWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExA(&wc) != 0;
}

bool OpenGaugeWindow(int clientWidth, int clientHeight, const char* title) {
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, kGaugeStyle, FALSE, 0);
    settling = true;
    gaugeWindow = CreateWindowExA(0, kWindowClass, title, kGaugeStyle, 0, 0,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (gaugeWindow) {
        ShowWindow(gaugeWindow, SW_SHOWNORMAL);
        UpdateWindow(gaugeWindow);
    }
    settling = false;
    return gaugeWindow != nullptr;
}

void* GaugeWindowHandle() {
    return gaugeWindow;
}

void* OpenRenderSurface(int width, int height) {
    if (!gaugeWindow) return nullptr;
    renderSurface = CreateWindowExA(
        0, "STATIC", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width,
        height, gaugeWindow, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (renderSurface) {
        staticProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            renderSurface, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SurfaceProc)));
    }
    return renderSurface;
}

void CloseRenderSurface() {
    if (renderSurface) DestroyWindow(renderSurface);
    renderSurface = nullptr;
}

void DestroyGaugeWindow() {
    if (gaugeWindow) DestroyWindow(gaugeWindow);
    gaugeWindow = nullptr;
}

int32_t FetchEvent() {
    WindowEvent event;
    if (TakeWindowEvent(&event)) return event.code;
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return 0;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return static_cast<int32_t>(msg.message);
}

void GaugeFramePosition(int32_t* x, int32_t* y) {
    RECT r{};
    GetWindowRect(gaugeWindow, &r);
    *x = r.left;
    *y = r.top;
}

namespace {

struct Lowered {
    HWND window;
    bool disabled;
    bool wasTopMost;
};

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM list) {
    if (!IsWindowVisible(window)) return TRUE;
    Lowered entry{window, false, false};
    if (IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        entry.disabled = true;
    }
    if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        entry.wasTopMost = true;
    }
    reinterpret_cast<std::vector<Lowered>*>(list)->push_back(entry);
    return TRUE;
}

} // namespace

void ShowMessageBox(const char* caption, const char* text) {
    HWND owner = GetForegroundWindow();
    DWORD ownerProcess = 0;
    if (owner) GetWindowThreadProcessId(owner, &ownerProcess);
    if (ownerProcess != GetCurrentProcessId()) owner = nullptr;

    std::vector<Lowered> lowered;
    EnumThreadWindows(GetCurrentThreadId(), CollectThreadWindow,
                      reinterpret_cast<LPARAM>(&lowered));
    MessageBoxA(owner, text, caption, MB_OK);
    for (const Lowered& w : lowered) {
        if (w.disabled) EnableWindow(w.window, TRUE);
        if (w.wasTopMost) {
            SetWindowPos(w.window, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}
