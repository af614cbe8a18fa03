// Zip writer: builds a whole zip archive in memory from named members.
//
// Deterministic by construction: members in the order given, a fixed timestamp (1980-01-01
// 00:00), no extra fields, no comment, so equal input gives equal bytes. Each member is deflated
// with zlib when that makes it smaller and stored otherwise; CRC-32 from zlib. No zip64: a member
// or an archive beyond 4 GiB, more than 65535 members, or a name longer than 65535 bytes is
// refused with a message instead of being written wrong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct ZipMember {
    std::string name;
    std::vector<std::uint8_t> data;
};

// Fills *archive and returns true, or leaves it empty, sets *error and returns false.
bool BuildZip(const std::vector<ZipMember>& members, std::vector<std::uint8_t>* archive,
              std::string* error);

} // namespace assetgen
