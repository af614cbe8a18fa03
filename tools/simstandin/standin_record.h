// standin_record.h - the lines simstandin.exe writes with --record FILE, and their
// reading back by the tests and by whoever takes figures from a run.
//
// Contract
// - Times are QueryPerformanceCounter readings in microseconds (MicrosFromTicks), the
//   clock of the recording engine's log: the lines of both files compare directly
//   when the two processes run on one machine.
// - An exchange line for every message the server answered:
//     "t_us bytes reads writes reply"
//   t_us: when the message was received (before any --delay-ms); bytes: the batch's
//   length as served, its end marker included (ServeStats::bytes), 0 when no block
//   was found for the message; reads, writes: the records carried out; reply: the
//   value answered. A message taken by --hang is never answered and has no line.
// - A change line for every step of --attitude steps:
//     "t_us change pitchRaw bankRaw"
//   t_us: the moment from which the server serves the step's values; the raw values
//   in signed decimal. A change is written before the first exchange line that
//   comes after it in time, so the file stays in time order.
// - Every line ends with "\n" alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RecordEntry {
    bool change = false; // a change line; otherwise an exchange line
    long long micros = 0;
    // Exchange lines.
    uint64_t bytes = 0;
    uint32_t reads = 0, writes = 0, reply = 0;
    // Change lines.
    int32_t pitchRaw = 0, bankRaw = 0;
};

// Counter ticks at `perSecond` ticks a second in microseconds, without the overflow
// of ticks * 1000000 after a long uptime.
long long MicrosFromTicks(long long ticks, long long perSecond);

std::string ExchangeLine(long long micros, uint64_t bytes, uint32_t reads, uint32_t writes,
                         uint32_t reply);
std::string ChangeLine(long long micros, int32_t pitchRaw, int32_t bankRaw);

// Reads the complete lines of `text` (a last line without its "\n" may still be in
// the middle of being written, and is left for later). A line that is neither
// form fails the whole text: *error names the line and what is wrong with it, and
// *entries is left unchanged.
bool ParseStandInRecord(std::string_view text, std::vector<RecordEntry>* entries,
                        std::string* error);
