// The batch operations over the fake OS: layout, capacity, exchange and walk.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_ipc_os.h"
#include "ipc_client.h"
#include "serve_batch.h"

namespace {

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}

void PutSim32(uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        fakeIpc->simData[offset + uint32_t(i)] = uint8_t(value >> (8 * i));
}

uint32_t Used() {
    return uint32_t(ipcSession.cursor - ipcSession.block);
}

class IpcBatch : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetFakeIpc();
        IpcResult r;
        ASSERT_TRUE(IpcOpen(0, &r)) << IpcResultName(r);
        fakeIpc->calls.clear();
        fakeIpc->sentBatches.clear();
        fakeIpc->sends = 0;
        fakeIpc->sleeps.clear();
    }
    void TearDown() override { IpcClose(); }
};

TEST(IpcBatchClosed, EveryOperationReportsNotOpenAndSendsNothing) {
    ResetFakeIpc();
    IpcResult r = IpcResult::Ok;
    uint32_t v = 0;
    EXPECT_FALSE(IpcRead(0x578, 4, &v, &r));
    EXPECT_EQ(r, IpcResult::NotOpen);
    r = IpcResult::Ok;
    EXPECT_FALSE(IpcWrite(0x578, 4, &v, &r));
    EXPECT_EQ(r, IpcResult::NotOpen);
    r = IpcResult::Ok;
    EXPECT_FALSE(IpcProcess(&r));
    EXPECT_EQ(r, IpcResult::NotOpen);
    EXPECT_EQ(fakeIpc->sends, 0);
}

TEST_F(IpcBatch, EmptyBatchSendsNothing) {
    IpcResult r;
    EXPECT_FALSE(IpcProcess(&r));
    EXPECT_EQ(r, IpcResult::EmptyBatch);
    EXPECT_EQ(fakeIpc->sends, 0);
    EXPECT_EQ(ipcSession.cursor, ipcSession.block);
}

// Capacity: used + 16 + size <= 32512, with 16 added for writes too and no wrap.
TEST_F(IpcBatch, CapacityBoundaries) {
    struct Case {
        const char* name;
        uint32_t prefill; // size of a read queued first (0 = none)
        bool write;
        uint32_t size;
        bool accepted;
        uint32_t usedAfter;
    };
    const Case cases[] = {
        {"read 32496 on empty", 0, false, 32496, true, 32512},
        {"read 32497 on empty", 0, false, 32497, false, 0},
        {"write 32496 on empty", 0, true, 32496, true, 32508},
        {"write 32497 on empty", 0, true, 32497, false, 0},
        {"read 16 after 32480 queued", 32464, false, 16, true, 32512},
        {"write 20 after 32480 queued", 32464, true, 20, false, 32480},
        {"write 16 after 32480 queued", 32464, true, 16, true, 32508},
        {"read 2^32-1", 0, false, 0xFFFFFFFFu, false, 0},
        {"write 2^32-16", 0, true, 0xFFFFFFF0u, false, 0},
        {"read 2^32-16 after 32480 queued", 32464, false, 0xFFFFFFF0u, false, 32480},
    };
    static uint8_t source[32512];
    static uint8_t sink[32512];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ipcSession.cursor = ipcSession.block;
        IpcResult r;
        if (c.prefill) {
            ASSERT_TRUE(IpcRead(0, c.prefill, sink, &r));
        }
        std::vector<uint8_t> before(ipcSession.block, ipcSession.block + kIpcBlockSize);
        bool ok = c.write ? IpcWrite(0x100, c.size, source, &r) : IpcRead(0x100, c.size, sink, &r);
        EXPECT_EQ(ok, c.accepted);
        EXPECT_EQ(r, c.accepted ? IpcResult::Ok : IpcResult::BatchFull);
        EXPECT_EQ(Used(), c.accepted ? c.usedAfter : (c.prefill ? 16 + c.prefill : 0));
        if (!c.accepted) {
            EXPECT_EQ(0, std::memcmp(before.data(), ipcSession.block, kIpcBlockSize))
                << "a refused request wrote into the block";
        }
        // The bytes past 32512 + 4 are never the client's, whatever is queued.
        if (ok) {
            ASSERT_TRUE(IpcProcess(&r)) << IpcResultName(r);
            EXPECT_EQ(fakeIpc->sentBatches.back().size(), size_t(c.usedAfter) + 4);
        }
    }
}

