// zip_reader.h - reads the central directory of a zip archive and extracts
// single members (stored or deflated), trusting nothing in the file.
//
// Contract
// - Pure: all bytes come through ZipSource::read, so the same code serves files,
//   memory buffers, the tests and the fuzzer. Inflating uses zlib.
// - ZipReadDirectory finds the end-of-central-directory record (the last one
//   whose comment ends exactly at the end of the file), then checks every
//   offset and size against the file before it is used: the directory must lie
//   before the end record, each entry inside the directory, each member's local
//   header and data before the directory. Zip64 archives, multi-disk archives
//   and directories over kZipMaxDirectoryBytes are refused as unsupported.
// - ZipExtract reads one member: method 0 (stored) or 8 (deflate); flag bit 3
//   (data descriptor) is fine because sizes and CRC come from the central
//   directory. Encrypted members and other methods are Unsupported. A member
//   declaring more than `cap` bytes is TooLarge before anything is allocated; a
//   deflate stream that would inflate past the declared size is SizeMismatch
//   (decompression bomb) and inflating stops there; the CRC-32 must match.
// - On failure the out-parameters are left empty; nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ZipResult {
    Ok,
    NotFound,     // no member of that name
    Truncated,    // a record runs past the end of the file or its region
    BadSignature, // a record does not start with its signature
    BadOffset,    // an offset points outside the region where it must lie
    Unsupported,  // zip64, multi-disk, encryption, compression method
    TooLarge,     // over the caller's cap or the directory limit
    BadData,      // the deflate stream is corrupt or ends early
    SizeMismatch, // the data does not have the declared size (bomb, stored size)
    CrcMismatch,  // the CRC-32 of the data differs from the directory's
    ReadFailed,   // ZipSource::read reported an error
};

const char* ZipResultName(ZipResult result);

struct ZipSource {
    std::uint64_t size = 0;
    // Reads exactly `count` bytes at `offset` (within size) or returns false.
    bool (*read)(void* context, std::uint64_t offset, void* destination,
                 std::size_t count) = nullptr;
    void* context = nullptr;
};

// A ZipSource over bytes the caller keeps alive.
ZipSource ZipMemorySource(const std::uint8_t* bytes, std::size_t size);

struct ZipEntry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0;
};

struct ZipDirectory {
    std::vector<ZipEntry> entries;
    // Where the central directory starts: every member's data must end before it.
    std::uint64_t directoryOffset = 0;
};

inline constexpr std::uint64_t kZipMaxDirectoryBytes = 16u << 20;

ZipResult ZipReadDirectory(const ZipSource& source, ZipDirectory* directory);

// The first entry named exactly `name` (zip names are compared byte for byte).
const ZipEntry* ZipFind(const ZipDirectory& directory, const std::string& name);

ZipResult ZipExtract(const ZipSource& source, const ZipDirectory& directory, const ZipEntry& entry,
                     std::uint64_t cap, std::vector<std::uint8_t>* data);
