// The IPC client's exchange against servers that fail: gone, hung, slow, answering
// something other than 1, or breaking the headers of the batch.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ipc_test_support.h"

namespace {

constexpr int32_t kPitchRaw = 0x0BADF00D;
constexpr int32_t kBankRaw = -0x12345678;

// A session opened with a server that behaves for the handshake and misbehaves from
// the first poll on (--fault-after 1).
class FaultySession : public IpcLinkTest {
  protected:
    void Open(std::vector<std::string> faults) {
        std::vector<std::string> args = {"--pitch-raw",   std::to_string(kPitchRaw),
                                         "--bank-raw",    std::to_string(kBankRaw),
                                         "--fault-after", "1"};
        args.insert(args.end(), faults.begin(), faults.end());
        StartAndOpen(args);
    }
    // A poll whose every send fails, within the given seconds: time limits here are
    // guards against a retry loop gone wrong, not measurements.
    void ExpectSendsFail(double atLeast, double atMost) {
        PollValues values;
        IpcResult result = IpcResult::Ok;
        const LARGE_INTEGER start = Now();
        EXPECT_FALSE(Poll(&values, &result));
        const double seconds = SecondsSince(start);
        EXPECT_EQ(result, IpcResult::SendFailedWithError) << IpcResultName(result);
        EXPECT_GT(seconds, atLeast);
        EXPECT_LT(seconds, atMost);
        ExpectLostBatch(values);
    }
    // The batch was lost: nothing copied, the queue empty, the session still open.
    void ExpectLostBatch(const PollValues& values) {
        EXPECT_EQ(values.pitch, kUntouchedPitch);
        EXPECT_EQ(values.bank, kUntouchedBank);
        EXPECT_EQ(values.unused, kUntouchedUnused);
        EXPECT_NE(ipcSession.block, nullptr);
        EXPECT_EQ(ipcSession.cursor, ipcSession.block);
    }
};

TEST_F(FaultySession, ServerGoneMidSession) {
    ASSERT_NO_FATAL_FAILURE(Open({}));
    HWND window = server_->Window("UIPCMAIN");
    server_->Kill();
    ASSERT_FALSE(IsWindow(window));
    // Nine sends that fail at once and nine pauses of 100 ms: about 0.9 s.
    ExpectSendsFail(0.5, 10.0);
}

TEST_F(FaultySession, ReplyOtherThanOneLosesTheBatch) {
    for (const char* reply : {"2", "0"}) {
        SCOPED_TRACE(std::string("reply ") + reply);
        ASSERT_NO_FATAL_FAILURE(Open({"--reply", reply}));
        PollValues values;
        IpcResult result = IpcResult::Ok;
        EXPECT_FALSE(Poll(&values, &result));
        EXPECT_EQ(result, IpcResult::BadReply) << IpcResultName(result);
        ExpectLostBatch(values);
        // The server did fill the block; the client did not take it.
        int32_t inBlock = 0;
        std::memcpy(&inBlock, ipcSession.block + 16, 4);
        EXPECT_EQ(inBlock, kPitchRaw);
        IpcClose();
        ASSERT_TRUE(server_->Close());
    }
}

TEST_F(IpcLinkTest, ReplyOtherThanOneEndsTheOpen) {
    StandInProcess server({"--reply", "2"});
    ASSERT_SERVER_STARTED(server);
    IpcResult result = IpcResult::Ok;
    EXPECT_FALSE(IpcOpen(0, &result));
    EXPECT_EQ(result, IpcResult::BadReply);
    EXPECT_EQ(ipcSession.block, nullptr);
}

TEST_F(FaultySession, SlowServerIsWaitedFor) {
    ASSERT_NO_FATAL_FAILURE(Open({"--delay-ms", "300"}));
    PollValues values;
    IpcResult result = IpcResult::Ok;
    const LARGE_INTEGER start = Now();
    ASSERT_TRUE(Poll(&values, &result)) << IpcResultName(result);
    EXPECT_GE(SecondsSince(start), 0.29) << "the server's delay was not exercised";
    EXPECT_EQ(values.pitch, kPitchRaw);
    EXPECT_EQ(values.bank, kBankRaw);
}

// What the client's walk does with headers the server did not leave as written: it
// copies the reads before the first changed record and nothing after it, never
// follows a record past its own end marker, and still reports Ok.
struct TamperCase {
    const char* mode;
    bool pitchCopied, bankCopied, unusedCopied;
    bool firstTypeZeroed; // an unknown type is overwritten with 0 where the walk met it
};

const TamperCase kTamperCases[] = {
    {"type", false, false, false, true},    {"size", false, false, false, false},
    {"offset", true, false, false, false},  {"end", true, true, true, false},
    {"garbage", false, false, false, true},
};

TEST_F(FaultySession, TamperedHeadersStopTheWalkWithoutHarm) {
    for (const TamperCase& c : kTamperCases) {
        SCOPED_TRACE(std::string("tamper ") + c.mode);
        ASSERT_NO_FATAL_FAILURE(Open({"--tamper", c.mode}));
        PollValues values;
        IpcResult result = IpcResult::NotOpen;
        EXPECT_TRUE(Poll(&values, &result));
        EXPECT_EQ(result, IpcResult::Ok) << IpcResultName(result);
        EXPECT_EQ(values.pitch, c.pitchCopied ? kPitchRaw : kUntouchedPitch);
        EXPECT_EQ(values.bank, c.bankCopied ? kBankRaw : kUntouchedBank);
        EXPECT_EQ(values.unused, c.unusedCopied ? 0 : kUntouchedUnused);
        uint32_t firstType = 0;
        std::memcpy(&firstType, ipcSession.block, 4);
        EXPECT_EQ(firstType == 0, c.firstTypeZeroed) << "first type " << firstType;
        // The session goes on: the next batch is laid over the broken one.
        ASSERT_TRUE(IpcRead(0x0578, 4, &values.pitch, &result));
        ASSERT_TRUE(IpcProcess(&result)) << IpcResultName(result);
        IpcClose();
        ASSERT_TRUE(server_->Close());
    }
}

// Nine sends, each running into the 2000 ms time-out, and nine pauses: about 18.9 s.
TEST_F(FaultySession, HungServerTimesOut) {
    ASSERT_NO_FATAL_FAILURE(Open({"--hang"}));
    ExpectSendsFail(15.0, 60.0);
    EXPECT_TRUE(server_->child().WaitForLine("simstandin: hanging", 0));
    server_->Kill(); // it takes no more messages, WM_CLOSE included
}

} // namespace