TEST_F(IpcBatch, PollBatchImageIsByteExact) {
    int32_t pitch = 0, bank = 0;
    uint16_t discard = 0;
    IpcResult r;
    ASSERT_TRUE(IpcRead(0x0578, 4, &pitch, &r));
    ASSERT_TRUE(IpcRead(0x057C, 4, &bank, &r));
    ASSERT_TRUE(IpcRead(0x0D0C, 2, &discard, &r));
    EXPECT_EQ(Used(), 58u);

    std::vector<uint8_t> want;
    Put32(want, 1), Put32(want, 0x0578), Put32(want, 4), Put32(want, 1), Put32(want, 0);
    Put32(want, 1), Put32(want, 0x057C), Put32(want, 4), Put32(want, 2), Put32(want, 0);
    Put32(want, 1), Put32(want, 0x0D0C), Put32(want, 2), Put32(want, 3);
    want.push_back(0), want.push_back(0);
    ASSERT_EQ(want.size(), 58u);
    Put32(want, 0); // end marker

    PutSim32(0x0578, 0xC0000000u);
    PutSim32(0x057C, 10000000u);
    PutSim32(0x0D0C, 0xBEEF);
    ASSERT_TRUE(IpcProcess(&r)) << IpcResultName(r);
    ASSERT_EQ(fakeIpc->sentBatches.size(), 1u);
    EXPECT_EQ(fakeIpc->sentBatches[0], want);
    EXPECT_EQ(pitch, int32_t(0xC0000000u));
    EXPECT_EQ(bank, 10000000);
    EXPECT_EQ(discard, 0xBEEF);
    EXPECT_EQ(ipcSession.cursor, ipcSession.block);
}

TEST_F(IpcBatch, ZeroSizeAndNullDestinationCopyNothing) {
    uint32_t untouched = 0x11111111, target = 0;
    IpcResult r;
    ASSERT_TRUE(IpcRead(0x0578, 0, &untouched, &r));
    EXPECT_EQ(Used(), 16u);
    ASSERT_TRUE(IpcRead(0x0578, 4, nullptr, &r));
    ASSERT_TRUE(IpcRead(0x0578, 4, &target, &r));
    PutSim32(0x0578, 0xCAFEF00D);
    ASSERT_TRUE(IpcProcess(&r));
    const auto& sent = fakeIpc->sentBatches[0];
    uint32_t nullField;
    std::memcpy(&nullField, sent.data() + 16 + 12, 4);
    EXPECT_EQ(nullField, 0u) << "a read with no destination is sent with 0";
    EXPECT_EQ(untouched, 0x11111111u);
    EXPECT_EQ(target, 0xCAFEF00Du);
}

TEST_F(IpcBatch, RefusedRequestKeepsEarlierRecordsForTheNextExchange) {
    uint32_t first = 0;
    static uint8_t big[32512];
    IpcResult r;
    ASSERT_TRUE(IpcRead(0x057C, 4, &first, &r));
    EXPECT_FALSE(IpcRead(0, 32497, big, &r));
    EXPECT_EQ(r, IpcResult::BatchFull);
    EXPECT_FALSE(IpcWrite(0, 40000, big, &r));
    PutSim32(0x057C, 42);
    ASSERT_TRUE(IpcProcess(&r));
    EXPECT_EQ(fakeIpc->sentBatches[0].size(), 20u + 4u);
    EXPECT_EQ(first, 42u);
}

