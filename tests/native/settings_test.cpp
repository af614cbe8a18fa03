// The settings file through the real writer and the POSIX file operations, in a
// scratch directory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "attitude_state.h"
#include "settings.h"
#include "settings_writer.h"

namespace fs = std::filesystem;

namespace {

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("horizon-settings-" + std::to_string(getpid()));
        fs::create_directories(dir);
        previous = fs::current_path();
        fs::current_path(dir);
        attitudeState.windowX = 0;
        attitudeState.windowY = 0;
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    static std::string Read(const char* name) {
        std::ifstream in(name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir, previous;
};

TEST_F(SettingsFile, WindowNeverMovedGivesTheFiftyThreeBytes) {
    SaveSettings();
    const std::string want = "[system]\r\nlight = 0\r\nPosWindowX = 0\r\nPosWindowY = 0\r\n";
    EXPECT_EQ(want.size(), 53u);
    EXPECT_EQ(Read("Corvelle.ini"), want);
}

TEST_F(SettingsFile, PositionsAreWrittenWithPercentI) {
    const struct {
        int32_t x, y;
        const char* text;
    } cases[] = {
        {-8, -31, "[system]\r\nlight = 0\r\nPosWindowX = -8\r\nPosWindowY = -31\r\n"},
        {1920, 7, "[system]\r\nlight = 0\r\nPosWindowX = 1920\r\nPosWindowY = 7\r\n"},
        {INT32_MIN, INT32_MAX,
         "[system]\r\nlight = 0\r\nPosWindowX = -2147483648\r\nPosWindowY = 2147483647\r\n"},
    };
    for (const auto& c : cases) {
        attitudeState.windowX = c.x;
        attitudeState.windowY = c.y;
        SaveSettings();
        EXPECT_EQ(Read("Corvelle.ini"), c.text);
    }
}

TEST_F(SettingsFile, OldContentIsReplacedWhole) {
    {
        std::ofstream old("Corvelle.ini", std::ios::binary);
        old << "; written by hand\r\n[display]\r\nzoom = 3\r\n[system]\r\nlight = 1\r\n"
               "PosWindowX = 99999\r\nextra = yes\r\n"
            << std::string(4096, 'x');
    }
    attitudeState.windowX = 5;
    SaveSettings();
    EXPECT_EQ(Read("Corvelle.ini"),
              "[system]\r\nlight = 0\r\nPosWindowX = 5\r\nPosWindowY = 0\r\n");
}

TEST_F(SettingsFile, FileIsEmptyFromCreateUntilClose) {
    { std::ofstream("Corvelle.ini") << "previous"; }
    SettingsCreate("Corvelle.ini");
    EXPECT_EQ(fs::file_size("Corvelle.ini"), 0u);
    SettingsSelectGroup("system");
    SettingsWriteInt("light", 0);
    EXPECT_EQ(fs::file_size("Corvelle.ini"), 0u);
    SettingsClose();
    EXPECT_EQ(Read("Corvelle.ini"), "[system]\r\nlight = 0\r\n");
}

TEST_F(SettingsFile, WriterGroupsAndKeys) {
    SettingsCreate("w.ini");
    SettingsSelectGroup("a");
    SettingsWriteInt("one", 1);
    SettingsSelectGroup("b");
    SettingsWriteInt("two", 2);
    SettingsSelectGroup("a");
    SettingsWriteInt("three", 3); // after the last entry of group a, not at the end
    SettingsWriteInt("ONE", -1);  // same key without regard to case: replaced in place
    SettingsClose();
    EXPECT_EQ(Read("w.ini"), "[a]\r\none = -1\r\nthree = 3\r\n[b]\r\ntwo = 2\r\n");
}

TEST_F(SettingsFile, UncreatableFileIsSilentAndLaterCallsDoNothing) {
    fs::create_directory("Corvelle.ini"); // a directory where the file should be
    SaveSettings();
    EXPECT_TRUE(fs::is_directory("Corvelle.ini"));
    char buffer[64];
    EXPECT_EQ(SettingsComposeForTest(buffer, sizeof buffer), 0u) << "no entries were kept";
}

} // namespace
