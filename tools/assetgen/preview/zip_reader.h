// Zip reader: the members of an in-memory zip archive, stored or deflated, CRC-checked.
//
// For reading archives back in tests and in the preview; it trusts nothing in the archive:
// every offset and size is checked against the bytes at hand, and a fault is reported with the
// member and what is wrong. No zip64, no encryption, no multi-disk archives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct ZipEntry {
    std::string name;
    std::uint16_t method = 0; // 0 stored, 8 deflated
    std::vector<std::uint8_t> data;
};

// Fills *entries in directory order and returns true, or sets *error and returns false.
bool ReadZip(const std::vector<std::uint8_t>& archive, std::vector<ZipEntry>* entries,
             std::string* error);

// The bytes of a whole file, or false with *error naming the path.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error);

} // namespace assetgen
