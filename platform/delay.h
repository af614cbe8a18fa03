// delay.h - the program's one delay facility. Every pause of every thread goes
// through it: before the first pause of the process it raises the system timer
// resolution to 1 ms (once, never lowered), so that a 1 ms pause lasts about 1 ms.
#pragma once

#include <cstdint>

void Delay(uint32_t milliseconds);
