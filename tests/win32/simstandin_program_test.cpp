// simstandin.exe as a program: its command line, its attitude sources, how it ends,
// and how it stands up to clients that get the protocol wrong.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "angle.h"
#include "attitude_source.h"
#include "ipc_test_support.h"

namespace {

TEST(StandInProgram, HelpAndBadCommandLines) {
    DWORD code = 0;
    std::string output;
    ASSERT_TRUE(RunToEnd("simstandin.exe", {"--help"}, 10000, &code, &output));
    EXPECT_EQ(code, 0u);
    EXPECT_NE(output.find("--attitude csv --csv FILE"), std::string::npos) << output;

    struct {
        std::vector<std::string> args;
        const char* message;
    } const kBad[] = {
        {{"--bogus"}, "simstandin: unknown option '--bogus' (see --help)"},
        {{"--tamper", "all"},
         "simstandin: --tamper: 'all' is not one of none, type, size, end, offset, garbage"},
        {{"--attitude", "csv"}, "simstandin: --attitude csv needs --csv FILE"},
        {{"--fault-count", "3"},
         "simstandin: --fault-count needs a fault to count: --reply other than 1, --delay-ms or "
         "--tamper"},
        {{"--record", "no_such_dir_for_simstandin\\record.log"},
         "simstandin: --record no_such_dir_for_simstandin\\record.log: cannot create the file"},
    };
    for (const auto& bad : kBad) {
        ASSERT_TRUE(RunToEnd("simstandin.exe", bad.args, 10000, &code, &output));
        EXPECT_EQ(code, 2u) << output;
        EXPECT_NE(output.find(bad.message), std::string::npos) << output;
        EXPECT_EQ(output.find("simstandin: ready"), std::string::npos);
    }
}

// A CSV file in the temporary directory, removed at the end of the test.
class CsvTrack : public IpcLinkTest {
  protected:
    void Write(const char* text) {
        FILE* file = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path_;
        std::fputs(text, file);
        std::fclose(file);
    }
    void TearDown() override {
        std::remove(path_.c_str());
        IpcLinkTest::TearDown();
    }
    std::string path_ = ::testing::TempDir() + "simstandin_track.csv";
};

TEST_F(CsvTrack, MalformedOrMissingFileIsRefusedAtStartUp) {
    Write("time,pitch,bank\n0,1,2\n1,2\n");
    DWORD code = 0;
    std::string output;
    ASSERT_TRUE(RunToEnd("simstandin.exe", {"--csv", path_}, 10000, &code, &output));
    EXPECT_EQ(code, 2u);
    EXPECT_NE(output.find(path_ + ": line 3: expected 3 values (time,pitch,bank), found 2"),
              std::string::npos)
        << output;
    std::remove(path_.c_str());
    ASSERT_TRUE(RunToEnd("simstandin.exe", {"--csv", path_}, 10000, &code, &output));
    EXPECT_EQ(code, 2u);
    EXPECT_NE(output.find(path_ + ": cannot read the file"), std::string::npos) << output;
}

TEST_F(CsvTrack, ReplaysTheFileInRealTime) {
    // Level at 12.5 degrees of pitch, then a roll from 0 to 90 degrees over 10 s.
    Write("# replay test\ntime,pitch,bank\n0,12.5,0\n10,12.5,90\n3600,12.5,90\n");
    ASSERT_NO_FATAL_FAILURE(StartAndOpen({"--attitude", "csv", "--csv", path_}));
    IpcResult result = IpcResult::Ok;
    PollValues first, later;
    ASSERT_TRUE(Poll(&first, &result));
    Sleep(300);
    ASSERT_TRUE(Poll(&later, &result));
    EXPECT_EQ(first.pitch, DegreesToRaw(12.5));
    EXPECT_EQ(later.pitch, DegreesToRaw(12.5));
    // 9 degrees a second: both within the first half of the roll, the later further on.
    const float bankFirst = RawToDegrees(first.bank), bankLater = RawToDegrees(later.bank);
    EXPECT_GE(bankFirst, 0.0f);
    EXPECT_GT(bankLater, bankFirst + 1.0f);
    EXPECT_LT(bankLater, 45.0f);
}

// A server started with --record into the temporary directory; the file is removed
// at the end of the test, after the server has ended.
class RecordedServer : public IpcLinkTest {
  protected:
    void TearDown() override {
        IpcLinkTest::TearDown();
        server_.reset();
        std::remove(path_.c_str());
    }
    std::vector<RecordEntry> Record() {
        std::vector<RecordEntry> entries;
        std::string error;
        EXPECT_TRUE(ReadServerRecord(path_, &entries, &error)) << error;
        return entries;
    }
    static std::vector<RecordEntry> Exchanges(const std::vector<RecordEntry>& entries) {
        std::vector<RecordEntry> kept;
        for (const RecordEntry& e : entries) {
            if (!e.change) kept.push_back(e);
        }
        return kept;
    }
    std::string path_ = ::testing::TempDir() + "simstandin_record.log";
};

TEST_F(RecordedServer, RecordsEveryMessageAndEveryStepInTimeOrder) {
    ASSERT_NO_FATAL_FAILURE(
        StartAndOpen({"--attitude", "steps", "--step-ms", "40", "--record", path_}));
    IpcResult result = IpcResult::Ok;
    std::vector<PollValues> polled(25);
    for (PollValues& values : polled) {
        ASSERT_TRUE(Poll(&values, &result)) << IpcResultName(result);
        Sleep(10);
    }
    // A message that names no block.
    DWORD_PTR reply = 1;
    ASSERT_NE(SendMessageTimeoutA(server_->Window("UIPCMAIN"),
                                  RegisterWindowMessageA("FsasmLib:IPC"), 0, 0, SMTO_BLOCK, 2000,
                                  &reply),
              0);
    EXPECT_EQ(reply, 0u);
    IpcClose();
    ServerCounts counts{};
    ASSERT_TRUE(server_->Close(&counts)) << server_->child().Output();

    const std::vector<RecordEntry> entries = Record();
    const std::vector<RecordEntry> exchanges = Exchanges(entries);
    ASSERT_EQ(exchanges.size(), 1 + polled.size() + 1);
    EXPECT_EQ(exchanges.size(), counts.exchanges + counts.refused);
    // The handshake, the polls, and the message the server could not serve: each
    // batch with its end marker.
    const auto expectExchange = [](const RecordEntry& e, uint64_t bytes, uint32_t reads,
                                   uint32_t writes, uint32_t answer) {
        EXPECT_EQ(e.bytes, bytes);
        EXPECT_EQ(e.reads, reads);
        EXPECT_EQ(e.writes, writes);
        EXPECT_EQ(e.reply, answer);
    };
    expectExchange(exchanges.front(), 54 + 4, 2, 1, 1);
    for (size_t i = 1; i <= polled.size(); ++i) {
        SCOPED_TRACE("poll " + std::to_string(i));
        expectExchange(exchanges[i], 58 + 4, 3, 0, 1);
    }
    expectExchange(exchanges.back(), 0, 0, 0, 0);

    // Steps every 40 ms to the microsecond, the first at the server's start, and
    // every poll got the step in force when its message came in.
    std::vector<RecordEntry> changes;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(entries[i].micros, entries[i - 1].micros) << "line " << i + 1;
        }
        if (entries[i].change) changes.push_back(entries[i]);
    }
    ASSERT_GE(changes.size(), 2u);
    EXPECT_LE(changes.front().micros, exchanges.front().micros);
    for (size_t k = 0; k < changes.size(); ++k) {
        EXPECT_EQ(changes[k].pitchRaw, SteppedAttitude(k).pitch) << "step " << k;
        EXPECT_EQ(changes[k].bankRaw, SteppedAttitude(k).bank) << "step " << k;
        EXPECT_EQ(changes[k].micros - changes.front().micros, (long long)k * 40000) << "step " << k;
    }
    for (size_t i = 0; i < polled.size(); ++i) {
        const long long at = exchanges[i + 1].micros;
        size_t k = 0;
        while (k + 1 < changes.size() && changes[k + 1].micros <= at)
            ++k;
        EXPECT_EQ(polled[i].pitch, changes[k].pitchRaw) << "poll " << i + 1;
        EXPECT_EQ(polled[i].bank, changes[k].bankRaw) << "poll " << i + 1;
    }
    EXPECT_NE(polled.front().pitch, polled.back().pitch) << "the attitude never stepped";
}

