// Opening and closing the session over the fake OS: window classes, naming,
// resources, the version handshake and the release order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_ipc_os.h"
#include "ipc_client.h"

namespace {

class IpcSessionTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetFakeIpc(); }
    void TearDown() override { IpcClose(); }

    IpcResult Open(uint32_t requested = 0) {
        IpcResult r = IpcResult::Ok;
        bool ok = IpcOpen(requested, &r);
        EXPECT_EQ(ok, r == IpcResult::Ok);
        return r;
    }

    // Nothing of a session is held: no atom, no mapping, no view.
    void ExpectNothingHeld() {
        EXPECT_TRUE(fakeIpc->liveAtoms.empty());
        EXPECT_TRUE(fakeIpc->liveMappings.empty());
        EXPECT_EQ(fakeIpc->liveViews, 0);
        EXPECT_EQ(ipcSession.block, nullptr);
        EXPECT_EQ(ipcSession.mapping, nullptr);
        EXPECT_EQ(ipcSession.atom, 0);
    }
};

TEST_F(IpcSessionTest, OpensAgainstAGoodServerInOneExchange) {
    EXPECT_EQ(Open(), IpcResult::Ok);
    EXPECT_EQ(ipcSession.serverWindow, reinterpret_cast<IpcWindow>(0x100));
    EXPECT_EQ(ipcSession.messageId, 0xC123u);
    EXPECT_EQ(fakeIpc->atomNames, std::vector<std::string>{"FsasmLib:IPC:2C4:1"});
    EXPECT_EQ(ipcSession.serverVersion, 0x19990005u);
    EXPECT_EQ(ipcSession.simulatorVersion, 0u) << "0xFADE0000 leaves identifier 0";
    EXPECT_EQ(fakeIpc->sends, 1);
    EXPECT_EQ(fakeIpc->sleeps, std::vector<uint32_t>{100});
    EXPECT_EQ(ipcSession.cursor, ipcSession.block);
}

TEST_F(IpcSessionTest, FirstHandshakeBatchIsByteExact) {
    ASSERT_EQ(Open(), IpcResult::Ok);
    const uint8_t want[] = {
        1, 0, 0, 0, 0x04, 0x33, 0, 0, 4, 0, 0, 0, 1,    0,    0, 0, 0, 0, 0, 0, // read 0x3304
        1, 0, 0, 0, 0x08, 0x33, 0, 0, 4, 0, 0, 0, 2,    0,    0, 0, 0, 0, 0, 0, // read 0x3308
        2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0, 0xD2, 0x07,                   // write 2002
        0, 0, 0, 0};                                                            // end marker
    static_assert(sizeof want == 54 + 4);
    ASSERT_EQ(fakeIpc->sentBatches.size(), 1u);
    EXPECT_EQ(fakeIpc->sentBatches[0], std::vector<uint8_t>(want, want + sizeof want));
}

TEST_F(IpcSessionTest, WindowClassPrecedenceAndFallbackCode) {
    struct Case {
        std::set<std::string> classes;
        uint32_t serverVersion;
        IpcResult want;
        uintptr_t window;
    };
    const Case cases[] = {
        {{"UIPCMAIN", "FS98MAIN"}, 0x19990005, IpcResult::Ok, 0x100},
        {{"FS98MAIN"}, 0x19990005, IpcResult::Ok, 0x200},
        {{"FS98MAIN"}, 0x19980004, IpcResult::VersionRejectedFallback, 0},
        {{"UIPCMAIN", "FS98MAIN"}, 0x19980004, IpcResult::VersionRejected, 0},
        {{}, 0x19990005, IpcResult::NoServerWindow, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.want));
        ResetFakeIpc();
        fakeIpc->windowClasses = c.classes;
        fakeIpc->serverVersion = c.serverVersion;
        EXPECT_EQ(Open(), c.want);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(ipcSession.serverWindow), c.window);
        IpcClose();
    }
    EXPECT_EQ(static_cast<int>(IpcResult::VersionRejectedFallback), 14);
    EXPECT_EQ(static_cast<int>(IpcResult::VersionRejected), 7);
}

