#include "standin_record.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(StandInRecord, LinesReadBackAsWritten) {
    const std::string text = ExchangeLine(1234567890123LL, 54, 2, 1, 1) +
                             ChangeLine(1234567890200LL, INT32_MIN, -3579139) +
                             ExchangeLine(1234567891000LL, 58, 3, 0, 2) +
                             ExchangeLine(5, 0, 0, 0, 0) + ChangeLine(0, INT32_MAX, 0);
    EXPECT_EQ(text.substr(0, text.find('\n', 30) + 1),
              "1234567890123 54 2 1 1\n1234567890200 change -2147483648 -3579139\n");
    std::vector<RecordEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseStandInRecord(text, &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_FALSE(entries[0].change);
    EXPECT_EQ(entries[0].micros, 1234567890123LL);
    EXPECT_EQ(entries[0].bytes, 54u);
    EXPECT_EQ(entries[0].reads, 2u);
    EXPECT_EQ(entries[0].writes, 1u);
    EXPECT_EQ(entries[0].reply, 1u);
    EXPECT_TRUE(entries[1].change);
    EXPECT_EQ(entries[1].micros, 1234567890200LL);
    EXPECT_EQ(entries[1].pitchRaw, INT32_MIN);
    EXPECT_EQ(entries[1].bankRaw, -3579139);
    EXPECT_EQ(entries[2].bytes, 58u);
    EXPECT_EQ(entries[2].reads, 3u);
    EXPECT_EQ(entries[2].reply, 2u);
    EXPECT_EQ(entries[3].bytes, 0u);
    EXPECT_EQ(entries[4].pitchRaw, INT32_MAX);
}

TEST(StandInRecord, ALineStillBeingWrittenWaitsForItsEnd) {
    std::vector<RecordEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseStandInRecord("10 58 3 0 1\n11 5", &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].micros, 10);
    ASSERT_TRUE(ParseStandInRecord("", &entries, &error));
    EXPECT_TRUE(entries.empty());
}

TEST(StandInRecord, RefusesLinesOfNeitherFormNamingTheLine) {
    const char* const kBad[] = {
        "10 58 3 0\n",            // a field short
        "10 58 3 0 1 9\n",        // a field too many
        "10 58 3 -1 1\n",         // negative count
        "10 58 3 0 4294967296\n", // reply beyond 32 bits
        "ten 58 3 0 1\n",         // no time
        "10 change 5\n",          // a change without its bank
        "10 change 2147483648 0\n",
        "10 change 1 2 3\n",
        "10 58 3 0 1\r\n", // written with "\n" alone
        "\n",
    };
    for (const char* bad : kBad) {
        std::vector<RecordEntry> entries(1);
        std::string error;
        const std::string text = std::string("1 54 2 1 1\n") + bad;
        EXPECT_FALSE(ParseStandInRecord(text, &entries, &error)) << bad;
        EXPECT_EQ(error.rfind("line 2: '", 0), 0u) << error;
        EXPECT_EQ(entries.size(), 1u) << "entries changed by a refused text";
    }
}

TEST(MicrosFromTicks, ConvertsWithoutOverflowAfterALongUptime) {
    EXPECT_EQ(MicrosFromTicks(0, 10000000), 0);
    EXPECT_EQ(MicrosFromTicks(12345678, 10000000), 1234567);
    EXPECT_EQ(MicrosFromTicks(3000, 1000), 3000000);
    // A year of a 10 MHz counter: ticks * 1000000 alone would overflow 64 bits.
    const long long year = 365LL * 24 * 3600;
    EXPECT_EQ(MicrosFromTicks(year * 10000000 + 5, 10000000), year * 1000000);
    EXPECT_EQ(MicrosFromTicks(LLONG_MAX, 1000000000), LLONG_MAX / 1000);
}

} // namespace