// --fault-count: the fault takes its turn, lasts its count, and the server then
// answers as before, on the same session.
struct BoundedFault {
    const char* name;
    std::vector<std::string> fault;
    IpcResult faultyResult; // of a poll while the fault lasts
    uint32_t faultyReply;
};

TEST_F(RecordedServer, BoundedFaultEndsAndTheSessionGoesOn) {
    const BoundedFault kFaults[] = {
        {"reply 2", {"--reply", "2"}, IpcResult::BadReply, 2},
        {"first type broken", {"--tamper", "type"}, IpcResult::Ok, 1},
    };
    for (const BoundedFault& f : kFaults) {
        SCOPED_TRACE(f.name);
        std::vector<std::string> args = {"--pitch-raw",   "123", "--fault-after", "1",
                                         "--fault-count", "2",   "--record",      path_};
        args.insert(args.end(), f.fault.begin(), f.fault.end());
        ASSERT_NO_FATAL_FAILURE(StartAndOpen(args));
        for (int i = 0; i < 2; ++i) {
            PollValues values;
            IpcResult result = IpcResult::NotOpen;
            Poll(&values, &result);
            EXPECT_EQ(result, f.faultyResult) << IpcResultName(result);
            EXPECT_EQ(values.pitch, kUntouchedPitch) << "copied during the fault";
        }
        PollValues values;
        IpcResult result = IpcResult::NotOpen;
        EXPECT_TRUE(Poll(&values, &result)) << IpcResultName(result);
        EXPECT_EQ(values.pitch, 123);
        IpcClose();
        ASSERT_TRUE(server_->Close());
        const std::vector<RecordEntry> exchanges = Exchanges(Record());
        ASSERT_EQ(exchanges.size(), 4u);
        const uint32_t replies[] = {1, f.faultyReply, f.faultyReply, 1};
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(exchanges[i].reply, replies[i]) << "exchange " << i;
    }
}

