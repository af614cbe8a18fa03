// The link workers over the fake IPC OS, with real threads (instrumented).
// Built twice: under ASan/UBSan with the other native tests, and under
// ThreadSanitizer, where the stress test races key writes against polls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "attitude_state.h"
#include "fake_ipc_os.h"
#include "fake_threads.h"
#include "ipc_client.h"
#include "link_workers.h"
#include "threads.h"

namespace {

using namespace std::chrono_literals;

template <typename Pred> bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(200us);
    }
    return true;
}

void SetSim32(uint32_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        fakeIpc->simData[offset + uint32_t(i)] = uint8_t(value >> (8 * i));
}

class LinkWorkers : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetFakeIpc();
        attitudeState.pitchRaw = 0;
        attitudeState.bankRaw = 0;
        attitudeState.linkUp = 0;
        pollWorkerThread = 0;
        fakeThreads.peakRunning = 0;
        fakeThreads.started = 0;
        fakeThreads.endedHoldingLock = false;
    }
    void TearDown() override {
        // No worker may outlive the fake it talks to.
        LockLink();
        IpcClose();
        attitudeState.linkUp = 0;
        UnlockLink();
        SupervisePollWorker();
        EXPECT_TRUE(WaitFor([] { return !ThreadRunning(pollWorkerThread); }));
        EXPECT_FALSE(fakeThreads.endedHoldingLock);
    }
};

TEST_F(LinkWorkers, ConnectOpensWhileDownAndOnlyThen) {
    fakeIpc->windowClasses = {};
    ConnectAttempt();
    EXPECT_EQ(attitudeState.linkUp, 0);
    fakeIpc->windowClasses = {"UIPCMAIN"};
    ConnectAttempt();
    EXPECT_EQ(attitudeState.linkUp, 1);
    EXPECT_NE(ipcSession.block, nullptr);
    const int finds = fakeIpc->CountCalls("FindWindow");
    ConnectAttempt();
    EXPECT_EQ(fakeIpc->CountCalls("FindWindow"), finds) << "no open while the link is up";
    EXPECT_TRUE(LinkLockFree());
}

TEST_F(LinkWorkers, PollStoresBothValuesAfterASuccessfulExchange) {
    PollTurn();
    EXPECT_EQ(fakeIpc->sends, 0) << "nothing is polled while the link is down";
    ConnectAttempt();
    fakeIpc->sentBatches.clear();
    SetSim32(0x0578, uint32_t(-123456789));
    SetSim32(0x057C, 987654321);
    SetSim32(0x0D0C, 0xFFFF);
    PollTurn();
    EXPECT_EQ(attitudeState.pitchRaw, -123456789);
    EXPECT_EQ(attitudeState.bankRaw, 987654321);
    ASSERT_EQ(fakeIpc->sentBatches.size(), 1u);
    EXPECT_EQ(fakeIpc->sentBatches[0].size(), 58u + 4u);
    EXPECT_TRUE(LinkLockFree());
}

TEST_F(LinkWorkers, FailedExchangeClosesTheSessionAndKeepsTheAttitude) {
    ConnectAttempt();
    SetSim32(0x0578, 111);
    SetSim32(0x057C, 222);
    PollTurn();
    fakeIpc->reply = 2;
    SetSim32(0x0578, 333);
    PollTurn();
    EXPECT_EQ(attitudeState.linkUp, 0);
    EXPECT_EQ(ipcSession.block, nullptr);
    EXPECT_TRUE(fakeIpc->liveAtoms.empty());
    EXPECT_EQ(attitudeState.pitchRaw, 111);
    EXPECT_EQ(attitudeState.bankRaw, 222);

    fakeIpc->reply = 1;
    ConnectAttempt();
    EXPECT_EQ(attitudeState.linkUp, 1);
    EXPECT_EQ(ipcSession.openCount, 2u);
    PollTurn();
    EXPECT_EQ(attitudeState.pitchRaw, 333);
}

