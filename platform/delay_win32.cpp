#include "delay.h"

#include <windows.h>

#include <mmsystem.h>

#include <mutex>

void Delay(uint32_t milliseconds) {
    // Raised once per process and deliberately never lowered: the poll period
    // relies on it for as long as the process lives.
    static std::once_flag raised;
    std::call_once(raised, [] { timeBeginPeriod(1); });
    Sleep(milliseconds);
}
