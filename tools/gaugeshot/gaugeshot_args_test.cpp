#include <gtest/gtest.h>

#include <vector>

#include "gaugeshot_args.h"

namespace {

bool Parse(std::vector<const char*> argv, GaugeshotArgs* args, std::string* error) {
    argv.insert(argv.begin(), "gaugeshot");
    return ParseGaugeshotArgs(int(argv.size()), argv.data(), args, error);
}

TEST(GaugeshotArgs, DegreesBecomeRawWithTheSimulatorConvention) {
    GaugeshotArgs a;
    std::string e;
    ASSERT_TRUE(
        Parse({"--pitch", "90", "--bank", "-0.8381903171539307", "--camera", "300", "-o", "x.png"},
              &a, &e))
        << e;
    EXPECT_EQ(a.pitchRaw, -(1 << 30));
    EXPECT_EQ(a.bankRaw, 10000000);
    EXPECT_EQ(a.camera, 300.0f);
    EXPECT_EQ(a.output, "x.png");
    // The later option for an axis wins.
    ASSERT_TRUE(Parse({"--pitch", "10", "--pitch-raw", "-2147483648", "-o", "x.png"}, &a, &e));
    EXPECT_EQ(a.pitchRaw, INT32_MIN);
    ASSERT_TRUE(Parse({"--bank-raw", "0x7fffffff", "--bank", "180", "-o", "x.png"}, &a, &e));
    EXPECT_EQ(a.bankRaw, INT32_MIN);
}

TEST(GaugeshotArgs, BadInputIsRefusedWithAReason) {
    const struct {
        std::vector<const char*> argv;
        const char* reason;
    } cases[] = {
        {{"--pitch", "10"}, "no output file"},
        {{"--pitch", "ten", "-o", "x.png"}, "bad value for --pitch"},
        {{"--pitch", "nan", "-o", "x.png"}, "bad value for --pitch"},
        {{"--bank-raw", "2147483648", "-o", "x.png"}, "bad value for --bank-raw"},
        {{"--bank-raw", "12abc", "-o", "x.png"}, "bad value for --bank-raw"},
        {{"--camera", "1e300", "-o", "x.png"}, "bad value for --camera"},
        {{"--frobnicate", "1", "-o", "x.png"}, "unknown option --frobnicate"},
        {{"-o"}, "-o needs a value"},
    };
    for (const auto& c : cases) {
        GaugeshotArgs a;
        std::string e;
        EXPECT_FALSE(Parse(c.argv, &a, &e)) << c.reason;
        EXPECT_NE(e.find(c.reason), std::string::npos) << e;
    }
}

} // namespace
