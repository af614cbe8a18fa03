// The zip writer on members the gauge archive never has: one that does not compress (stored),
// an empty one, and names the format cannot carry. Each archive is read back by our reader and
// by Python's zipfile.
#include "zip_reader.h"
#include "zip_writer.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "scratch_dir.h"
#include <random>
#include <string>
#include <unistd.h>

namespace assetgen {
namespace {

std::vector<std::uint8_t> Noise(std::size_t size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(ZipWriter, PicksStoredOrDeflatedAndReadsBack) {
    struct Case {
        ZipMember member;
        std::uint16_t method;
    };
    const std::vector<Case> cases = {
        {{"noise.bin", Noise(5000)}, 0},
        {{"text.txt", std::vector<std::uint8_t>(5000, 'a')}, 8},
        {{"empty", {}}, 0},
        {{"dir/nested name.png", {1, 2, 3}}, 0},
    };
    std::vector<ZipMember> members;
    for (const Case& c : cases)
        members.push_back(c.member);
    std::vector<std::uint8_t> zip;
    std::string error;
    ASSERT_TRUE(BuildZip(members, &zip, &error)) << error;

    std::vector<ZipEntry> entries;
    ASSERT_TRUE(ReadZip(zip, &entries, &error)) << error;
    ASSERT_EQ(entries.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].member.name);
        EXPECT_EQ(entries[i].name, cases[i].member.name);
        EXPECT_EQ(entries[i].method, cases[i].method);
        EXPECT_TRUE(entries[i].data == cases[i].member.data);
    }

    const std::string path = ScratchDir() + "assetgen_writer.zip";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(zip.data(), 1, zip.size(), f), zip.size());
    std::fclose(f);
    EXPECT_EQ(std::system(("python3 -m zipfile -t " + path + " >/dev/null").c_str()), 0);
    std::remove(path.c_str());
}

TEST(ZipWriter, RefusesNamesTheFormatCannotHold) {
    for (const std::string& name : {std::string(), std::string(70000, 'n')}) {
        std::vector<std::uint8_t> zip = {1};
        std::string error;
        EXPECT_FALSE(BuildZip({{name, {1, 2}}}, &zip, &error)) << name.size();
        EXPECT_TRUE(zip.empty());
        EXPECT_NE(error.find("name"), std::string::npos) << error;
    }
}

} // namespace
} // namespace assetgen