TEST_F(IpcLinkTest, ScriptedManoeuvreMovesWithinItsLimits) {
    ASSERT_NO_FATAL_FAILURE(StartAndOpen({"--attitude", "script"}));
    IpcResult result = IpcResult::Ok;
    PollValues first;
    ASSERT_TRUE(Poll(&first, &result));
    PollValues values;
    for (int i = 0; i < 10; ++i) {
        Sleep(50);
        ASSERT_TRUE(Poll(&values, &result));
        EXPECT_LE(std::fabs(RawToDegrees(values.pitch)), 20.0f);
        EXPECT_LE(std::fabs(RawToDegrees(values.bank)), 60.0f);
    }
    EXPECT_NE(values.bank, first.bank);
    EXPECT_NE(values.pitch, first.pitch);
}

TEST_F(IpcLinkTest, EndsAfterItsExchangesOrSecondsByItself) {
    ASSERT_NO_FATAL_FAILURE(StartAndOpen({"--quit-after", "3"}));
    IpcResult result = IpcResult::Ok;
    PollValues values;
    ASSERT_TRUE(Poll(&values, &result));
    ASSERT_TRUE(Poll(&values, &result)) << "the last exchange is still answered";
    DWORD code = 1;
    ASSERT_TRUE(server_->child().WaitForExit(5000, &code));
    EXPECT_EQ(code, 0u);
    ServerCounts counts{};
    ASSERT_TRUE(ParseServerCounts(server_->child().Output(), &counts));
    EXPECT_EQ(counts.exchanges, 3u);
    IpcClose();

    StandInProcess timed({"--seconds", "1"});
    ASSERT_SERVER_STARTED(timed);
    ASSERT_TRUE(timed.child().WaitForExit(10000, &code)) << "still running after 10 s";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(ParseServerCounts(timed.child().Output(), &counts));
}

