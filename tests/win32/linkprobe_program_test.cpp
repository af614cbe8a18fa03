// linkprobe.exe as a program, against simstandin.exe servers.
#include <string>
#include <vector>

#include "ipc_test_support.h"

namespace {

struct ProbeRun {
    DWORD code = 0;
    std::string output;
};

ProbeRun RunProbe(const std::vector<std::string>& args) {
    ProbeRun run;
    EXPECT_TRUE(RunToEnd("linkprobe.exe", args, 60000, &run.code, &run.output)) << run.output;
    return run;
}

bool Has(const ProbeRun& run, const std::string& text) {
    return run.output.find(text) != std::string::npos;
}

TEST(LinkProbe, NamesTheOutcomeWhenNoServerRuns) {
    ASSERT_TRUE(NoServerWindow(5000));
    const ProbeRun run = RunProbe({"--seconds", "1"});
    EXPECT_EQ(run.code, 1u);
    EXPECT_TRUE(Has(run, "linkprobe: open NoServerWindow (2)\n")) << run.output;
}

TEST(LinkProbe, ShowsVersionsAndLiveDegrees) {
    StandInProcess server(
        {"--sim-version", "FADE0002", "--pitch-raw", "-119304647", "--bank-raw", "0x80000000"});
    ASSERT_SERVER_STARTED(server);
    const ProbeRun run = RunProbe({"--seconds", "1"});
    EXPECT_EQ(run.code, 0u) << run.output;
    EXPECT_TRUE(Has(run, "linkprobe: open Ok (0)\n")) << run.output;
    EXPECT_TRUE(Has(run, "server version 0x19990005, simulator version 0x00000002")) << run.output;
    EXPECT_TRUE(Has(run, "pitch   10.000 deg  bank  180.000 deg")) << run.output;
    EXPECT_TRUE(Has(run, "round trip p50 ")) << run.output;
    EXPECT_TRUE(Has(run, "all succeeded")) << run.output;
}

TEST(LinkProbe, ReportsARefusedOpenAndAFailedExchange) {
    {
        StandInProcess server({"--server-version", "19980004"});
        ASSERT_SERVER_STARTED(server);
        const ProbeRun run = RunProbe({});
        EXPECT_EQ(run.code, 1u);
        EXPECT_TRUE(Has(run, "linkprobe: open VersionRejected (7)\n")) << run.output;
        EXPECT_TRUE(Has(run, "server version 0x19980004, simulator version 0xFADE0000\n"))
            << run.output;
    }
    {
        StandInProcess server({"--sim-version", "FADE0003"});
        ASSERT_SERVER_STARTED(server);
        const ProbeRun run = RunProbe({"--simulator", "4"});
        EXPECT_EQ(run.code, 1u);
        EXPECT_TRUE(Has(run, "linkprobe: open SimulatorMismatch (8)\n")) << run.output;
        EXPECT_TRUE(Has(run, "simulator version 0x00000003 (the identifier")) << run.output;
    }
    {
        // The handshake and two polls are answered, the third poll gets 2.
        StandInProcess server({"--reply", "2", "--fault-after", "3"});
        ASSERT_SERVER_STARTED(server);
        const ProbeRun run = RunProbe({"--seconds", "5"});
        EXPECT_EQ(run.code, 1u);
        EXPECT_TRUE(Has(run, "linkprobe: exchange 3 failed: BadReply (13)\n")) << run.output;
    }
}

TEST(LinkProbe, BenchTimesBothKindsOfExchange) {
    StandInProcess server({});
    ASSERT_SERVER_STARTED(server);
    const ProbeRun run = RunProbe({"--bench", "--count", "300"});
    EXPECT_EQ(run.code, 0u) << run.output;
    EXPECT_TRUE(Has(run, "300 exchanges of each kind")) << run.output;
    EXPECT_TRUE(Has(run, "poll batch (3 reads, IpcProcess, walk): p50 ")) << run.output;
    EXPECT_TRUE(Has(run, "bare round trip (empty batch):          p50 ")) << run.output;
    EXPECT_TRUE(Has(run, "ratio of medians poll/bare: ")) << run.output;
    ServerCounts counts{};
    ASSERT_TRUE(server.Close(&counts)) << server.child().Output();
    // The handshake, 300 poll batches and 300 empty ones, all really served.
    EXPECT_EQ(counts.exchanges, 1u + 600u);
    EXPECT_EQ(counts.reads, 2u + 900u);
}

TEST(LinkProbe, BadCommandLine) {
    const ProbeRun run = RunProbe({"--seconds", "soon"});
    EXPECT_EQ(run.code, 2u);
    EXPECT_TRUE(Has(run, "linkprobe: --seconds: 'soon' is not a whole number")) << run.output;
}

} // namespace
