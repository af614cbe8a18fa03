#include "standin_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

bool Parse(std::initializer_list<const char*> args, StandInOptions* options, std::string* error) {
    std::vector<const char*> argv = {"simstandin.exe"};
    argv.insert(argv.end(), args);
    return ParseStandInOptions(int(argv.size()), argv.data(), options, error);
}

StandInOptions MustParse(std::initializer_list<const char*> args) {
    StandInOptions options;
    std::string error;
    EXPECT_TRUE(Parse(args, &options, &error)) << error;
    return options;
}

TEST(StandInOptions, DefaultsServeALevelSimulatorUnderTheFirstClass) {
    const StandInOptions o = MustParse({});
    EXPECT_EQ(o.classes, ServerClasses::Primary);
    EXPECT_EQ(o.serverVersion, 0x19990005u);
    EXPECT_EQ(o.simVersion, 0xFADE0000u);
    EXPECT_EQ(o.reply, 1u);
    EXPECT_EQ(o.attitude, AttitudeMode::Fixed);
    EXPECT_EQ(o.pitchRaw, 0);
    EXPECT_EQ(o.bankRaw, 0);
    EXPECT_FALSE(o.hang);
    EXPECT_EQ(o.tamper, Tamper::None);
    EXPECT_EQ(o.seconds, 0u);
    EXPECT_EQ(o.quitAfter, 0u);
    EXPECT_EQ(o.faultCount, 0u) << "faults, once due, last for good";
    EXPECT_EQ(o.recordPath, "");
}

TEST(StandInOptions, ReadsEveryOption) {
    const StandInOptions o = MustParse({"--class",
                                        "both",
                                        "--server-version",
                                        "0x19980005",
                                        "--sim-version",
                                        "fade0003",
                                        "--reply",
                                        "2",
                                        "--delay-ms",
                                        "2500",
                                        "--hang",
                                        "--tamper",
                                        "offset",
                                        "--fault-after",
                                        "1",
                                        "--quit-after",
                                        "10",
                                        "--seconds",
                                        "30",
                                        "--pitch-raw",
                                        "-119304647",
                                        "--bank-raw",
                                        "0x80000000",
                                        "--verbose"});
    EXPECT_EQ(o.classes, ServerClasses::Both);
    EXPECT_EQ(o.serverVersion, 0x19980005u);
    EXPECT_EQ(o.simVersion, 0xFADE0003u);
    EXPECT_EQ(o.reply, 2u);
    EXPECT_EQ(o.delayMs, 2500u);
    EXPECT_TRUE(o.hang);
    EXPECT_EQ(o.tamper, Tamper::SecondOffset);
    EXPECT_EQ(o.faultAfter, 1u);
    EXPECT_EQ(o.quitAfter, 10u);
    EXPECT_EQ(o.seconds, 30u);
    EXPECT_EQ(o.attitude, AttitudeMode::Fixed);
    EXPECT_EQ(o.pitchRaw, -119304647);
    EXPECT_EQ(o.bankRaw, INT32_MIN);
    EXPECT_TRUE(o.verbose);

    EXPECT_EQ(MustParse({"--class", "FS98MAIN"}).classes, ServerClasses::Fallback);
    EXPECT_EQ(MustParse({"--attitude", "script"}).attitude, AttitudeMode::Script);
    EXPECT_EQ(MustParse({"--server-version", "0"}).serverVersion, 0u);
    EXPECT_EQ(MustParse({"--pitch-raw", "2147483647"}).pitchRaw, INT32_MAX);
    EXPECT_EQ(MustParse({"--pitch-raw", "-2147483648"}).pitchRaw, INT32_MIN);
    EXPECT_EQ(MustParse({"--pitch-raw", "0xFFFFFFFF"}).pitchRaw, -1);
    EXPECT_EQ(MustParse({"--reply", "0x10"}).reply, 16u);
    EXPECT_TRUE(MustParse({"--help"}).help);
    EXPECT_TRUE(MustParse({"--attitude", "csv", "--help"}).help);
}

TEST(StandInOptions, ReadsTheRecordTheStepsAndABoundedFault) {
    StandInOptions o =
        MustParse({"--attitude", "steps", "--step-ms", "20", "--record", "C:\\runs\\a b.log",
                   "--fault-after", "40", "--fault-count", "2", "--reply", "2"});
    EXPECT_EQ(o.attitude, AttitudeMode::Steps);
    EXPECT_EQ(o.stepMs, 20u);
    EXPECT_EQ(o.recordPath, "C:\\runs\\a b.log");
    EXPECT_EQ(o.faultAfter, 40u);
    EXPECT_EQ(o.faultCount, 2u);
    EXPECT_EQ(o.reply, 2u);
    // A step time alone names its source; steps alone keep their default time.
    EXPECT_EQ(MustParse({"--step-ms", "1"}).attitude, AttitudeMode::Steps);
    o = MustParse({"--attitude", "steps"});
    EXPECT_EQ(o.stepMs, 100u);
    EXPECT_EQ(MustParse({"--fault-count", "1", "--delay-ms", "5"}).faultCount, 1u);
    EXPECT_EQ(MustParse({"--fault-count", "4294967295", "--tamper", "type"}).faultCount,
              4294967295u);
}