// A client's message that names no block, or a block that is not what it should
// be: the server answers 0 and goes on serving.
class HostileClient : public IpcLinkTest {
  protected:
    void SetUp() override {
        server_ = std::make_unique<StandInProcess>(std::vector<std::string>{});
        ASSERT_SERVER_STARTED(*server_);
        window_ = server_->Window("UIPCMAIN");
        message_ = RegisterWindowMessageA("FsasmLib:IPC");
    }
    void TearDown() override {
        for (ATOM atom : atoms_)
            GlobalDeleteAtom(atom);
        for (HANDLE mapping : mappings_)
            CloseHandle(mapping);
        IpcLinkTest::TearDown();
    }
    // A named block of `size` bytes with an atom of its name; returns its view.
    uint8_t* Block(const char* name, DWORD size, ATOM* atom) {
        HANDLE mapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
        if (!mapping) return nullptr;
        mappings_.push_back(mapping);
        *atom = GlobalAddAtomA(name);
        atoms_.push_back(*atom);
        return static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    }
    // Sends the protocol's message; the server's answer, or -1 if it gave none.
    long long Send(WPARAM wParam) {
        DWORD_PTR reply = 0;
        if (!SendMessageTimeoutA(window_, message_, wParam, 0, SMTO_BLOCK, 2000, &reply)) return -1;
        return (long long)reply;
    }
    static void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

    HWND window_ = nullptr;
    UINT message_ = 0;
    std::vector<ATOM> atoms_;
    std::vector<HANDLE> mappings_;
};

TEST_F(HostileClient, IsAnsweredZeroAndTheServerGoesOn) {
    ASSERT_NE(window_, nullptr);
    EXPECT_EQ(Send(0), 0) << "no atom";
    EXPECT_EQ(Send(0x12345), 0) << "wParam wider than an atom";
    const ATOM orphan = GlobalAddAtomA("FsasmLib:IPC:test:no-block");
    atoms_.push_back(orphan);
    EXPECT_EQ(Send(orphan), 0) << "an atom with no block of its name";

    // A block of one page whose read record claims 30000 bytes: a server that took
    // every block for 32768 bytes would run off the mapping and crash.
    ATOM shortAtom = 0;
    uint8_t* shortBlock = Block("FsasmLib:IPC:test:short", 4096, &shortAtom);
    ASSERT_NE(shortBlock, nullptr);
    Put32(shortBlock, 1);
    Put32(shortBlock + 4, 0x0578);
    Put32(shortBlock + 8, 30000);
    Put32(shortBlock + 12, 0);
    EXPECT_EQ(Send(shortAtom), 0) << "record running off a short block";
    // The same short block with a proper batch is served.
    Put32(shortBlock + 8, 4);
    Put32(shortBlock + 20, 0);
    Put32(shortBlock + 16, 0xFFFFFFFF);
    EXPECT_EQ(Send(shortAtom), 1);
    uint32_t pitch = 1;
    std::memcpy(&pitch, shortBlock + 16, 4);
    EXPECT_EQ(pitch, 0u) << "the level pitch was not read";

    // A whole block of 0xFF: an unknown type at once.
    ATOM junkAtom = 0;
    uint8_t* junk = Block("FsasmLib:IPC:test:junk", 0x8000, &junkAtom);
    ASSERT_NE(junk, nullptr);
    std::memset(junk, 0xFF, 0x8000);
    EXPECT_EQ(Send(junkAtom), 0) << "unknown record type";

    // Still a working server for a real client.
    IpcResult result = IpcResult::Ok;
    EXPECT_TRUE(IpcOpen(0, &result)) << IpcResultName(result);
    UnmapViewOfFile(shortBlock);
    UnmapViewOfFile(junk);
    IpcClose();
    ServerCounts counts{};
    ASSERT_TRUE(server_->Close(&counts)) << server_->child().Output();
    EXPECT_EQ(counts.refused, 3u);
    EXPECT_EQ(counts.malformed, 2u);
    EXPECT_EQ(counts.exchanges, 3u + 1u);
}

} // namespace