TEST_F(IpcBatch, WritesReachTheServerAndAreCopiedAtQueueTime) {
    uint8_t source[3] = {7, 8, 9};
    IpcResult r;
    ASSERT_TRUE(IpcWrite(0x2000, 3, source, &r));
    source[0] = 99; // the caller may reuse its buffer at once
    ASSERT_TRUE(IpcProcess(&r));
    EXPECT_EQ(fakeIpc->simData[0x2000], 7);
    EXPECT_EQ(fakeIpc->simData[0x2002], 9);
}

TEST_F(IpcBatch, TwoReadsIntoOneDestinationLeaveTheLaterRecord) {
    uint32_t v = 0;
    PutSim32(0x0100, 1111);
    PutSim32(0x0200, 2222);
    IpcResult r;
    ASSERT_TRUE(IpcRead(0x0100, 4, &v, &r));
    ASSERT_TRUE(IpcRead(0x0200, 4, &v, &r));
    ASSERT_TRUE(IpcProcess(&r));
    EXPECT_EQ(v, 2222u);
}

// Nine attempts, a 100 ms pause after every failure (the ninth too), the last
// error read once, and nothing copied.
TEST_F(IpcBatch, FailedSendsRetryNineTimesThenReportByLastError) {
    struct Case {
        int failing;
        uint32_t lastError;
        IpcResult want;
        int sends, pauses;
    };
    const Case cases[] = {
        {100, 0, IpcResult::SendFailedNoError, 9, 9},
        {100, 1400, IpcResult::SendFailedWithError, 9, 9},
        {8, 1400, IpcResult::Ok, 9, 8},
        {1, 0, IpcResult::Ok, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        fakeIpc->failingSends = c.failing;
        fakeIpc->lastError = c.lastError;
        fakeIpc->calls.clear();
        fakeIpc->sends = 0;
        fakeIpc->sleeps.clear();
        PutSim32(0x0578, 0x12345678);
        uint32_t v = 0xAAAAAAAA;
        IpcResult r;
        ASSERT_TRUE(IpcRead(0x0578, 4, &v, &r));
        EXPECT_EQ(IpcProcess(&r), c.want == IpcResult::Ok);
        EXPECT_EQ(r, c.want);
        EXPECT_EQ(fakeIpc->sends, c.sends);
        EXPECT_EQ(fakeIpc->sleeps, std::vector<uint32_t>(size_t(c.pauses), 100));
        EXPECT_EQ(fakeIpc->CountCalls("LastError"), c.want == IpcResult::Ok ? 0 : 1);
        EXPECT_EQ(v, c.want == IpcResult::Ok ? 0x12345678u : 0xAAAAAAAAu);
        EXPECT_EQ(ipcSession.cursor, ipcSession.block);
        EXPECT_NE(ipcSession.block, nullptr) << "a failed exchange leaves the session open";
    }
}

TEST_F(IpcBatch, ReplyOtherThanOneIsBadReplyWithNothingCopied) {
    for (uintptr_t reply : {uintptr_t(0), uintptr_t(2), uintptr_t(0x100000001ull)}) {
        SCOPED_TRACE(reply);
        fakeIpc->reply = reply;
        PutSim32(0x0578, 77);
        uint32_t v = 5;
        IpcResult r;
        ASSERT_TRUE(IpcRead(0x0578, 4, &v, &r));
        EXPECT_FALSE(IpcProcess(&r));
        EXPECT_EQ(r, IpcResult::BadReply);
        EXPECT_EQ(v, 5u);
        EXPECT_EQ(ipcSession.cursor, ipcSession.block);
    }
}

TEST_F(IpcBatch, UnknownTypeIsZeroedAndEndsTheWalkWithOk) {
    fakeIpc->onSend = [](uint8_t* block, uintptr_t* reply) {
        ServeBatch(block, kIpcBlockSize, fakeIpc->simData.data(), fakeIpc->simData.size());
        block[20] = 5; // second record's type (first is a 4-byte read: 20 bytes)
        *reply = 1;
        return true;
    };
    PutSim32(0x0578, 1), PutSim32(0x057C, 2), PutSim32(0x0580, 3);
    uint32_t a = 0, b = 0, c = 0;
    IpcResult r;
    IpcRead(0x0578, 4, &a, &r), IpcRead(0x057C, 4, &b, &r), IpcRead(0x0580, 4, &c, &r);
    EXPECT_TRUE(IpcProcess(&r));
    EXPECT_EQ(r, IpcResult::Ok);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(ipcSession.block[20], 0);
}

// A server that rewrites headers cannot steer the walk: it stops at the first
// record that no longer matches what was queued, keeps the reads before it, and
// never reads past the client's end marker (ASan watches the bounds).
TEST_F(IpcBatch, TamperedHeadersEndTheWalkAtTheFirstMismatch) {
    struct Case {
        Tamper how;
        bool firstCopied, secondCopied, thirdCopied;
    };
    const Case cases[] = {
        {Tamper::FirstSize, false, false, false}, {Tamper::SecondOffset, true, false, false},
        {Tamper::EndMarker, true, true, true},    {Tamper::Garbage, false, false, false},
        {Tamper::FirstType, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.how));
        fakeIpc->onSend = [how = c.how](uint8_t* block, uintptr_t* reply) {
            ServeBatch(block, kIpcBlockSize, fakeIpc->simData.data(), fakeIpc->simData.size());
            TamperBatch(block, kIpcBlockSize, how);
            *reply = 1;
            return true;
        };
        PutSim32(0x0578, 10), PutSim32(0x057C, 20), PutSim32(0x0D0C, 30);
        uint32_t a = 0, b = 0, d = 0;
        IpcResult r;
        IpcRead(0x0578, 4, &a, &r), IpcRead(0x057C, 4, &b, &r), IpcRead(0x0D0C, 2, &d, &r);
        EXPECT_TRUE(IpcProcess(&r));
        EXPECT_EQ(a, c.firstCopied ? 10u : 0u);
        EXPECT_EQ(b, c.secondCopied ? 20u : 0u);
        EXPECT_EQ(d, c.thirdCopied ? 30u : 0u);
    }
}

