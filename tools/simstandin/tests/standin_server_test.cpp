#include "standin_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "standin_record.h"

namespace {

uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// A client's block with a few helpers to lay records and read results back.
class Block {
  public:
    explicit Block(size_t size = 0x8000) : bytes_(size, 0) {}
    Block& Read(uint32_t offset, uint32_t size) {
        reads_.push_back(used_ + 16);
        Header(1, offset, size);
        Store32(&bytes_[used_ + 12], 0);
        used_ += 16 + size;
        return *this;
    }
    Block& Write16(uint32_t offset, uint16_t value) {
        Header(2, offset, 2);
        bytes_[used_ + 12] = uint8_t(value);
        bytes_[used_ + 13] = uint8_t(value >> 8);
        used_ += 14;
        return *this;
    }
    Block& End() {
        Store32(&bytes_[used_], 0);
        return *this;
    }
    uint32_t Data32(size_t read) const { return Load32(&bytes_[reads_.at(read)]); }
    uint8_t* data() { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }

  private:
    void Header(uint32_t type, uint32_t offset, uint32_t size) {
        Store32(&bytes_[used_], type);
        Store32(&bytes_[used_ + 4], offset);
        Store32(&bytes_[used_ + 8], size);
    }
    std::vector<uint8_t> bytes_;
    std::vector<size_t> reads_;
    size_t used_ = 0;
};

class StandInTest : public ::testing::Test {
  protected:
    StandInTest() : standIn(new StandIn()) {}
    uint32_t Serve(Block& block, long long elapsedMicros = 0, ServeStats* served = nullptr) {
        return ServeMessage(standIn.get(), block.data(), block.size(), elapsedMicros, served);
    }
    Block Handshake(bool withWrite) {
        Block b;
        b.Read(0x3304, 4).Read(0x3308, 4);
        if (withWrite) b.Write16(0x330A, 2002);
        b.End();
        return b;
    }
    std::unique_ptr<StandIn> standIn;
};

TEST_F(StandInTest, VersionsAreRefreshedBeforeEveryMessage) {
    standIn->options.simVersion = 0xFADE0007;
    Block first = Handshake(true);
    EXPECT_EQ(Serve(first), 1u);
    EXPECT_EQ(first.Data32(0), 0x19990005u);
    EXPECT_EQ(first.Data32(1), 0xFADE0007u);
    // The write of 2002 landed on the high half of the simulator version...
    EXPECT_EQ(Load32(standIn->sim + 0x3308), 0x07D20007u);
    // ...and the next message finds the version as it was.
    Block second = Handshake(false);
    EXPECT_EQ(Serve(second), 1u);
    EXPECT_EQ(second.Data32(1), 0xFADE0007u);
}

TEST_F(StandInTest, AVersionOfZeroIsNeverFilled) {
    standIn->options.serverVersion = 0;
    standIn->options.simVersion = 0;
    Block first = Handshake(true);
    Serve(first);
    EXPECT_EQ(first.Data32(0), 0u);
    EXPECT_EQ(first.Data32(1), 0u);
    Block second = Handshake(false);
    Serve(second);
    EXPECT_EQ(second.Data32(0), 0u);
    // Only the client's own write is there to be read.
    EXPECT_EQ(second.Data32(1), 0x07D20000u);
}

TEST_F(StandInTest, AttitudeComesFromTheChosenSource) {
    Block poll;
    poll.Read(kPitchOffset, 4).Read(kBankOffset, 4).End();

    standIn->options.pitchRaw = -119304647;
    standIn->options.bankRaw = INT32_MIN;
    Serve(poll, 5000000);
    EXPECT_EQ(poll.Data32(0), uint32_t(-119304647));
    EXPECT_EQ(poll.Data32(1), 0x80000000u);

    standIn->options.attitude = AttitudeMode::Script;
    for (long long t : {0LL, 1300000LL, 2000000LL, 7700000LL}) {
        Serve(poll, t);
        const AttitudeRaw expected = ToRaw(ScriptedAttitude(double(t) / 1e6));
        EXPECT_EQ(poll.Data32(0), uint32_t(expected.pitch)) << t;
        EXPECT_EQ(poll.Data32(1), uint32_t(expected.bank)) << t;
    }

    standIn->options.attitude = AttitudeMode::Csv;
    standIn->track = {{0.0, {0.0, 0.0}}, {2.0, {-20.0, 90.0}}};
    Serve(poll, 1000000);
    EXPECT_EQ(poll.Data32(0), uint32_t(DegreesToRaw(-10.0)));
    EXPECT_EQ(poll.Data32(1), uint32_t(DegreesToRaw(45.0)));

    // A step lasts from its first microsecond to the last one before the next.
    standIn->options.attitude = AttitudeMode::Steps;
    standIn->options.stepMs = 20;
    for (const auto& [t, step] :
         {std::pair{0LL, 0u}, {19999LL, 0u}, {20000LL, 1u}, {65000LL, 3u}}) {
        Serve(poll, t);
        EXPECT_EQ(poll.Data32(0), uint32_t(SteppedAttitude(step).pitch)) << t;
        EXPECT_EQ(poll.Data32(1), uint32_t(SteppedAttitude(step).bank)) << t;
    }
}

TEST_F(StandInTest, ReportsTheLengthOfWhatItServed) {
    // The gauge's poll and first handshake batches, as the record shows them: 58
    // and 54 bytes of records, each with its 4-byte end marker.
    Block poll;
    poll.Read(kPitchOffset, 4).Read(kBankOffset, 4).Read(0x0D0C, 2).End();
    ServeStats served{};
    EXPECT_EQ(Serve(poll, 0, &served), 1u);
    EXPECT_EQ(served.bytes, 62u);
    EXPECT_EQ(served.reads, 3u);
    EXPECT_EQ(served.writes, 0u);
    Block handshake = Handshake(true);
    EXPECT_EQ(Serve(handshake, 0, &served), 1u);
    EXPECT_EQ(served.bytes, 58u);
    EXPECT_EQ(served.reads, 2u);
    EXPECT_EQ(served.writes, 1u);
}

TEST_F(StandInTest, ChangeLinesFollowTheStepsOnceEach) {
    const long long start = 7000000;
    EXPECT_EQ(TakeChangeLines(standIn.get(), start, 50000), "") << "not stepping";
    standIn->options.attitude = AttitudeMode::Steps;
    standIn->options.stepMs = 20;
    const auto line = [&](uint64_t step, long long at) {
        const AttitudeRaw a = SteppedAttitude(step);
        return ChangeLine(at, a.pitch, a.bank);
    };
    EXPECT_EQ(TakeChangeLines(standIn.get(), start, 0), line(0, 7000000));
    EXPECT_EQ(TakeChangeLines(standIn.get(), start, 19999), "");
    // Steps passed while nothing asked come out together, each at its own moment.
    EXPECT_EQ(TakeChangeLines(standIn.get(), start, 45000), line(1, 7020000) + line(2, 7040000));
    EXPECT_EQ(TakeChangeLines(standIn.get(), start, 45000), "");
    EXPECT_EQ(TakeChangeLines(standIn.get(), start, 60000), line(3, 7060000));
}

struct FaultWindow {
    uint32_t after, count;
    const char* faulty; // message i misbehaves when faulty[i] is 'x'
};

TEST(StandInFaults, MisbehaveFromTheirTurnForTheirCount) {
    const FaultWindow kWindows[] = {
        {0, 0, "xxxxxx"}, {2, 0, "..xxxx"}, {2, 1, "..x..."},
        {2, 3, "..xxx."}, {0, 2, "xx...."}, {5, 4294967295u, ".....x"},
    };
    for (const FaultWindow& w : kWindows) {
        auto standIn = std::make_unique<StandIn>();
        standIn->options.faultAfter = w.after;
        standIn->options.faultCount = w.count;
        standIn->options.reply = 5;
        standIn->options.tamper = Tamper::FirstType;
        for (uint32_t i = 0; i < 6; ++i) {
            const bool faulty = w.faulty[i] == 'x';
            EXPECT_EQ(FaultsDue(*standIn), faulty) << w.faulty << " message " << i;
            Block poll;
            poll.Read(kPitchOffset, 4).End();
            EXPECT_EQ(ServeMessage(standIn.get(), poll.data(), poll.size(), 0), faulty ? 5u : 1u)
                << w.faulty << " message " << i;
            EXPECT_EQ(Load32(poll.data()), faulty ? 7u : 1u) << w.faulty << " message " << i;
        }
        EXPECT_EQ(standIn->counters.exchanges, 6u);
        EXPECT_EQ(standIn->counters.reads, 6u);
    }
}

TEST_F(StandInTest, MalformedBatchesAreAnsweredZeroAndCounted) {
    standIn->options.pitchRaw = 1234;
    Block bad;
    bad.Read(kPitchOffset, 4);
    Store32(bad.data() + 20, 9); // an unknown type where the end marker belongs
    EXPECT_EQ(Serve(bad), 0u);
    EXPECT_EQ(bad.Data32(0), 1234u); // records before the bad one are carried out
    EXPECT_EQ(standIn->counters.malformed, 1u);
    EXPECT_EQ(standIn->counters.exchanges, 1u);
    EXPECT_EQ(standIn->counters.reads, 1u);
    EXPECT_EQ(RefuseMessage(standIn.get()), 0u);
    EXPECT_EQ(standIn->counters.refused, 1u);
}

TEST_F(StandInTest, ServesAShortBlockAndNoMoreThanAWholeOne) {
    Block shortBlock(64);
    shortBlock.Read(kPitchOffset, 4).Read(kBankOffset, 4).End();
    EXPECT_EQ(Serve(shortBlock), 1u);

    // Records up to byte 0x8000 and an end marker only after it: a server that
    // walked the whole mapping would take this for a good batch.
    Block large(0x9000);
    for (int i = 0; i < 0x8000 / 16; ++i)
        large.Read(0, 0);
    large.End();
    EXPECT_EQ(Serve(large), 0u);
    EXPECT_EQ(standIn->counters.malformed, 1u);
}

TEST(StatusLine, ReportsEveryCounter) {
    const StandInCounters c{12, 30, 1, 2, 3};
    EXPECT_EQ(StatusLine(c, 1.5),
              "simstandin: exchanges=12 reads=30 writes=1 malformed=2 refused=3 elapsed=1.500s");
}

} // namespace
