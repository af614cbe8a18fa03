// record_log.h's clock on Windows: QueryPerformanceCounter.
#include "record_log.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

long long RecordClockMicros() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    const long long ticks = counter.QuadPart, perSecond = frequency.QuadPart;
    // Split so that ticks * 1000000 cannot overflow after a long uptime.
    return (ticks / perSecond) * 1000000 + (ticks % perSecond) * 1000000 / perSecond;
}
