// process_cpu.h - the processor time another process has used, for the figures
// the measuring tests print (never for a pass or a fail).
#pragma once

#include <windows.h>

#include <string>

// Kernel plus user time as GetProcessTimes reports it, in microseconds; -1 on
// failure. Under Wine it lags far behind what Linux counts for the process.
long long ProcessCpuMicros(HANDLE process);

// Under Wine: utime + stime from /proc/<pid>/stat of the Linux process that runs
// `program` (e.g. "horizon.exe") with `dir` as its working directory, read through
// Wine's Z: drive, in microseconds (clock ticks of 10 ms). -1 when not under Wine
// or not found.
long long LinuxCpuMicros(const std::string& dir, const std::string& program);