// The counter is used from the naming step on, also by opens that fail later;
// failures before it (no window, no message) leave it alone.
TEST_F(IpcSessionTest, OpenCounterConsumption) {
    fakeIpc->windowClasses = {};
    EXPECT_EQ(Open(), IpcResult::NoServerWindow);
    fakeIpc->windowClasses = {"UIPCMAIN"};
    fakeIpc->messageId = 0;
    EXPECT_EQ(Open(), IpcResult::RegisterMessageFailed);
    EXPECT_EQ(ipcSession.openCount, 0u);
    EXPECT_TRUE(fakeIpc->atomNames.empty());

    fakeIpc->messageId = 0xC123;
    fakeIpc->failAddAtom = true;
    EXPECT_EQ(Open(), IpcResult::AddAtomFailed);
    fakeIpc->failAddAtom = false;
    fakeIpc->failCreateMapping = true;
    EXPECT_EQ(Open(), IpcResult::CreateMappingFailed);
    fakeIpc->failCreateMapping = false;
    fakeIpc->failMapView = true;
    EXPECT_EQ(Open(), IpcResult::MapViewFailed);
    fakeIpc->failMapView = false;
    ExpectNothingHeld();
    EXPECT_EQ(Open(), IpcResult::Ok);
    EXPECT_EQ(fakeIpc->atomNames,
              (std::vector<std::string>{"FsasmLib:IPC:2C4:1", "FsasmLib:IPC:2C4:2",
                                        "FsasmLib:IPC:2C4:3", "FsasmLib:IPC:2C4:4"}));
}

TEST_F(IpcSessionTest, NameUsesUpperCaseHexWithoutLeadingZeros) {
    fakeIpc->processId = 0xABCDEF;
    ipcSession.openCount = 0x2FE;
    EXPECT_EQ(Open(), IpcResult::Ok);
    EXPECT_EQ(fakeIpc->atomNames.back(), "FsasmLib:IPC:ABCDEF:2FF");
}

TEST_F(IpcSessionTest, ExistingMappingIsRefusedAndItsHandleClosed) {
    fakeIpc->existingMappings = {"FsasmLib:IPC:2C4:1"};
    EXPECT_EQ(Open(), IpcResult::CreateMappingFailed);
    EXPECT_EQ(fakeIpc->CountCalls("CloseHandle"), 1);
    EXPECT_EQ(fakeIpc->sends, 0) << "nothing is sent through someone else's block";
    ExpectNothingHeld();
    EXPECT_EQ(Open(), IpcResult::Ok);
    EXPECT_EQ(fakeIpc->atomNames.back(), "FsasmLib:IPC:2C4:2");
}

// Up to five exchanges, each followed by 100 ms; the write only in the first.
TEST_F(IpcSessionTest, HandshakeLength) {
    struct Case {
        uint32_t serverVersion, simulatorVersion;
        int fillAfter; // the server starts filling versions at this exchange (1-based)
        IpcResult want;
        int exchanges;
    };
    const Case cases[] = {
        {0x19990005, 0xFADE0000, 1, IpcResult::Ok, 1},
        {0x19990005, 0xFADE0000, 3, IpcResult::Ok, 3},
        {0x19990005, 0xFADE0000, 6, IpcResult::VersionRejected, 5},
        {0, 0xFADE0000, 1, IpcResult::VersionRejected, 5},
        {0x19990005, 0, 1, IpcResult::VersionRejected, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fillAfter);
        ResetFakeIpc();
        int exchange = 0;
        fakeIpc->onSend = [&](uint8_t* block, uintptr_t* reply) {
            bool filled = ++exchange >= c.fillAfter;
            fakeIpc->serverVersion = filled ? c.serverVersion : 0;
            fakeIpc->simulatorVersion = filled ? c.simulatorVersion : 0;
            return FakeServe(block, reply);
        };
        EXPECT_EQ(Open(), c.want);
        EXPECT_EQ(fakeIpc->sends, c.exchanges);
        EXPECT_EQ(fakeIpc->sleeps, std::vector<uint32_t>(size_t(c.exchanges), 100));
        ASSERT_EQ(fakeIpc->sentBatches.size(), size_t(c.exchanges));
        EXPECT_EQ(fakeIpc->sentBatches[0].size(), 54u + 4u);
        for (size_t i = 1; i < fakeIpc->sentBatches.size(); ++i)
            EXPECT_EQ(fakeIpc->sentBatches[i].size(), 40u + 4u) << "write only in the first batch";
        if (c.want != IpcResult::Ok) {
            ExpectNothingHeld();
        }
        IpcClose();
    }
}

