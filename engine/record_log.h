// record_log.h - the call log of the recording build (Engine3DRecording.dll):
// one line per engine call, "t_us Name args...", appended to the file named by
// the environment variable HORIZON_ENGINE_LOG.
//
// Contract
// - RecordLine(text) prefixes the time in microseconds (QueryPerformanceCounter
//   on Windows, CLOCK_MONOTONIC elsewhere) and a space, appends a newline and
//   flushes, so a reader sees every call made so far even if the process dies.
// - Without HORIZON_ENGINE_LOG, or when the file cannot be opened, nothing is
//   written and nothing fails: the engine's results never depend on the log.
// - The file is opened on the first line and kept open.
#pragma once

void RecordLine(const char* text);

// The clock behind the timestamps, in microseconds: record_clock_win32.cpp
// (QueryPerformanceCounter) or record_clock_posix.cpp (CLOCK_MONOTONIC).
long long RecordClockMicros();
