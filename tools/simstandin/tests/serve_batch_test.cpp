// The server's walk over blocks a client may have got wrong or made up. Every
// buffer here is allocated at exactly its stated size, so that under AddressSanitizer
// one byte read or written outside the block or the simulator data fails the test.
#include "serve_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr size_t kSim = 0x10000;

uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Lays records out as a client does, with room to write whatever a hostile one would.
class Batch {
  public:
    Batch& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Batch& Read(uint32_t offset, uint32_t size) {
        U32(1).U32(offset).U32(size).U32(0);
        bytes_.insert(bytes_.end(), size, 0);
        return *this;
    }
    Batch& Write(uint32_t offset, std::vector<uint8_t> data) {
        U32(2).U32(offset).U32(uint32_t(data.size()));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    Batch& End() { return U32(0); }
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

// A block of exactly `size` bytes holding `batch` at its start (cut off if longer).
struct ExactBlock {
    ExactBlock(const Batch& batch, size_t blockSize)
        : size(blockSize), bytes(new uint8_t[blockSize ? blockSize : 1]) {
        std::memset(bytes.get(), 0xEE, blockSize);
        const size_t laid = std::min(blockSize, batch.size());
        if (laid) std::memcpy(bytes.get(), batch.bytes().data(), laid);
    }
    size_t size;
    std::unique_ptr<uint8_t[]> bytes;
    uint8_t* data() { return bytes.get(); }
};

class ServeBatchTest : public ::testing::Test {
  protected:
    ServeBatchTest() : sim(new uint8_t[kSim]), before(kSim) {
        for (size_t i = 0; i < kSim; ++i)
            sim[i] = uint8_t(i * 7 + 3);
        std::memcpy(before.data(), sim.get(), kSim);
    }
    ServeStats Serve(ExactBlock& block) {
        return ServeBatch(block.data(), block.size, sim.get(), kSim);
    }
    bool SimUnchanged() const { return std::memcmp(before.data(), sim.get(), kSim) == 0; }

    std::unique_ptr<uint8_t[]> sim;
    std::vector<uint8_t> before;
};

TEST_F(ServeBatchTest, CarriesOutRecordsInBlockOrder) {
    // read, write the same place, read again: the first read sees the old bytes.
    Batch b;
    b.Read(0x100, 4).Write(0x100, {1, 2, 3, 4}).Read(0x100, 4).Read(0x2000, 0).End();
    ExactBlock block(b, 0x8000);
    const ServeStats stats = Serve(block);
    EXPECT_FALSE(stats.malformed);
    EXPECT_EQ(stats.reads, 3u);
    EXPECT_EQ(stats.writes, 1u);
    EXPECT_EQ(stats.bytes, 20u + 16u + 20u + 16u + 4u) << "records and end marker";
    EXPECT_EQ(std::memcmp(block.data() + 16, before.data() + 0x100, 4), 0);
    const uint8_t written[] = {1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(sim.get() + 0x100, written, 4), 0);
    EXPECT_EQ(std::memcmp(block.data() + 20 + 16 + 16, written, 4), 0);
    // The headers are left as the client wrote them.
    EXPECT_EQ(Load32(block.data()), 1u);
    EXPECT_EQ(Load32(block.data() + 12), 0u);
    EXPECT_EQ(Load32(block.data() + 20), 2u);
}

TEST_F(ServeBatchTest, ReadsPastTheSimulatorDataGiveZeroesAndNeverWrap) {
    Batch b;
    b.Read(0xFFFE, 4).Read(0xFFFFFFFF, 8).Read(0x10000, 2).End();
    ExactBlock block(b, b.size());
    EXPECT_FALSE(Serve(block).malformed);
    const uint8_t tail[] = {before[0xFFFE], before[0xFFFF], 0, 0};
    EXPECT_EQ(std::memcmp(block.data() + 16, tail, 4), 0);
    const uint8_t zeroes[8] = {};
    EXPECT_EQ(std::memcmp(block.data() + 20 + 16, zeroes, 8), 0);
    EXPECT_EQ(std::memcmp(block.data() + 20 + 24 + 16, zeroes, 2), 0);
}

TEST_F(ServeBatchTest, WritesPastTheSimulatorDataAreCutOrDropped) {
    Batch b;
    b.Write(0xFFFE, {9, 9, 9, 9}).Write(0xFFFFFFFF, {5, 5, 5, 5}).Write(0x10000, {6}).End();
    ExactBlock block(b, b.size());
    EXPECT_FALSE(Serve(block).malformed);
    EXPECT_EQ(sim[0xFFFE], 9);
    EXPECT_EQ(sim[0xFFFF], 9);
    sim[0xFFFE] = before[0xFFFE];
    sim[0xFFFF] = before[0xFFFF];
    EXPECT_TRUE(SimUnchanged()) << "a write wrapped round to the start of the data";
}

struct HostileCase {
    const char* what;
    Batch batch;
    size_t blockSize; // 0 = the batch's own size
    uint32_t reads, writes;
    size_t bytes; // the records carried out before the walk broke off
};

std::vector<HostileCase> HostileCases() {
    std::vector<HostileCase> cases;
    cases.push_back({"empty block", Batch(), 0, 0, 0, 0});
    cases.push_back({"three bytes", Batch().U32(0), 3, 0, 0, 0});
    cases.push_back({"read header cut short", Batch().U32(1).U32(0).U32(4), 0, 0, 0, 0});
    cases.push_back({"write header cut short", Batch().U32(2).U32(0), 0, 0, 0, 0});
    cases.push_back({"read size beyond the block",
                     Batch().U32(1).U32(0).U32(0xFFFFFFFF).U32(0).End(), 0, 0, 0, 0});
    cases.push_back({"write size one byte beyond the block",
                     Batch().U32(2).U32(0x40).U32(5).U32(0x01010101), 0, 0, 0, 0});
    cases.push_back({"read filling the block, no room for an end marker",
                     Batch().Read(0x40, 0x100 - 16), 0x100, 1, 0, 0x100});
    {
        Batch b;
        for (int i = 0; i < 16; ++i)
            b.Read(uint32_t(i), 0);
        cases.push_back({"records to the last byte, no end marker", b, 16 * 16, 16, 0, 16 * 16});
    }
    cases.push_back({"unknown type after good records",
                     Batch().Read(0x10, 2).Write(0x20, {7}).U32(3).U32(0).U32(4).U32(0), 0, 1, 1,
                     18 + 13});
    cases.push_back({"type all ones", Batch().U32(0xFFFFFFFF).U32(0).U32(0).U32(0), 0, 0, 0, 0});
    return cases;
}

TEST_F(ServeBatchTest, HostileBlocksStopAsMalformedWithoutStrayAccess) {
    for (const HostileCase& c : HostileCases()) {
        ExactBlock block(c.batch, c.blockSize ? c.blockSize : c.batch.size());
        const ServeStats stats = Serve(block);
        EXPECT_TRUE(stats.malformed) << c.what;
        EXPECT_EQ(stats.reads, c.reads) << c.what;
        EXPECT_EQ(stats.writes, c.writes) << c.what;
        EXPECT_EQ(stats.bytes, c.bytes) << c.what;
    }
    // Only the one well-formed write before the unknown type changed anything.
    EXPECT_EQ(sim[0x20], 7);
    sim[0x20] = before[0x20];
    EXPECT_TRUE(SimUnchanged());
}

// Random blocks, most of them nonsense. Without write records nothing may change in
// the simulator data; with them, AddressSanitizer watches every access.
TEST_F(ServeBatchTest, RandomBlocksNeverReachOutside) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 4000; ++round) {
        const bool allowWrites = round % 2 == 1;
        Batch b;
        const int words = int(random() % 40);
        for (int i = 0; i < words; ++i) {
            const uint32_t pick = random() % 8;
            uint32_t word = uint32_t(random());
            if (pick < 3)
                word = pick; // a type
            else if (pick < 6)
                word = uint32_t(random() % 48); // a small size
            else if (pick == 6)
                word = 0xFFFFFFF0u + uint32_t(random() % 16); // a huge one
            if (!allowWrites && word == 2) word = 3; // wherever it stands, it could be a type
            b.U32(word);
        }
        const size_t size = random() % (b.size() + 8);
        ExactBlock block(b, size);
        const ServeStats stats = Serve(block);
        ASSERT_LE(size_t(stats.reads + stats.writes) * 12, size) << "round " << round;
        if (!allowWrites) {
            ASSERT_TRUE(SimUnchanged()) << "round " << round;
        }
        std::memcpy(sim.get(), before.data(), kSim);
    }
}