// A server that breaks the batch's headers gets an Ok exchange in which the walk
// copies only what it can trust: the attitude it did not copy stays as it was.
TEST_F(LinkWorkers, ReadsTheWalkDidNotCopyKeepTheirValues) {
    ConnectAttempt();
    SetSim32(0x0578, 111);
    SetSim32(0x057C, 222);
    PollTurn();
    fakeIpc->onSend = [](uint8_t* block, uintptr_t* reply) {
        SetSim32(0x0578, 333);
        SetSim32(0x057C, 444);
        FakeServe(block, reply);
        block[20] = 7; // the bank record's type: the walk stops after the pitch
        return true;
    };
    PollTurn();
    EXPECT_EQ(attitudeState.linkUp, 1);
    EXPECT_EQ(attitudeState.pitchRaw, 333);
    EXPECT_EQ(attitudeState.bankRaw, 222);
}

// Up: a worker is started at the next pass and polls; down: it is asked to stop
// and ends outside the lock; up again: a new one is started.
TEST_F(LinkWorkers, SupervisorFollowsTheLink) {
    SupervisePollWorker();
    EXPECT_EQ(fakeThreads.started, 0);
    ConnectAttempt();
    LockLink();
    SetSim32(0x0578, 4242);
    UnlockLink();
    SupervisePollWorker();
    EXPECT_EQ(fakeThreads.started, 1);
    EXPECT_NE(pollWorkerThread, 0u);
    EXPECT_TRUE(WaitFor([] { return attitudeState.pitchRaw == 4242; }));
    SupervisePollWorker();
    EXPECT_EQ(fakeThreads.started, 1) << "one worker while it runs";

    LockLink();
    fakeIpc->reply = 0;
    UnlockLink();
    EXPECT_TRUE(WaitFor([] { return attitudeState.linkUp == 0; }));
    SupervisePollWorker();
    EXPECT_TRUE(WaitFor([] { return !ThreadRunning(pollWorkerThread); }));
    EXPECT_FALSE(fakeThreads.endedHoldingLock);
    EXPECT_TRUE(LinkLockFree());

    LockLink();
    fakeIpc->reply = 1;
    UnlockLink();
    ConnectAttempt();
    SupervisePollWorker();
    EXPECT_EQ(fakeThreads.started, 2);
    EXPECT_EQ(fakeThreads.peakRunning, 1);
}

// The link drops and returns between two passes, over and over: whatever the
// timing, a new worker starts only after the old one has ended.
TEST_F(LinkWorkers, NeverTwoPollWorkersWhenTheLinkFlaps) {
    ConnectAttempt();
    for (int i = 0; i < 300; ++i) {
        SupervisePollWorker();
        if (i % 3 == 0) {
            LockLink();
            IpcClose();
            attitudeState.linkUp = 0;
            UnlockLink();
            SupervisePollWorker(); // asks the running worker to stop
            ConnectAttempt();      // and the link is back before it has
        }
        std::this_thread::sleep_for(std::chrono::microseconds(i % 7 * 150));
    }
    EXPECT_EQ(fakeThreads.peakRunning, 1);
    EXPECT_GT(fakeThreads.started, 1);
    EXPECT_FALSE(fakeThreads.endedHoldingLock);
}

// Connect attempts, polls against a server that fails now and then, and the
// main thread's passes with key steps, all at once. Under ThreadSanitizer any
// unsynchronised access shows here.
TEST_F(LinkWorkers, StressKeysRacingPolls) {
    static std::atomic<uint32_t> exchanges{0};
    exchanges = 0;
    fakeIpc->onSend = [](uint8_t* block, uintptr_t* reply) {
        const uint32_t n = ++exchanges;
        SetSim32(0x0578, n);
        SetSim32(0x057C, ~n);
        FakeServe(block, reply);
        if (n % 97 == 0) *reply = 2; // the link drops now and then
        return true;
    };
    std::atomic<bool> stop{false};
    std::thread connector([&stop] {
        while (!stop) {
            ConnectAttempt();
            std::this_thread::sleep_for(1ms);
        }
    });
    int32_t seen = 0;
    const auto end = std::chrono::steady_clock::now() + 1500ms;
    while (std::chrono::steady_clock::now() < end) {
        SupervisePollWorker();
        seen ^= attitudeState.pitchRaw.load() ^ attitudeState.bankRaw.load();
        attitudeState.bankRaw.store(attitudeState.bankRaw.load() + 10000000);
        std::this_thread::sleep_for(1ms);
    }
    stop = true;
    connector.join();
    EXPECT_GT(exchanges.load(), 100u);
    EXPECT_GT(fakeThreads.started, 1) << "the link dropped and came back";
    EXPECT_EQ(fakeThreads.peakRunning, 1);
    (void)seen;
}

} // namespace
