// Figures of the live link, not checks: run by hand (about 2.5 minutes) with
//   link_driver_tests.exe --gtest_also_run_disabled_tests --gtest_filter=*Measure*
// Both processes stamp with QueryPerformanceCounter, which is one clock for all
// the processes of a machine (and of a Wine prefix), so the stand-in's record and
// the engine's log compare directly.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "angle.h"
#include "link_fixture.h"
#include "process_cpu.h"

namespace {

constexpr DWORD kGuardMs = 10000;

using MeasureTest = LinkTest;

// Each step of the stand-in is a new attitude; its latency runs from the moment
// the stand-in began to serve it to the first RotateNode that carries both of
// its values. Steps drawn never (superseded before a pass saw them) are counted.
// Steps of 20 ms come faster than the gauge draws; steps of 50 ms slower.
class MeasureLatency : public LinkTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(MeasureLatency, DISABLED_FromAStepToItsRotateNode) {
    const uint32_t kStepMs = GetParam();
    constexpr DWORD kRunMs = 60000;
    ASSERT_NE(StartRecordedGauge(), nullptr);
    long long readyAt = 0;
    StandInProcess* standIn =
        StartStandIn({"--attitude", "steps", "--step-ms", std::to_string(kStepMs)}, &readyAt);
    ASSERT_NE(standIn, nullptr);
    ASSERT_TRUE(WaitForExchanges(0, kPollBytes, 1, 1, readyAt, kGuardMs));
    const long long from = NowMicros();
    Sleep(kRunMs);
    const long long to = NowMicros();
    ASSERT_TRUE(standIn->Close()) << standIn->child().Output();

    const std::vector<RecordEntry> entries = Record(0);
    const std::vector<EngineCall> calls = run.EngineLog();
    const std::vector<EngineCall> rotations = CallsSince(calls, "RotateNode", from);
    std::vector<long long> latencies;
    size_t steps = 0, undrawn = 0, torn = 0;
    size_t next = 0; // the rotations are in time order, and so are the steps
    for (const RecordEntry& change : entries) {
        if (!change.change || change.micros < from || change.micros > to - 1000000) continue;
        ++steps;
        while (next < rotations.size() && rotations[next].micros < change.micros)
            ++next;
        const std::string pitch = LoggedFloat(RawToDegrees(change.pitchRaw));
        const std::string bank = LoggedFloat(RawToDegrees(change.bankRaw));
        bool found = false;
        for (size_t i = next; i < rotations.size(); ++i) {
            if (rotations[i].micros > change.micros + 1000000) break;
            if (CarriesAttitude(rotations[i], change.pitchRaw, change.bankRaw)) {
                latencies.push_back(rotations[i].micros - change.micros);
                found = true;
                break;
            }
            // A frame with one of the two new values and an old other one.
            torn += rotations[i].args.size() == 4 &&
                    (rotations[i].args[1] == pitch) != (rotations[i].args[3] == bank);
        }
        undrawn += !found;
    }
    ASSERT_GE(latencies.size(), 1000u) << steps << " steps, " << undrawn << " not drawn";
    std::printf("steps of %u ms over %.1f s: %zu, drawn %zu, never drawn %zu, torn frames %zu\n",
                kStepMs, double(to - from) / 1e6, steps, latencies.size(), undrawn, torn);
    for (const double fraction : {0.5, 0.9, 0.99, 1.0}) {
        ReportFigure("step -> RotateNode p" + std::to_string(int(fraction * 100)),
                     double(Percentile(latencies, fraction)) / 1e3, "ms");
    }

    // The poll rate over the same time, from the stand-in's side.
    std::vector<long long> intervals;
    long long previous = -1;
    size_t polls = 0;
    for (const RecordEntry& e : ExchangesOf(entries)) {
        if (e.micros < from || e.micros > to || e.bytes != kPollBytes) continue;
        ++polls;
        if (previous >= 0) intervals.push_back(e.micros - previous);
        previous = e.micros;
    }
    ReportFigure("polls per second", double(polls) / (double(to - from) / 1e6), "/s");
    ReportFigure("poll interval p50", double(Median(intervals)) / 1e3, "ms");
    ReportFigure("poll interval p99", double(Percentile(intervals, 0.99)) / 1e3, "ms");
    ReportFigure("frames per second", double(rotations.size()) / (double(to - from) / 1e6), "/s");