// The poll batch of the gauge, as a client leaves it for the server.
Batch PollBatch() {
    Batch b;
    b.Read(0x578, 4).Read(0x57C, 4).Read(0xD0C, 2).End();
    return b;
}

TEST(TamperBatch, ChangesTheNamedHeaderOnly) {
    const Batch poll = PollBatch();
    const size_t second = 20, third = 40, end = 58;
    struct {
        Tamper how;
        size_t at;      // where the changed word starts
        uint32_t value; // what it holds afterwards
    } const kCases[] = {
        {Tamper::FirstType, 0, 7},
        {Tamper::FirstSize, 8, 0x7FFFFFFF},
        {Tamper::SecondOffset, second + 4, 0x57C ^ 0x40},
        {Tamper::EndMarker, end, 1},
        {Tamper::Garbage, 0, 0xA5A5A5A5},
        {Tamper::Garbage, third + 8, 0xA5A5A5A5},
    };
    for (const auto& c : kCases) {
        ExactBlock block(poll, 0x8000);
        TamperBatch(block.data(), block.size, c.how);
        EXPECT_EQ(Load32(block.data() + c.at), c.value) << int(c.how);
        if (c.how != Tamper::Garbage) {
            // Every other header word is as the client wrote it.
            ExactBlock untouched(poll, 0x8000);
            for (size_t at : {size_t(0), size_t(4), size_t(8), size_t(12), second, second + 4,
                              second + 8, third, third + 4, third + 8, end}) {
                if (at == c.at) continue;
                EXPECT_EQ(Load32(block.data() + at), Load32(untouched.data() + at))
                    << int(c.how) << " at " << at;
            }
        }
    }
    // The false read past the batch points at offset 0 for 64 bytes.
    ExactBlock block(poll, 0x8000);
    TamperBatch(block.data(), block.size, Tamper::EndMarker);
    EXPECT_EQ(Load32(block.data() + end + 8), 64u);
}

