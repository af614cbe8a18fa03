// link_fixture.h - the link tests' fixture: the real horizon.exe with the
// recording engine (GaugeTest) beside real simstandin.exe servers, each writing
// its --record file into the gauge's scratch directory, and what the tests read
// from both sides.
//
// Contract
// - SetUp fails the test when another simulator server window is open: the gauge
//   would find it instead of the test's own stand-in.
// - Stand-ins end before the gauge and its scratch directory go (members of the
//   derived fixture are destroyed first); each sits in the test program's
//   kill-on-close job, like the gauge.
// - Times on both sides are QueryPerformanceCounter microseconds: the engine log's
//   timestamps, the records' and NowMicros() compare directly.
// - Every wait takes a guard and returns false when it runs out; the guards are
//   limits for a loaded machine, not expectations.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gauge_fixture.h"
#include "standin_process.h"

// The gauge's threads, by id. The poll worker is the one that comes with the link.
std::set<DWORD> ThreadsOf(DWORD pid);

// The gauge's threads once their set has not changed for quietMs (a gauge just
// started may still gain a thread of the system's); the last set seen when
// guardMs run out.
std::set<DWORD> SettledThreadsOf(DWORD pid, DWORD quietMs, DWORD guardMs);

// The threads in `after` that are not in `before`.
std::vector<DWORD> NewThreads(const std::set<DWORD>& before, const std::set<DWORD>& after);

// A thread of another process, held open so that its end can be waited for.
class ThreadWatch {
  public:
    ThreadWatch() = default;
    ThreadWatch(const ThreadWatch&) = delete;
    ThreadWatch& operator=(const ThreadWatch&) = delete;
    ~ThreadWatch();
    bool Open(DWORD threadId);
    bool Ended() const;
    // Waits for the thread's end; *endedAt is when the wait saw it end.
    bool WaitForEnd(DWORD guardMs, long long* endedAt) const;

  private:
    HANDLE thread_ = nullptr;
};

// Whether the call is "RotateNode 0 pitch 0 bank" with the gauge's degrees of the
// raw values, to the last digit of the engine log's float format.
bool CarriesAttitude(const EngineCall& call, int32_t pitchRaw, int32_t bankRaw);

// The index of the first RotateNode at or after `fromMicros` that carries the
// attitude, or calls.size() when there is none.
size_t FindRotate(const std::vector<EngineCall>& calls, int32_t pitchRaw, int32_t bankRaw,
                  long long fromMicros);

// The calls named `name` at or after `fromMicros`.
std::vector<EngineCall> CallsSince(const std::vector<EngineCall>& calls, const char* name,
                                   long long fromMicros);

// The exchange lines of a record, without the change lines.
std::vector<RecordEntry> ExchangesOf(const std::vector<RecordEntry>& entries);

// The median, and the value below which `fraction` of them lie (nearest rank).
long long Median(std::vector<long long> values);
long long Percentile(std::vector<long long> values, double fraction);

// Polls `done` every few milliseconds until it returns true or guardMs pass.
template <typename Done> bool WaitUntil(Done done, DWORD guardMs) {
    const ULONGLONG end = GetTickCount64() + guardMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() > end) return false;
        Sleep(5);
    }
}

// The byte counts a gauge's batches have in a record, end marker included: the poll
// (reads of 4, 4 and 2 bytes), the first handshake batch of an open (two reads of
// 4 bytes and the write of 2) and any later one (the two reads).
constexpr uint64_t kPollBytes = 58 + 4;
constexpr uint64_t kFirstHandshakeBytes = 54 + 4;
constexpr uint64_t kLaterHandshakeBytes = 40 + 4;

class LinkTest : public GaugeTest {
  protected:
    void SetUp() override;

    // Starts the gauge with the recording engine, past its start-up box, and waits
    // for its first frame.
    HWND StartRecordedGauge();

    // Starts a stand-in with `args` plus a --record file of its own; null (with
    // the test failed) if it did not start. *readyAt: when it said it was ready.
    StandInProcess* StartStandIn(std::vector<std::string> args, long long* readyAt = nullptr);
    // The record of the stand-in started `index`-th (from 0) so far.
    std::vector<RecordEntry> Record(size_t index);
    // Waits until the stand-in's record holds at least `count` exchange lines
    // whose bytes are `bytes` and reply is `reply`, at or after `fromMicros`.
    bool WaitForExchanges(size_t index, uint64_t bytes, uint32_t reply, size_t count,
                          long long fromMicros, DWORD guardMs);
    // Waits until the gauge draws the attitude at or after `fromMicros`; *call is
    // the RotateNode that carried it.
    bool WaitForRotate(int32_t pitchRaw, int32_t bankRaw, long long fromMicros, DWORD guardMs,
                       EngineCall* call);

    std::vector<std::unique_ptr<StandInProcess>> standIns;
    std::vector<std::string> recordPaths;
};

// Prints a figure of the run on its own line and records it in the test's XML
// output; the figures are for reading, never for passing or failing.
void ReportFigure(const std::string& name, double value, const char* unit);