TEST(StandInOptions, CsvFileImpliesItsSource) {
    StandInOptions o = MustParse({"--csv", "track.csv"});
    EXPECT_EQ(o.attitude, AttitudeMode::Csv);
    EXPECT_EQ(o.csvPath, "track.csv");
    o = MustParse({"--attitude", "csv", "--csv", "a b.csv"});
    EXPECT_EQ(o.csvPath, "a b.csv");
}

struct BadLine {
    std::initializer_list<const char*> args;
    const char* error;
};

TEST(StandInOptions, RefusesBadCommandLinesSayingWhy) {
    const BadLine kBad[] = {
        {{"--bogus"}, "unknown option '--bogus' (see --help)"},
        {{"stray"}, "unexpected argument 'stray' (see --help)"},
        {{"--seconds"}, "--seconds needs a value"},
        {{"--seconds", "ten"}, "--seconds: 'ten' is not a whole number from 0 to 4294967295"},
        {{"--seconds", "-1"}, "--seconds: '-1' is not a whole number from 0 to 4294967295"},
        {{"--quit-after", "4294967296"},
         "--quit-after: '4294967296' is not a whole number from 0 to 4294967295"},
        {{"--delay-ms", "5ms"}, "--delay-ms: '5ms' is not a whole number from 0 to 4294967295"},
        {{"--class", "uipcmain"}, "--class: 'uipcmain' is not UIPCMAIN, FS98MAIN or both"},
        {{"--server-version", "0x1FFFFFFFF"},
         "--server-version: '0x1FFFFFFFF' is not a 32-bit hexadecimal value"},
        {{"--sim-version", "FADEG000"},
         "--sim-version: 'FADEG000' is not a 32-bit hexadecimal value"},
        {{"--tamper", "all"},
         "--tamper: 'all' is not one of none, type, size, end, offset, garbage"},
        {{"--attitude", "wild"}, "--attitude: 'wild' is not fixed, script, csv or steps"},
        {{"--pitch-raw", "2147483648"},
         "--pitch-raw: '2147483648' is not a signed 32-bit value (decimal, or 0x for a bit "
         "pattern)"},
        {{"--bank-raw", "-2147483649"},
         "--bank-raw: '-2147483649' is not a signed 32-bit value (decimal, or 0x for a bit "
         "pattern)"},
        {{"--csv", ""}, "--csv: '' is not a file name"},
        {{"--attitude", "csv"}, "--attitude csv needs --csv FILE"},
        {{"--attitude", "script", "--pitch-raw", "5"},
         "--pitch-raw and --bank-raw go with --attitude fixed"},
        {{"--csv", "t.csv", "--bank-raw", "5"},
         "--pitch-raw and --bank-raw go with --attitude fixed"},
        {{"--attitude", "script", "--csv", "t.csv"}, "--csv goes with --attitude csv"},
        {{"--record", ""}, "--record: '' is not a file name"},
        {{"--record"}, "--record needs a value"},
        {{"--step-ms", "0"}, "--step-ms: '0' is not a whole number from 1 to 4294967295"},
        {{"--step-ms", "-20"}, "--step-ms: '-20' is not a whole number from 1 to 4294967295"},
        {{"--attitude", "fixed", "--step-ms", "20"}, "--step-ms goes with --attitude steps"},
        {{"--csv", "t.csv", "--step-ms", "20"}, "--step-ms goes with --attitude steps"},
        {{"--attitude", "steps", "--pitch-raw", "5"},
         "--pitch-raw and --bank-raw go with --attitude fixed"},
        {{"--fault-count", "0", "--reply", "2"},
         "--fault-count: '0' is not a whole number from 1 to 4294967295"},
        {{"--fault-count", "3"},
         "--fault-count needs a fault to count: --reply other than 1, --delay-ms or --tamper"},
        {{"--fault-count", "3", "--reply", "1", "--delay-ms", "0", "--tamper", "none"},
         "--fault-count needs a fault to count: --reply other than 1, --delay-ms or --tamper"},
        {{"--hang", "--fault-count", "3"},
         "--fault-count does not go with --hang: a hung server answers nothing more"},
    };
    for (const BadLine& bad : kBad) {
        StandInOptions o;
        o.seconds = 77;
        std::string error;
        EXPECT_FALSE(Parse(bad.args, &o, &error)) << *bad.args.begin();
        EXPECT_EQ(error, bad.error);
        EXPECT_EQ(o.seconds, 77u) << "options changed by a refused command line";
    }
}

TEST(StandInOptions, UsageNamesEveryOption) {
    const std::string usage = StandInUsage();
    for (const char* option :
         {"--class",          "--server-version", "--sim-version", "--attitude",
          "--pitch-raw",      "--bank-raw",       "--csv",         "--fault-after",
          "--reply",          "--delay-ms",       "--hang",        "--tamper",
          "--quit-after",     "--seconds",        "--verbose",     "--help",
          "--attitude steps", "--step-ms",        "--fault-count", "--record"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

} // namespace
