#include "probe_stats.h"

#include <gtest/gtest.h>

namespace {

TEST(Percentile, TakesTheNearestRank) {
    const std::vector<double> ten = {10, 1, 9, 2, 8, 3, 7, 4, 6, 5};
    struct {
        double p, expected;
    } const kCases[] = {
        {0, 1},  {1, 1},   {10, 1},   {10.5, 2}, {50, 5},   {51, 6},
        {90, 9}, {99, 10}, {100, 10}, {-5, 1},   {250, 10},
    };
    for (const auto& c : kCases) {
        std::vector<double> samples = ten;
        EXPECT_EQ(Percentile(samples, c.p), c.expected) << "p" << c.p;
    }
}

TEST(Percentile, HandlesFewAndRepeatedSamples) {
    std::vector<double> none;
    EXPECT_EQ(Percentile(none, 50), 0.0);
    std::vector<double> one = {42};
    EXPECT_EQ(Percentile(one, 0), 42);
    EXPECT_EQ(Percentile(one, 99), 42);
    std::vector<double> two = {3, 1};
    EXPECT_EQ(Percentile(two, 50), 1);
    EXPECT_EQ(Percentile(two, 51), 3);
    std::vector<double> same(1000, 150.0);
    same[999] = 9000.0; // one stall in a thousand: p99 does not see it, p100 does
    EXPECT_EQ(Percentile(same, 99), 150.0);
    EXPECT_EQ(Percentile(same, 100), 9000.0);
}

TEST(Percentile, P99OfALargeRunMatchesItsSortedPosition) {
    std::vector<double> samples;
    for (int i = 0; i < 10000; ++i)
        samples.push_back(double((i * 7919) % 10000));
    EXPECT_EQ(Percentile(samples, 50), 4999.0);
    EXPECT_EQ(Percentile(samples, 99), 9899.0);
}

} // namespace
