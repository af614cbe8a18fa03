// Zip central directory and member extraction. See zip_reader.h.
#include "zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr std::size_t kChunk = 64 * 1024;

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool ReadAt(const ZipSource& source, std::uint64_t offset, void* destination, std::size_t count) {
    if (offset > source.size || count > source.size - offset) return false;
    if (count == 0) return true;
    return source.read(source.context, offset, destination, count);
}

// ReadAt has checked the range against ZipSource::size before this is called.
bool ReadMemory(void* context, std::uint64_t offset, void* destination, std::size_t count) {
    std::memcpy(destination, static_cast<const std::uint8_t*>(context) + offset, count);
    return true;
}

// Reads the deflate stream of `compressedSize` bytes at `offset` into exactly
// `expected` bytes; one byte of headroom tells a bomb from an exact fit.
ZipResult Inflate(const ZipSource& source, std::uint64_t offset, std::uint64_t compressedSize,
                  std::uint64_t expected, std::vector<std::uint8_t>* out) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ZipResult::BadData;
    out->assign(static_cast<std::size_t>(expected) + 1, 0);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::uint64_t>(compressedSize, 1), kChunk)));
    stream.next_out = out->data();
    stream.avail_out = static_cast<uInt>(out->size());
    std::uint64_t consumed = 0;
    ZipResult result = ZipResult::BadData;
    for (;;) {
        if (stream.avail_in == 0 && consumed < compressedSize) {
            const std::size_t count = static_cast<std::size_t>(
                std::min<std::uint64_t>(compressedSize - consumed, kChunk));
            if (!ReadAt(source, offset + consumed, chunk.data(), count)) {
                result = ZipResult::ReadFailed;
                break;
            }
            consumed += count;
            stream.next_in = chunk.data();
            stream.avail_in = static_cast<uInt>(count);
        }
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (stream.total_out > expected) {
            result = ZipResult::SizeMismatch;
            break;
        }
        if (status == Z_STREAM_END) {
            result = stream.total_out == expected ? ZipResult::Ok : ZipResult::SizeMismatch;
            break;
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && consumed == compressedSize) {
            result = ZipResult::BadData; // the stream ends before its last block
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            result = ZipResult::BadData;
            break;
        }
    }
    inflateEnd(&stream);
    if (result != ZipResult::Ok) {
        out->clear();
        return result;
    }
    out->resize(static_cast<std::size_t>(expected));
    return ZipResult::Ok;
}

} // namespace

const char* ZipResultName(ZipResult result) {
    switch (result) {
    case ZipResult::Ok:
        return "Ok";
    case ZipResult::NotFound:
        return "NotFound";
    case ZipResult::Truncated:
        return "Truncated";
    case ZipResult::BadSignature:
        return "BadSignature";
    case ZipResult::BadOffset:
        return "BadOffset";
    case ZipResult::Unsupported:
        return "Unsupported";
    case ZipResult::TooLarge:
        return "TooLarge";
    case ZipResult::BadData:
        return "BadData";
    case ZipResult::SizeMismatch:
        return "SizeMismatch";
    case ZipResult::CrcMismatch:
        return "CrcMismatch";
    case ZipResult::ReadFailed:
        return "ReadFailed";
    }
    return "Unknown";
}

ZipSource ZipMemorySource(const std::uint8_t* bytes, std::size_t size) {
    ZipSource source;
    source.size = size;
    source.read = ReadMemory;
    source.context = const_cast<std::uint8_t*>(bytes);
    return source;
}

