// The IPC client's session against real simstandin.exe servers: open, handshake,
// exchanges, close, and what a session leaves behind.
#include <cstring>
#include <vector>

#include "ipc_test_support.h"

namespace {

constexpr int32_t kPitchRaw = -119304647; // 10 degrees nose up
constexpr int32_t kBankRaw = INT32_MIN;   // 180 degrees

using Session = IpcLinkTest;

TEST_F(Session, OpensExchangesAndCloses) {
    StandInProcess server({"--sim-version", "FADE0007", "--pitch-raw", std::to_string(kPitchRaw),
                           "--bank-raw", "0x80000000"});
    ASSERT_SERVER_STARTED(server);
    const uint32_t count = ipcSession.openCount + 1;
    IpcResult result = IpcResult::NotOpen;
    ASSERT_TRUE(IpcOpen(0, &result)) << IpcResultName(result);
    EXPECT_EQ(result, IpcResult::Ok);
    EXPECT_EQ(ipcSession.serverVersion, 0x19990005u);
    EXPECT_EQ(ipcSession.simulatorVersion, 7u);
    EXPECT_EQ(ipcSession.openCount, count);
    EXPECT_EQ(ipcSession.serverWindow, server.Window("UIPCMAIN"));
    const std::string name = BlockName(count);
    char atomName[64] = {};
    GlobalGetAtomNameA(ipcSession.atom, atomName, sizeof atomName);
    EXPECT_EQ(name, atomName);
    EXPECT_TRUE(MappingExists(name));

    for (int i = 0; i < 5; ++i) {
        PollValues values;
        ASSERT_TRUE(Poll(&values, &result)) << IpcResultName(result);
        EXPECT_EQ(values.pitch, kPitchRaw);
        EXPECT_EQ(values.bank, kBankRaw);
        EXPECT_EQ(values.unused, 0);
    }

    // Records are carried out in order against the server's own data: a write is
    // read back in the same batch, and the data ends at 64 KiB.
    const uint32_t written = 0xCAFEF00D;
    const uint8_t lastTwo[2] = {0xAB, 0xCD};
    uint32_t readBack = 0;
    uint8_t acrossTheEnd[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(IpcWrite(0x2000, 4, &written, &result));
    ASSERT_TRUE(IpcRead(0x2000, 4, &readBack, &result));
    ASSERT_TRUE(IpcWrite(0xFFFE, 2, lastTwo, &result));
    ASSERT_TRUE(IpcRead(0xFFFE, 4, acrossTheEnd, &result));
    ASSERT_TRUE(IpcProcess(&result)) << IpcResultName(result);
    EXPECT_EQ(readBack, written);
    const uint8_t expected[4] = {0xAB, 0xCD, 0, 0};
    EXPECT_EQ(std::memcmp(acrossTheEnd, expected, 4), 0);

    IpcClose();
    EXPECT_EQ(ipcSession.block, nullptr);
    EXPECT_EQ(ipcSession.atom, 0);
    EXPECT_EQ(GlobalFindAtomA(name.c_str()), 0);
    EXPECT_FALSE(MappingExists(name));

    ServerCounts counts{};
    ASSERT_TRUE(server.Close(&counts)) << server.child().Output();
    // One handshake exchange (two reads, the write of 2002), five polls, one batch.
    EXPECT_EQ(counts.exchanges, 7u);
    EXPECT_EQ(counts.reads, 2u + 15u + 2u);
    EXPECT_EQ(counts.writes, 1u + 2u);
    EXPECT_EQ(counts.malformed, 0u);
    EXPECT_EQ(counts.refused, 0u);
}

struct HandshakeCase {
    const char* what;
    std::vector<std::string> server;
    uint32_t requested;
    IpcResult result;
    uint64_t exchanges; // handshake exchanges the server saw
};

const HandshakeCase kHandshakes[] = {
    {"lowest accepted server version, identifier asked for",
     {"--server-version", "19980005", "--sim-version", "FADE0003"},
     3,
     IpcResult::Ok,
     1},
    {"another identifier asked for",
     {"--sim-version", "FADE0003"},
     4,
     IpcResult::SimulatorMismatch,
     1},
    {"identifier above 0xFFFF never matches",
     {"--sim-version", "FADE0000"},
     0x10000,
     IpcResult::SimulatorMismatch,
     1},
    {"server version compared unsigned", {"--server-version", "80000000"}, 0, IpcResult::Ok, 1},
    {"server version too old", {"--server-version", "19980004"}, 0, IpcResult::VersionRejected, 1},
    {"fallback class, server version too old",
     {"--class", "FS98MAIN", "--server-version", "19980004"},
     0,
     IpcResult::VersionRejectedFallback,
     1},
    {"fallback class, no simulator marker",
     {"--class", "FS98MAIN", "--sim-version", "12340000"},
     0,
     IpcResult::VersionRejectedFallback,
     1},
    {"fallback class, acceptable versions", {"--class", "FS98MAIN"}, 0, IpcResult::Ok, 1},
    // A server that never fills its version gets all five handshake exchanges.
    {"server version never filled", {"--server-version", "0"}, 0, IpcResult::VersionRejected, 5},
};

TEST_F(Session, HandshakeAcceptsOrRejectsVersions) {
    for (const HandshakeCase& c : kHandshakes) {
        SCOPED_TRACE(c.what);
        StandInProcess server(c.server);
        ASSERT_SERVER_STARTED(server);
        IpcResult result = IpcResult::Ok;
        EXPECT_EQ(IpcOpen(c.requested, &result), c.result == IpcResult::Ok);
        EXPECT_EQ(result, c.result) << IpcResultName(result);
        EXPECT_EQ(ipcSession.block != nullptr, c.result == IpcResult::Ok);
        IpcClose();
        ServerCounts counts{};
        ASSERT_TRUE(server.Close(&counts)) << server.child().Output();
        EXPECT_EQ(counts.exchanges, c.exchanges);
        EXPECT_EQ(counts.writes, 1u) << "the handshake write goes with the first exchange only";
    }
}

TEST_F(Session, PrefersTheFirstClassWhenBothExist) {
    StandInProcess server({"--class", "both"});
    ASSERT_SERVER_STARTED(server);
    ASSERT_NE(server.Window("FS98MAIN"), nullptr);
    IpcResult result = IpcResult::Ok;
    ASSERT_TRUE(IpcOpen(0, &result)) << IpcResultName(result);
    EXPECT_EQ(ipcSession.serverWindow, server.Window("UIPCMAIN"));
}

TEST_F(Session, NoServerWindowAcquiresNothing) {
    ASSERT_TRUE(NoServerWindow(5000));
    const uint32_t count = ipcSession.openCount;
    IpcResult result = IpcResult::Ok;
    EXPECT_FALSE(IpcOpen(0, &result));
    EXPECT_EQ(result, IpcResult::NoServerWindow);
    EXPECT_EQ(ipcSession.openCount, count);
    EXPECT_EQ(ipcSession.block, nullptr);
}

// Another process owns the names of our next blocks: an open must not use such a
// block (it could be read or changed behind our back), must close the handle it got
// for it, and the open after it works under the next number. Two names are taken,
// so that the handle count is compared over the second failed open, after the
// first has set up whatever the system keeps for the thread's first window calls.
TEST_F(Session, NextBlockNameTakenByAnotherProcess) {
    StandInProcess server({"--pitch-raw", std::to_string(kPitchRaw)});
    ASSERT_SERVER_STARTED(server);
    const uint32_t first = ipcSession.openCount + 1;
    const std::string names[2] = {BlockName(first), BlockName(first + 1)};
    ChildProcess holder;
    std::string error;
    ASSERT_TRUE(holder.Start("holdmapping.exe", {names[0], names[1]}, &error)) << error;
    ASSERT_TRUE(holder.WaitForLine("holdmapping: holding", 10000)) << holder.Output();

    DWORD handles = 0;
    for (uint32_t i = 0; i < 2; ++i) {
        if (i == 1) handles = HandleCount();
        IpcResult result = IpcResult::Ok;
        EXPECT_FALSE(IpcOpen(0, &result));
        EXPECT_EQ(result, IpcResult::CreateMappingFailed);
        EXPECT_EQ(ipcSession.openCount, first + i);
        EXPECT_EQ(ipcSession.block, nullptr);
        EXPECT_EQ(ipcSession.mapping, nullptr);
        EXPECT_EQ(GlobalFindAtomA(names[i].c_str()), 0);
    }
    EXPECT_EQ(HandleCount(), handles) << "the handle of the existing mapping was kept";
    // The other process's blocks are still there and untouched.
    for (const std::string& name : names) {
        HANDLE theirs = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
        ASSERT_NE(theirs, nullptr);
        const auto* view =
            static_cast<const uint8_t*>(MapViewOfFile(theirs, FILE_MAP_READ, 0, 0, 0));
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view[0], 0x5A);
        EXPECT_EQ(view[0x7FFF], 0x5A);
        UnmapViewOfFile(view);
        CloseHandle(theirs);
    }

    IpcResult result = IpcResult::Ok;
    ASSERT_TRUE(IpcOpen(0, &result)) << IpcResultName(result);
    EXPECT_EQ(ipcSession.openCount, first + 2);
    PollValues values;
    ASSERT_TRUE(Poll(&values, &result)) << IpcResultName(result);
    EXPECT_EQ(values.pitch, kPitchRaw);
}

// Repeated sessions leave no atom, no block and no handle behind. Most cycles use
// a server that answers the handshake with 2, so that each open acquires atom,
// mapping and view, exchanges once and releases them at once (BadReply), without the
// 100 ms handshake pause; a run of full, successful sessions follows.
TEST_F(Session, RepeatedSessionsLeaveNothingBehind) {
    struct Run {
        const char* what;
        std::vector<std::string> server;
        int cycles;
        IpcResult result;
    } const kRuns[] = {
        {"opens ending in BadReply", {"--reply", "2"}, 200, IpcResult::BadReply},
        {"successful open, poll, close", {}, 25, IpcResult::Ok},
    };
    for (const Run& run : kRuns) {
        SCOPED_TRACE(run.what);
        StandInProcess server(run.server);
        ASSERT_SERVER_STARTED(server);
        IpcResult result = IpcResult::Ok;
        // One cycle first: the first exchange of the process sets up what the system
        // keeps for good (the timer resolution, Wine's own handles).
        IpcOpen(0, &result);
        IpcClose();
        const DWORD handles = HandleCount();
        HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_EQ(HandleCount(), handles + 1) << "the handle count does not see a new handle";
        CloseHandle(probe);
        std::vector<std::string> names;
        for (int i = 0; i < run.cycles; ++i) {
            const bool opened = IpcOpen(0, &result);
            names.push_back(BlockName(ipcSession.openCount));
            ASSERT_EQ(result, run.result) << "cycle " << i << ": " << IpcResultName(result);
            if (opened) {
                PollValues values;
                ASSERT_TRUE(Poll(&values, &result)) << IpcResultName(result);
            }
            IpcClose();
        }
        EXPECT_EQ(HandleCount(), handles);
        int atomsLeft = 0, blocksLeft = 0;
        for (const std::string& name : names) {
            atomsLeft += GlobalFindAtomA(name.c_str()) != 0;
            blocksLeft += MappingExists(name);
        }
        EXPECT_EQ(atomsLeft, 0);
        EXPECT_EQ(blocksLeft, 0);
        ServerCounts counts{};
        ASSERT_TRUE(server.Close(&counts)) << server.child().Output();
        EXPECT_EQ(counts.refused, 0u);
    }
}

} // namespace
