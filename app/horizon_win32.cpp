// Entry point of horizon.exe.
#include <windows.h>

#include "gauge_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const int code = GaugeMain();
    // The link workers are still running and keep what they use until the very
    // end: leave at once, without running static destructors under them.
    ExitProcess(static_cast<UINT>(code));
}