ZipResult ZipReadDirectory(const ZipSource& source, ZipDirectory* directory) {
    *directory = ZipDirectory{};
    if (source.size < kEndSize) return ZipResult::Truncated;

    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(source.size, kEndSize + kMaxComment));
    const std::uint64_t tailStart = source.size - tailSize;
    std::vector<std::uint8_t> tail(tailSize);
    if (!ReadAt(source, tailStart, tail.data(), tailSize)) return ZipResult::ReadFailed;

    // The end record is the last signature whose comment ends exactly at the
    // end of the file; a signature inside a comment cannot satisfy that.
    std::size_t endAt = tailSize;
    for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (Get32(&tail[i]) == kEndSignature && i + kEndSize + Get16(&tail[i + 20]) == tailSize) {
            endAt = i;
            break;
        }
    }
    if (endAt == tailSize) return ZipResult::BadSignature;
    const std::uint8_t* end = &tail[endAt];
    const std::uint64_t endOffset = tailStart + endAt;
    const std::uint16_t disk = Get16(end + 4);
    const std::uint16_t directoryDisk = Get16(end + 6);
    const std::uint16_t entriesHere = Get16(end + 8);
    const std::uint16_t entryCount = Get16(end + 10);
    const std::uint32_t directorySize = Get32(end + 12);
    const std::uint32_t directoryOffset = Get32(end + 16);
    if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu)
        return ZipResult::Unsupported; // zip64
    if (disk != 0 || directoryDisk != 0 || entriesHere != entryCount)
        return ZipResult::Unsupported; // spanned archive
    if (directoryOffset > endOffset) return ZipResult::BadOffset;
    if (directorySize > endOffset - directoryOffset) return ZipResult::Truncated;
    if (directorySize > kZipMaxDirectoryBytes) return ZipResult::TooLarge;

    std::vector<std::uint8_t> central(directorySize);
    if (!ReadAt(source, directoryOffset, central.data(), central.size()))
        return ZipResult::ReadFailed;

    ZipDirectory parsed;
    parsed.directoryOffset = directoryOffset;
    parsed.entries.reserve(entryCount);
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < entryCount; ++i) {
        if (central.size() - at < kCentralSize) return ZipResult::Truncated;
        const std::uint8_t* h = &central[at];
        if (Get32(h) != kCentralSignature) return ZipResult::BadSignature;
        ZipEntry entry;
        entry.flags = Get16(h + 8);
        entry.method = Get16(h + 10);
        entry.crc32 = Get32(h + 16);
        const std::uint32_t compressed = Get32(h + 20);
        const std::uint32_t uncompressed = Get32(h + 24);
        const std::size_t nameLength = Get16(h + 28);
        const std::size_t extraLength = Get16(h + 30);
        const std::size_t commentLength = Get16(h + 32);
        const std::uint16_t startDisk = Get16(h + 34);
        const std::uint32_t localOffset = Get32(h + 42);
        const std::size_t recordSize = kCentralSize + nameLength + extraLength + commentLength;
        if (central.size() - at < recordSize) return ZipResult::Truncated;
        if (compressed == 0xFFFFFFFFu || uncompressed == 0xFFFFFFFFu ||
            localOffset == 0xFFFFFFFFu || startDisk == 0xFFFF)
            return ZipResult::Unsupported; // zip64 fields
        if (startDisk != 0) return ZipResult::Unsupported;
        if (localOffset > directoryOffset || directoryOffset - localOffset < kLocalSize)
            return ZipResult::BadOffset;
        if (compressed > directoryOffset - localOffset - kLocalSize) return ZipResult::BadOffset;
        entry.name.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLength);
        entry.compressedSize = compressed;
        entry.uncompressedSize = uncompressed;
        entry.localHeaderOffset = localOffset;
        parsed.entries.push_back(std::move(entry));
        at += recordSize;
    }
    *directory = std::move(parsed);
    return ZipResult::Ok;
}

const ZipEntry* ZipFind(const ZipDirectory& directory, const std::string& name) {
    for (const ZipEntry& entry : directory.entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

ZipResult ZipExtract(const ZipSource& source, const ZipDirectory& directory, const ZipEntry& entry,
                     std::uint64_t cap, std::vector<std::uint8_t>* data) {
    data->clear();
    if (entry.uncompressedSize > cap) return ZipResult::TooLarge;
    if ((entry.flags & 0x0001) != 0) return ZipResult::Unsupported; // encrypted
    if (entry.method != 0 && entry.method != 8) return ZipResult::Unsupported;

    const std::uint64_t limit = std::min<std::uint64_t>(directory.directoryOffset, source.size);
    if (entry.localHeaderOffset > limit || limit - entry.localHeaderOffset < kLocalSize)
        return ZipResult::BadOffset;
    std::uint8_t local[kLocalSize];
    if (!ReadAt(source, entry.localHeaderOffset, local, sizeof local)) return ZipResult::ReadFailed;
    if (Get32(local) != kLocalSignature) return ZipResult::BadSignature;
    const std::uint64_t dataStart =
        entry.localHeaderOffset + kLocalSize + Get16(local + 26) + Get16(local + 28);
    if (dataStart > limit || entry.compressedSize > limit - dataStart) return ZipResult::Truncated;

    std::vector<std::uint8_t> bytes;
    if (entry.method == 0) {
        if (entry.compressedSize != entry.uncompressedSize) return ZipResult::SizeMismatch;
        bytes.resize(static_cast<std::size_t>(entry.uncompressedSize));
        if (!ReadAt(source, dataStart, bytes.data(), bytes.size())) return ZipResult::ReadFailed;
    } else {
        const ZipResult inflated =
            Inflate(source, dataStart, entry.compressedSize, entry.uncompressedSize, &bytes);
        if (inflated != ZipResult::Ok) return inflated;
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    // crc32 takes a 32-bit length: feed large members in pieces.
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t piece = std::min<std::size_t>(bytes.size() - done, 1u << 30);
        crc = crc32(crc, bytes.data() + done, static_cast<uInt>(piece));
        done += piece;
    }
    if (static_cast<std::uint32_t>(crc) != entry.crc32) return ZipResult::CrcMismatch;
    *data = std::move(bytes);
    return ZipResult::Ok;
}
