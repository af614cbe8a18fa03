// gauge_probe.h - what gauge_probe.dll sees from inside horizon.exe.
//
// Some facts cannot be read from another process under Wine (a window class's
// cursor) or cannot be caught from outside without a race (the state of the
// settings file at the moment the gauge window starts to go away). The tests
// set gauge_probe.dll as a WH_CALLWNDPROC hook on the gauge's main thread: the
// system loads it into horizon.exe and calls it, on that thread, for every
// message sent to the thread's windows. The probe writes what it sees into a
// named shared block that the test created.
//
// Contract
// - The block is "HorizonGaugeProbe.<pid of horizon.exe>", sizeof(GaugeProbeRecord)
//   bytes, zero when created. Only the probe writes it; the test reads it
//   after the fact.
// - classSeen: set at the first message sent to the gauge window (class
//   HorizonGaugeWindow); cursorIsArrow and backgroundIsButtonFace say what the
//   class held then, compared inside the gauge process.
// - goneSeen: set at the first message that hides or destroys the gauge window
//   (WM_SHOWWINDOW FALSE, WM_WINDOWPOSCHANGING with SWP_HIDEWINDOW, WM_DESTROY);
//   at that moment the probe copies Corvelle.ini from the working directory
//   (settingsSize -1 when it is absent) and takes the size of the engine log
//   named by HORIZON_ENGINE_LOG (-1 without one).
#pragma once

#include <windows.h>

#include <cstdio>

struct GaugeProbeRecord {
    LONG classSeen;
    LONG cursorIsArrow;
    LONG backgroundIsButtonFace;
    LONG goneSeen;
    UINT goneMessage;
    LONG visibleWhenGoing;
    LONG settingsSize;
    char settings[256];
    LONGLONG engineLogSize;
};

inline void GaugeProbeBlockName(DWORD gaugePid, char* name, size_t capacity) {
    std::snprintf(name, capacity, "HorizonGaugeProbe.%lu", static_cast<unsigned long>(gaugePid));
}

// The hook procedure's exported name.
#define GAUGE_PROBE_HOOK "GaugeProbeHook"