TEST_F(IpcSessionTest, VersionAcceptance) {
    struct Case {
        uint32_t serverVersion, simulatorVersion, requested;
        IpcResult want;
        uint32_t identifier;
    };
    const Case cases[] = {
        {0x19980005, 0xFADE0000, 0, IpcResult::Ok, 0},
        {0x19980004, 0xFADE0000, 0, IpcResult::VersionRejected, 0},
        {0x80000000, 0xFADE0000, 0, IpcResult::Ok, 0},
        {0xFFFFFFFF, 0xFADE0007, 7, IpcResult::Ok, 7},
        {0x19990005, 0xFADE0000, 7, IpcResult::SimulatorMismatch, 0},
        {0x19990005, 0xFADE0007, 0x10007, IpcResult::SimulatorMismatch, 0},
        {0x19990005, 0xFADF0007, 0, IpcResult::VersionRejected, 0},
        {0x19990005, 0x0000FADE, 0, IpcResult::VersionRejected, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.serverVersion << " " << c.simulatorVersion
                                        << " " << c.requested);
        ResetFakeIpc();
        fakeIpc->serverVersion = c.serverVersion;
        fakeIpc->simulatorVersion = c.simulatorVersion;
        EXPECT_EQ(Open(c.requested), c.want);
        if (c.want == IpcResult::Ok) {
            EXPECT_EQ(ipcSession.simulatorVersion, c.identifier);
        } else {
            ExpectNothingHeld();
        }
        IpcClose();
    }
}

TEST_F(IpcSessionTest, HandshakeExchangeFailureEndsTheOpen) {
    fakeIpc->reply = 2;
    EXPECT_EQ(Open(), IpcResult::BadReply);
    ExpectNothingHeld();
    ResetFakeIpc();
    fakeIpc->failingSends = 100;
    fakeIpc->lastError = 1400;
    EXPECT_EQ(Open(), IpcResult::SendFailedWithError);
    EXPECT_EQ(fakeIpc->sends, 9);
    ExpectNothingHeld();
}

TEST_F(IpcSessionTest, AlreadyOpenLeavesSessionAndQueueUntouched) {
    ASSERT_EQ(Open(), IpcResult::Ok);
    uint32_t v = 0;
    IpcResult r;
    ASSERT_TRUE(IpcRead(0x0578, 4, &v, &r));
    const IpcSession before = ipcSession;
    std::vector<uint8_t> bytes(ipcSession.block, ipcSession.block + 64);
    fakeIpc->calls.clear();
    EXPECT_EQ(Open(), IpcResult::AlreadyOpen);
    EXPECT_EQ(0, std::memcmp(&before, &ipcSession, sizeof before));
    EXPECT_EQ(0, std::memcmp(bytes.data(), ipcSession.block, bytes.size()));
    EXPECT_TRUE(fakeIpc->calls.empty());
    ASSERT_TRUE(IpcProcess(&r)) << "the queued read still goes with the next exchange";
}

TEST_F(IpcSessionTest, CloseReleasesInOrderAndIsIdempotent) {
    ASSERT_EQ(Open(), IpcResult::Ok);
    const uint32_t count = ipcSession.openCount;
    fakeIpc->calls.clear();
    IpcClose();
    EXPECT_EQ(fakeIpc->calls, (std::vector<std::string>{"DeleteAtom", "UnmapView", "CloseHandle"}));
    ExpectNothingHeld();
    EXPECT_EQ(ipcSession.serverWindow, nullptr);
    EXPECT_EQ(ipcSession.messageId, 0u);
    EXPECT_EQ(ipcSession.openCount, count);
    EXPECT_EQ(ipcSession.serverVersion, 0x19990005u) << "close leaves the versions alone";

    fakeIpc->calls.clear();
    const IpcSession before = ipcSession;
    IpcClose();
    EXPECT_TRUE(fakeIpc->calls.empty());
    EXPECT_EQ(0, std::memcmp(&before, &ipcSession, sizeof before));
}

TEST_F(IpcSessionTest, CloseWithNothingOpenOnlyClearsWindowAndMessage) {
    ipcSession.serverWindow = reinterpret_cast<IpcWindow>(0x100);
    ipcSession.messageId = 5;
    ipcSession.serverVersion = 9;
    IpcClose();
    EXPECT_EQ(ipcSession.serverWindow, nullptr);
    EXPECT_EQ(ipcSession.messageId, 0u);
    EXPECT_EQ(ipcSession.serverVersion, 9u);
    EXPECT_TRUE(fakeIpc->calls.empty());
}

} // namespace
