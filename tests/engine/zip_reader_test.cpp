// The zip reader against archives made by Info-ZIP and Python, archives made
// here with every layout it must read, and broken or hostile ones.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "engine_test_assets.h"
#include "zip_reader.h"

namespace {

const std::string kFixtures = ENGINE_FIXTURES;

ZipResult ReadDirectory(const Bytes& archive, ZipDirectory* directory) {
    return ZipReadDirectory(ZipMemorySource(archive.data(), archive.size()), directory);
}

ZipResult Extract(const Bytes& archive, const std::string& name, Bytes* data,
                  std::uint64_t cap = 1u << 26) {
    ZipDirectory directory;
    const ZipSource source = ZipMemorySource(archive.data(), archive.size());
    if (ZipResult r = ZipReadDirectory(source, &directory); r != ZipResult::Ok) return r;
    const ZipEntry* entry = ZipFind(directory, name);
    if (entry == nullptr) return ZipResult::NotFound;
    return ZipExtract(source, directory, *entry, cap, data);
}

void Put32(Bytes* bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t FindSignature(const Bytes& bytes, std::uint32_t signature, std::size_t from = 0) {
    for (std::size_t i = from; i + 4 <= bytes.size(); ++i) {
        std::uint32_t v;
        std::memcpy(&v, &bytes[i], 4);
        if (v == signature) return i;
    }
    return bytes.size();
}

class ToolArchives : public ::testing::TestWithParam<const char*> {};

TEST_P(ToolArchives, EveryMemberComesOutAsWritten) {
    const Bytes archive = ReadBytes(kFixtures + "/" + GetParam());
    ASSERT_FALSE(archive.empty());
    ZipDirectory directory;
    ASSERT_EQ(ReadDirectory(archive, &directory), ZipResult::Ok);
    EXPECT_EQ(directory.entries.size(), 3u);
    for (const char* name : {"alpha.txt", "beta.bin", "gamma.txt"}) {
        Bytes data;
        ASSERT_EQ(Extract(archive, name, &data), ZipResult::Ok) << name;
        EXPECT_EQ(data, ReadBytes(kFixtures + "/" + name)) << name;
    }
    Bytes data;
    EXPECT_EQ(Extract(archive, "delta.txt", &data), ZipResult::NotFound);
}

INSTANTIATE_TEST_SUITE_P(ZipAndPython, ToolArchives,
                         ::testing::Values("zip_stored.zip", "zip_deflated.zip",
                                           "python_descriptors.zip"));

TEST(ZipReader, PythonArchiveReallyUsesDataDescriptors) {
    const Bytes archive = ReadBytes(kFixtures + "/python_descriptors.zip");
    ZipDirectory directory;
    ASSERT_EQ(ReadDirectory(archive, &directory), ZipResult::Ok);
    for (const ZipEntry& entry : directory.entries) {
        EXPECT_NE(entry.flags & 0x0008, 0) << entry.name;
        EXPECT_EQ(entry.method, 8) << entry.name;
    }
}

TEST(ZipReader, ReadsEveryLayoutItWrites) {
    const Bytes text = ToBytes(std::string(5000, 'x') + "end");
    for (bool deflate : {false, true})
        for (bool descriptor : {false, true}) {
            const Bytes archive = MakeZip({{"first", ToBytes("1"), deflate, descriptor},
                                           {"dir/second", text, deflate, descriptor},
                                           {"empty", {}, deflate, descriptor}});
            Bytes data;
            ASSERT_EQ(Extract(archive, "dir/second", &data), ZipResult::Ok);
            EXPECT_EQ(data, text);
            ASSERT_EQ(Extract(archive, "empty", &data), ZipResult::Ok);
            EXPECT_TRUE(data.empty());
            // Names are whole paths compared byte for byte.
            EXPECT_EQ(Extract(archive, "second", &data), ZipResult::NotFound);
            EXPECT_EQ(Extract(archive, "FIRST", &data), ZipResult::NotFound);
        }
}

TEST(ZipReader, CommentAfterTheEndRecordIsAllowed) {
    Bytes archive = MakeZip({{"a", ToBytes("payload"), true, false}});
    // Comment length 20, holding a fake end signature that must be ignored.
    archive[archive.size() - 2] = 20;
    Bytes comment = ToBytes("PK\x05\x06 not a record");
    comment.resize(20, '.');
    archive.insert(archive.end(), comment.begin(), comment.end());
    Bytes data;
    ASSERT_EQ(Extract(archive, "a", &data), ZipResult::Ok);
    EXPECT_EQ(data, ToBytes("payload"));
}

struct Damage {
    const char* what;
    void (*apply)(Bytes*);
    ZipResult directoryResult; // Ok: the directory reads, extraction must fail
    ZipResult extractResult;
};

const Bytes& Healthy() {
    static const Bytes archive = MakeZip({{"member", ToBytes(std::string(3000, 'q')), true, false},
                                          {"stored", ToBytes("abc"), false, false}});
    return archive;
}

std::size_t CentralAt(const Bytes& b) {
    return FindSignature(b, 0x02014b50);
}
std::size_t EndAt(const Bytes& b) {
    return FindSignature(b, 0x06054b50);
}

const Damage kDamages[] = {
    {"empty file", [](Bytes* b) { b->clear(); }, ZipResult::Truncated, ZipResult::Ok},
    {"truncated in the directory", [](Bytes* b) { b->resize(CentralAt(*b) + 30); },
     ZipResult::BadSignature, ZipResult::Ok},
    {"truncated end record", [](Bytes* b) { b->resize(b->size() - 5); }, ZipResult::BadSignature,
     ZipResult::Ok},
    {"directory offset past the end",
     [](Bytes* b) { Put32(b, EndAt(*b) + 16, static_cast<std::uint32_t>(b->size() + 100)); },
     ZipResult::BadOffset, ZipResult::Ok},
    {"directory size past the end record", [](Bytes* b) { Put32(b, EndAt(*b) + 12, 0x100000); },
     ZipResult::Truncated, ZipResult::Ok},
    {"zip64 marker", [](Bytes* b) { Put32(b, EndAt(*b) + 16, 0xFFFFFFFFu); },
     ZipResult::Unsupported, ZipResult::Ok},
    {"local header offset past the directory",
     [](Bytes* b) { Put32(b, CentralAt(*b) + 42, static_cast<std::uint32_t>(CentralAt(*b))); },
     ZipResult::BadOffset, ZipResult::Ok},
    {"compressed size past the directory",
     [](Bytes* b) { Put32(b, CentralAt(*b) + 20, 0x7FFFFFF0u); }, ZipResult::BadOffset,
     ZipResult::Ok},
    {"broken directory signature", [](Bytes* b) { (*b)[CentralAt(*b)] = 'X'; },
     ZipResult::BadSignature, ZipResult::Ok},
    {"member claims 4 GiB", [](Bytes* b) { Put32(b, CentralAt(*b) + 24, 0xFFFFFFF0u); },
     ZipResult::Ok, ZipResult::TooLarge},
    {"member claims the zip64 size", [](Bytes* b) { Put32(b, CentralAt(*b) + 24, 0xFFFFFFFFu); },
     ZipResult::Unsupported, ZipResult::Ok},
    {"declared smaller than it inflates (bomb)",
     [](Bytes* b) { Put32(b, CentralAt(*b) + 24, 100); }, ZipResult::Ok, ZipResult::SizeMismatch},
    {"declared larger than it inflates", [](Bytes* b) { Put32(b, CentralAt(*b) + 24, 3001); },
     ZipResult::Ok, ZipResult::SizeMismatch},
    {"wrong CRC", [](Bytes* b) { Put32(b, CentralAt(*b) + 16, 0x12345678u); }, ZipResult::Ok,
     ZipResult::CrcMismatch},
    // First block header of the stream (after the 30-byte header and the
    // 6-byte name) set to the reserved block type 3.
    {"corrupt deflate stream", [](Bytes* b) { (*b)[30 + 6] = 0x07; }, ZipResult::Ok,
     ZipResult::BadData},
    {"broken local signature", [](Bytes* b) { (*b)[0] = 'X'; }, ZipResult::Ok,
     ZipResult::BadSignature},
    {"local name length runs into the directory",
     [](Bytes* b) {
         (*b)[26] = 0xFF;
         (*b)[27] = 0xFF;
     },
     ZipResult::Ok, ZipResult::Truncated},
    {"encrypted member", [](Bytes* b) { (*b)[CentralAt(*b) + 8] |= 1; }, ZipResult::Ok,
     ZipResult::Unsupported},
    {"unknown method", [](Bytes* b) { (*b)[CentralAt(*b) + 10] = 12; }, ZipResult::Ok,
     ZipResult::Unsupported},
};

class DamagedArchive : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedArchive, FailsWithItsOwnReason) {
    const Damage& damage = GetParam();
    Bytes archive = Healthy();
    damage.apply(&archive);
    ZipDirectory directory;
    const ZipSource source = ZipMemorySource(archive.data(), archive.size());
    const ZipResult read = ZipReadDirectory(source, &directory);
    EXPECT_EQ(read, damage.directoryResult) << ZipResultName(read);
    if (read != ZipResult::Ok) {
        EXPECT_TRUE(directory.entries.empty());
        return;
    }
    Bytes data = ToBytes("stale");
    const ZipResult extracted =
        ZipExtract(source, directory, directory.entries[0], 1u << 26, &data);
    EXPECT_EQ(extracted, damage.extractResult) << ZipResultName(extracted);
    EXPECT_TRUE(data.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedArchive, ::testing::ValuesIn(kDamages),
                         [](const auto& test) { return Identifier(test.param.what); });

TEST(ZipReader, DeflateBombStopsAtTheDeclaredSize) {
    // 64 MiB of zeros deflate to about 64 KiB; declared as 1000 bytes, the
    // reader must stop after 1001 bytes of output instead of inflating it all.
    const Bytes zeros(64u << 20, 0);
    Bytes archive = MakeZip({{"bomb", zeros, true, false}});
    Put32(&archive, CentralAt(archive) + 24, 1000);
    Bytes data;
    EXPECT_EQ(Extract(archive, "bomb", &data), ZipResult::SizeMismatch);
    EXPECT_TRUE(data.empty());
    // Honestly declared, the same member is refused by the caller's cap.
    const Bytes honest = MakeZip({{"bomb", zeros, true, false}});
    EXPECT_EQ(Extract(honest, "bomb", &data, 1u << 20), ZipResult::TooLarge);
}

TEST(ZipReader, EveryTruncationFailsCleanly) {
    const Bytes archive = Healthy();
    for (std::size_t size = 0; size < archive.size(); ++size) {
        const Bytes cut(archive.begin(), archive.begin() + static_cast<std::ptrdiff_t>(size));
        ZipDirectory directory;
        EXPECT_NE(ReadDirectory(cut, &directory), ZipResult::Ok) << size;
    }
}

} // namespace
