// linkprobe.exe - a link diagnostic: opens a session as the gauge does, then shows
// live pitch and bank with exchange timings, or (--bench) compares the gauge's poll
// batch with a bare message round trip to the same server.
#include <windows.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "angle.h"
#include "delay.h"
#include "ipc_client.h"
#include "probe_options.h"
#include "probe_stats.h"

namespace {

constexpr uint32_t kPitchOffset = 0x0578;
constexpr uint32_t kBankOffset = 0x057C;
constexpr uint32_t kUnusedOffset = 0x0D0C;
constexpr double kReportSeconds = 0.25;
constexpr uint32_t kBenchBlock = 250;

LARGE_INTEGER frequency;

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Seconds(LONGLONG ticks) {
    return double(ticks) / double(frequency.QuadPart);
}

std::string Outcome(IpcResult result) {
    return std::string(IpcResultName(result)) + " (" + std::to_string(int(result)) + ")";
}

void Print(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));
void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// The gauge's poll batch: pitch, bank, and the 2 bytes at 0x0D0C that it also asks for.
bool QueuePoll(int32_t* pitch, int32_t* bank, IpcResult* result) {
    static uint16_t unused;
    return IpcRead(kPitchOffset, 4, pitch, result) && IpcRead(kBankOffset, 4, bank, result) &&
           IpcRead(kUnusedOffset, 2, &unused, result);
}

void PrintFailure(uint64_t exchange, IpcResult result) {
    Print("linkprobe: exchange %" PRIu64 " failed: %s\n", exchange, Outcome(result).c_str());
}

void PrintRoundTrips(const char* what, std::vector<double>& microseconds) {
    const double p50 = Percentile(microseconds, 50), p99 = Percentile(microseconds, 99);
    Print("%s p50 %.1f us p99 %.1f us", what, p50, p99);
}

int Poll(const ProbeOptions& options) {
    std::vector<double> all, recent;
    int32_t pitch = 0, bank = 0;
    const LONGLONG start = Now();
    LONGLONG reportStart = start;
    uint64_t exchanges = 0;
    while (Seconds(Now() - start) < double(options.seconds)) {
        IpcResult result = IpcResult::Ok;
        bool ok = QueuePoll(&pitch, &bank, &result);
        const LONGLONG sent = Now();
        ok = ok && IpcProcess(&result);
        const double roundTrip = Seconds(Now() - sent) * 1e6;
        ++exchanges;
        if (!ok) {
            PrintFailure(exchanges, result);
            return 1;
        }
        all.push_back(roundTrip);
        recent.push_back(roundTrip);
        const double windowSeconds = Seconds(Now() - reportStart);
        if (windowSeconds >= kReportSeconds) {
            // + 0.0 turns the -0.0 that a raw 0 gives into 0.0 for the eye.
            Print("pitch %8.3f deg  bank %8.3f deg  rate %5.0f/s  ",
                  double(RawToDegrees(pitch)) + 0.0, double(RawToDegrees(bank)) + 0.0,
                  double(recent.size()) / windowSeconds);
            PrintRoundTrips("round trip", recent);
            Print("\n");
            recent.clear();
            reportStart = Now();
        }
        Delay(1);
    }
    const double elapsed = Seconds(Now() - start);
    Print("linkprobe: %" PRIu64 " exchanges in %.2f s (%.0f/s), ", exchanges, elapsed,
          elapsed > 0 ? double(exchanges) / elapsed : 0.0);
    PrintRoundTrips("round trip", all);
    Print(", all succeeded\n");
    return 0;
}

// One message with a batch of nothing but the end marker, sent exactly as the
// client sends its own: the cost of the link itself, without the client's work.
bool BareExchange(DWORD_PTR* reply) {
    std::memset(ipcSession.block, 0, 4);
    return SendMessageTimeoutA(static_cast<HWND>(ipcSession.serverWindow), ipcSession.messageId,
                               ipcSession.atom, 0, SMTO_BLOCK, kIpcSendTimeoutMs, reply) != 0;
}

int Bench(const ProbeOptions& options) {
    std::vector<double> poll, bare;
    poll.reserve(options.count);
    bare.reserve(options.count);
    int32_t pitch = 0, bank = 0;
    // Alternating blocks, the order swapped each round, so that drift in the machine's
    // load falls on both kinds alike.
    for (uint32_t round = 0; poll.size() < options.count || bare.size() < options.count; ++round) {
        for (int part = 0; part < 2; ++part) {
            const bool pollTurn = (part == 0) == (round % 2 == 0);
            std::vector<double>& samples = pollTurn ? poll : bare;
            for (uint32_t i = 0; i < kBenchBlock && samples.size() < options.count; ++i) {
                IpcResult result = IpcResult::Ok;
                DWORD_PTR reply = 0;
                const LONGLONG t0 = Now();
                const bool ok = pollTurn ? QueuePoll(&pitch, &bank, &result) && IpcProcess(&result)
                                         : BareExchange(&reply);
                const double microseconds = Seconds(Now() - t0) * 1e6;
                if (!ok || (!pollTurn && reply != 1)) {
                    if (pollTurn)
                        PrintFailure(poll.size() + 1, result);
                    else
                        Print("linkprobe: bare exchange failed: %s, reply %" PRIu64 ", error %lu\n",
                              ok ? "answered" : "not delivered", uint64_t(reply), GetLastError());
                    return 1;
                }
                samples.push_back(microseconds);
            }
        }
    }
    const size_t count = poll.size();
    const double pollMedian = Percentile(poll, 50), bareMedian = Percentile(bare, 50);
    Print("linkprobe: bench, %zu exchanges of each kind, alternating in blocks of %u\n", count,
          kBenchBlock);
    PrintRoundTrips("  poll batch (3 reads, IpcProcess, walk):", poll);
    Print("\n");
    PrintRoundTrips("  bare round trip (empty batch):         ", bare);
    Print("\n  ratio of medians poll/bare: %.3f\n", bareMedian > 0 ? pollMedian / bareMedian : 0.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ProbeOptions options;
    std::string error;
    if (!ParseProbeOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "linkprobe: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(ProbeUsage(), stdout);
        return 0;
    }
    QueryPerformanceFrequency(&frequency);

    IpcResult result = IpcResult::Ok;
    const bool open = IpcOpen(options.simulator, &result);
    Print("linkprobe: open %s\n", Outcome(result).c_str());
    const bool handshakeRan = open || result == IpcResult::VersionRejected ||
                              result == IpcResult::VersionRejectedFallback ||
                              result == IpcResult::SimulatorMismatch;
    if (handshakeRan) {
        // Once the versions are accepted the client keeps only the identifier.
        const bool accepted = open || result == IpcResult::SimulatorMismatch;
        Print("linkprobe: server version 0x%08X, simulator version 0x%08X%s\n",
              unsigned(ipcSession.serverVersion), unsigned(ipcSession.simulatorVersion),
              accepted ? " (the identifier; its 0xFADE marker has been taken off)" : "");
    }
    if (!open) return 1;
    const int status = options.bench ? Bench(options) : Poll(options);
    IpcClose();
    return status;
}