// The destination field is ours: a server that points a read at another
// record's destination must not redirect the copy.
TEST_F(IpcBatch, RewrittenDestinationFieldStopsTheWalk) {
    fakeIpc->onSend = [](uint8_t* block, uintptr_t* reply) {
        FakeServe(block, reply);
        block[20 + 12] = 1; // second read now claims the first read's destination
        return true;
    };
    PutSim32(0x0578, 10), PutSim32(0x057C, 20);
    uint32_t a = 0, b = 0;
    IpcResult r;
    IpcRead(0x0578, 4, &a, &r), IpcRead(0x057C, 4, &b, &r);
    EXPECT_TRUE(IpcProcess(&r));
    EXPECT_EQ(a, 10u);
    EXPECT_EQ(b, 0u);
}

TEST_F(IpcBatch, ResultCodeNamesFollowTheTable) {
    EXPECT_STREQ(IpcResultName(IpcResult::Ok), "Ok");
    EXPECT_STREQ(IpcResultName(IpcResult::NoServerWindow), "NoServerWindow");
    EXPECT_STREQ(IpcResultName(IpcResult::VersionRejectedFallback), "VersionRejectedFallback");
    EXPECT_STREQ(IpcResultName(IpcResult::BatchFull), "BatchFull");
    EXPECT_STREQ(IpcResultName(static_cast<IpcResult>(16)), "Unknown");
    EXPECT_STREQ(IpcResultName(static_cast<IpcResult>(-1)), "Unknown");
}

} // namespace