    // What a frame costs, from its RotateNode to its FlipBuffers, and how far apart
    // the passes that draw come.
    std::vector<long long> frames, passes;
    long long rotatedAt = -1;
    for (const EngineCall& call : calls) {
        if (call.micros < from || call.micros > to) continue;
        if (call.name == "RotateNode") {
            if (rotatedAt >= 0) passes.push_back(call.micros - rotatedAt);
            rotatedAt = call.micros;
        } else if (call.name == "FlipBuffers" && rotatedAt >= 0) {
            frames.push_back(call.micros - rotatedAt);
        }
    }
    ReportFigure("frame (RotateNode -> FlipBuffers) p50", double(Median(frames)) / 1e3, "ms");
    ReportFigure("frame (RotateNode -> FlipBuffers) p99", double(Percentile(frames, 0.99)) / 1e3,
                 "ms");
    ReportFigure("between two drawing passes p50", double(Median(passes)) / 1e3, "ms");
}

INSTANTIATE_TEST_SUITE_P(StepMs, MeasureLatency, ::testing::Values(20u, 50u),
                         [](const auto& row) { return std::to_string(row.param) + "ms"; });

// Processor time of the gauge over 10 s with the link up: the attitude still
// (polls, no frames), then moving (polls and a frame at nearly every pass).
TEST_F(MeasureTest, DISABLED_ProcessorShareWithTheLinkUp) {
    constexpr DWORD kWindowMs = 10000;
    ASSERT_NE(StartRecordedGauge(), nullptr);
    struct Phase {
        const char* name;
        std::vector<std::string> attitude;
    };
    const Phase kPhases[] = {{"still", {"--attitude", "fixed", "--pitch-raw", "-119304647"}},
                             {"moving", {"--attitude", "script"}}};
    for (size_t i = 0; i < 2; ++i) {
        const Phase& phase = kPhases[i];
        if (i > 0) standIns.back()->Kill();
        long long readyAt = 0;
        ASSERT_NE(StartStandIn(phase.attitude, &readyAt), nullptr);
        ASSERT_TRUE(WaitForExchanges(i, kPollBytes, 1, 1, readyAt, kGuardMs));
        Sleep(1000);
        const long long wallBefore = NowMicros();
        const long long windowsBefore = ProcessCpuMicros(run.Process());
        const long long linuxBefore = LinuxCpuMicros(run.Dir(), "horizon.exe");
        Sleep(kWindowMs);
        const long long wallAfter = NowMicros();
        const long long windowsAfter = ProcessCpuMicros(run.Process());
        const long long linuxAfter = LinuxCpuMicros(run.Dir(), "horizon.exe");
        const double wall = double(wallAfter - wallBefore);
        size_t polls = 0;
        for (const RecordEntry& e : ExchangesOf(Record(i))) {
            polls += e.micros >= wallBefore && e.micros <= wallAfter && e.bytes == kPollBytes;
        }
        const size_t frames = CallsSince(run.EngineLog(), "FlipBuffers", wallBefore).size() -
                              CallsSince(run.EngineLog(), "FlipBuffers", wallAfter).size();
        std::printf("%s: %.3f s, %zu polls, %zu frames\n", phase.name, wall / 1e6, polls, frames);
        const std::string name = std::string(phase.name) + " attitude, gauge processor share";
        ASSERT_GE(linuxBefore, 0) << "not under Wine: no /proc figure";
        ReportFigure(name + " (Linux /proc)", 100.0 * double(linuxAfter - linuxBefore) / wall,
                     "% of one core");
        ReportFigure(name + " (GetProcessTimes)",
                     100.0 * double(windowsAfter - windowsBefore) / wall, "% of one core");
    }
}

} // namespace