TEST(TamperBatch, ShortOrFullBlocksAreLeftAloneWhereThereIsNoRoom) {
    for (size_t size = 0; size <= 24; ++size) {
        for (Tamper how : {Tamper::FirstType, Tamper::FirstSize, Tamper::EndMarker,
                           Tamper::SecondOffset, Tamper::Garbage}) {
            ExactBlock block(PollBatch(), size);
            TamperBatch(block.data(), block.size, how); // AddressSanitizer checks the reach
        }
    }
    // A batch that fills the block to its end leaves no room for a false record.
    Batch full;
    full.Read(0, 64 - 16);
    ExactBlock block(full, 64);
    TamperBatch(block.data(), block.size, Tamper::EndMarker);
    EXPECT_EQ(std::memcmp(block.data(), full.bytes().data(), 64), 0);
}

TEST(ParseTamper, KnowsEveryModeAndRefusesOthers) {
    struct {
        const char* text;
        Tamper how;
    } const kNames[] = {{"none", Tamper::None},           {"type", Tamper::FirstType},
                        {"size", Tamper::FirstSize},      {"end", Tamper::EndMarker},
                        {"offset", Tamper::SecondOffset}, {"garbage", Tamper::Garbage}};
    for (const auto& n : kNames) {
        Tamper how = Tamper::None;
        EXPECT_TRUE(ParseTamper(n.text, &how)) << n.text;
        EXPECT_EQ(how, n.how) << n.text;
    }
    for (const char* bad : {"", "Type", "types", "garbage ", "7"}) {
        Tamper how = Tamper::Garbage;
        EXPECT_FALSE(ParseTamper(bad, &how)) << bad;
        EXPECT_EQ(how, Tamper::Garbage);
    }
}

} // namespace
