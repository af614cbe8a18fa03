#include "zip_reader.h"

#include <cstdio>
#include <zlib.h>

namespace assetgen {
namespace {

std::uint32_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return Get16(b, at) | (Get16(b, at + 2) << 16);
}

bool Inflate(const std::uint8_t* in, std::size_t inSize, std::vector<std::uint8_t>* out) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = static_cast<uInt>(inSize);
    zs.next_out = out->data();
    zs.avail_out = static_cast<uInt>(out->size());
    const int rc = inflate(&zs, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && zs.total_out == out->size();
    inflateEnd(&zs);
    return whole;
}

} // namespace

bool ReadZip(const std::vector<std::uint8_t>& archive, std::vector<ZipEntry>* entries,
             std::string* error) {
    entries->clear();
    const std::size_t size = archive.size();
    constexpr std::size_t kEndSize = 22;
    if (size < kEndSize) {
        *error = "too short for a zip archive";
        return false;
    }
    // The end record sits before a comment of at most 65535 bytes.
    std::size_t end = size - kEndSize + 1;
    bool found = false;
    while (end-- > 0 && size - end <= kEndSize + 0xFFFF) {
        if (Get32(archive, end) == 0x06054b50 &&
            end + kEndSize + Get16(archive, end + 20) == size) {
            found = true;
            break;
        }
    }
    if (!found) {
        *error = "no end of central directory record";
        return false;
    }
    const std::size_t count = Get16(archive, end + 10);
    const std::size_t dirSize = Get32(archive, end + 12);
    std::size_t at = Get32(archive, end + 16);
    if (Get16(archive, end + 4) != 0 || Get16(archive, end + 6) != 0 ||
        Get16(archive, end + 8) != count) {
        *error = "multi-disk archives are not read";
        return false;
    }
    if (at > end || dirSize > end - at) {
        *error = "central directory lies outside the archive";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (end - at < 46 || Get32(archive, at) != 0x02014b50) {
            *error = "central directory entry " + std::to_string(i) + " is broken";
            return false;
        }
        ZipEntry entry;
        const std::uint32_t flags = Get16(archive, at + 8);
        entry.method = static_cast<std::uint16_t>(Get16(archive, at + 10));
        const std::uint32_t crc = Get32(archive, at + 16);
        const std::size_t packedSize = Get32(archive, at + 20);
        const std::size_t rawSize = Get32(archive, at + 24);
        const std::size_t nameLength = Get16(archive, at + 28);
        const std::size_t skip = Get16(archive, at + 30) + Get16(archive, at + 32);
        const std::size_t local = Get32(archive, at + 42);
        if (end - at - 46 < nameLength + skip) {
            *error = "central directory entry " + std::to_string(i) + " overruns the directory";
            return false;
        }
        entry.name.assign(archive.begin() + static_cast<std::ptrdiff_t>(at + 46),
                          archive.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLength));
        at += 46 + nameLength + skip;
        if (flags & 1) {
            *error = entry.name + ": encrypted members are not read";
            return false;
        }
        if (local > end || end - local < 30 || Get32(archive, local) != 0x04034b50) {
            *error = entry.name + ": local header missing";
            return false;
        }
        const std::size_t dataAt =
            local + 30 + Get16(archive, local + 26) + Get16(archive, local + 28);
        if (dataAt > end || end - dataAt < packedSize) {
            *error = entry.name + ": data lies outside the archive";
            return false;
        }
        const std::uint8_t* packed = archive.data() + dataAt;
        if (entry.method == 0) {
            if (packedSize != rawSize) {
                *error = entry.name + ": stored sizes differ";
                return false;
            }
            entry.data.assign(packed, packed + rawSize);
        } else if (entry.method == 8) {
            // Deflate expands at most ~1032:1; a claim beyond that is a lie, not a big member.
            if (rawSize > packedSize * 1032 + 64) {
                *error = entry.name + ": implausible uncompressed size";
                return false;
            }
            entry.data.resize(rawSize);
            if (!Inflate(packed, packedSize, &entry.data)) {
                *error = entry.name + ": deflate stream is broken";
                return false;
            }
        } else {
            *error = entry.name + ": compression method " + std::to_string(entry.method) +
                     " is not read";
            return false;
        }
        if (crc32(0L, entry.data.data(), static_cast<uInt>(entry.data.size())) != crc) {
            *error = entry.name + ": CRC-32 mismatch";
            return false;
        }
        entries->push_back(std::move(entry));
    }
    return true;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
    bytes->clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *error = "cannot open " + path;
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    if (!ok) *error = "cannot read " + path;
    return ok;
}

} // namespace assetgen
