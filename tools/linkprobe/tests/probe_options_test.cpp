#include "probe_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

bool Parse(std::initializer_list<const char*> args, ProbeOptions* options, std::string* error) {
    std::vector<const char*> argv = {"linkprobe.exe"};
    argv.insert(argv.end(), args);
    return ParseProbeOptions(int(argv.size()), argv.data(), options, error);
}

TEST(ProbeOptions, DefaultsAndEveryOption) {
    ProbeOptions o;
    std::string error;
    ASSERT_TRUE(Parse({}, &o, &error)) << error;
    EXPECT_EQ(o.seconds, 5u);
    EXPECT_EQ(o.simulator, 0u);
    EXPECT_FALSE(o.bench);
    EXPECT_EQ(o.count, 10000u);

    ASSERT_TRUE(
        Parse({"--seconds", "0", "--simulator", "0x1F", "--bench", "--count", "500"}, &o, &error))
        << error;
    EXPECT_EQ(o.seconds, 0u);
    EXPECT_EQ(o.simulator, 0x1Fu);
    EXPECT_TRUE(o.bench);
    EXPECT_EQ(o.count, 500u);
    ASSERT_TRUE(Parse({"--simulator", "4294967295", "--help"}, &o, &error));
    EXPECT_EQ(o.simulator, 0xFFFFFFFFu);
    EXPECT_TRUE(o.help);
}

TEST(ProbeOptions, RefusesBadCommandLinesSayingWhy) {
    struct {
        std::initializer_list<const char*> args;
        const char* error;
    } const kBad[] = {
        {{"--sec", "5"}, "unknown option '--sec' (see --help)"},
        {{"5"}, "unknown option '5' (see --help)"},
        {{"--seconds"}, "--seconds needs a value"},
        {{"--seconds", "1.5"}, "--seconds: '1.5' is not a whole number from 0 to 4294967295"},
        {{"--simulator", "-1"}, "--simulator: '-1' is not a whole number from 0 to 4294967295"},
        {{"--simulator", "0x100000000"},
         "--simulator: '0x100000000' is not a whole number from 0 to 4294967295"},
        {{"--count", "0"}, "--count: '0' is not a whole number from 1 to 4294967295"},
    };
    for (const auto& bad : kBad) {
        ProbeOptions o;
        o.seconds = 77;
        std::string error;
        EXPECT_FALSE(Parse(bad.args, &o, &error)) << *bad.args.begin();
        EXPECT_EQ(error, bad.error);
        EXPECT_EQ(o.seconds, 77u);
    }
}

} // namespace
