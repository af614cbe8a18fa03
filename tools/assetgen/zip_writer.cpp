#include "zip_writer.h"

#include <limits>
#include <zlib.h>

namespace assetgen {
namespace {

constexpr std::uint16_t kVersionNeeded = 20; // 2.0: deflate
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kDosTime = 0;                       // 00:00:00
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01, the format's epoch
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

void Put16(std::vector<std::uint8_t>* out, std::uint32_t v) {
    out->push_back(static_cast<std::uint8_t>(v & 0xFF));
    out->push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>* out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The run of fields that the local header and the central directory entry share, from
// "version needed" to "extra field length".
struct EntryFields {
    std::uint16_t method;
    std::uint32_t crc, packedSize, rawSize, nameLength;
};

void PutEntryFields(std::vector<std::uint8_t>* out, const EntryFields& f) {
    Put16(out, kVersionNeeded);
    Put16(out, 0); // flags: sizes known up front, no data descriptor
    Put16(out, f.method);
    Put16(out, kDosTime);
    Put16(out, kDosDate);
    Put32(out, f.crc);
    Put32(out, f.packedSize);
    Put32(out, f.rawSize);
    Put16(out, f.nameLength);
    Put16(out, 0); // extra field length
}

bool Deflate(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>* out) {
    z_stream zs{};
    // Raw deflate (negative window bits): zip carries no zlib header or adler checksum.
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out->resize(deflateBound(&zs, static_cast<uLong>(in.size())));
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = out->data();
    zs.avail_out = static_cast<uInt>(out->size());
    const int rc = deflate(&zs, Z_FINISH);
    out->resize(zs.total_out);
    deflateEnd(&zs);
    return rc == Z_STREAM_END;
}

} // namespace

bool BuildZip(const std::vector<ZipMember>& members, std::vector<std::uint8_t>* archive,
              std::string* error) {
    archive->clear();
    if (members.size() > 0xFFFF) {
        *error = "too many members for a zip without zip64: " + std::to_string(members.size());
        return false;
    }
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> directory;
    for (const ZipMember& m : members) {
        if (m.name.empty() || m.name.size() > 0xFFFF) {
            *error = "member name empty or longer than 65535 bytes";
            return false;
        }
        // deflate works on uInt lengths; the archive limits are tighter anyway.
        if (m.data.size() >= kMax32) {
            *error = "member " + m.name + " exceeds 4 GiB (zip64 is not written)";
            return false;
        }
        const auto crc =
            static_cast<std::uint32_t>(crc32(0L, m.data.data(), static_cast<uInt>(m.data.size())));
        std::vector<std::uint8_t> packed;
        if (!Deflate(m.data, &packed)) {
            *error = "deflate failed for member " + m.name;
            return false;
        }
        const bool stored = packed.size() >= m.data.size();
        const std::vector<std::uint8_t>& body = stored ? m.data : packed;
        const std::uint64_t offset = out.size();
        if (offset + 30 + m.name.size() + body.size() >= kMax32) {
            *error = "archive exceeds 4 GiB at member " + m.name + " (zip64 is not written)";
            return false;
        }
        const EntryFields fields{
            stored ? kMethodStored : kMethodDeflated, crc, static_cast<std::uint32_t>(body.size()),
            static_cast<std::uint32_t>(m.data.size()), static_cast<std::uint32_t>(m.name.size())};
        Put32(&out, 0x04034b50);
        PutEntryFields(&out, fields);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), body.begin(), body.end());

        Put32(&directory, 0x02014b50);
        Put16(&directory, kVersionNeeded); // made by: MS-DOS host, 2.0, so no Unix mode bits
        PutEntryFields(&directory, fields);
        Put16(&directory, 0); // comment
        Put16(&directory, 0); // disk number
        Put16(&directory, 0); // internal attributes
        Put32(&directory, 0); // external attributes
        Put32(&directory, static_cast<std::uint32_t>(offset));
        directory.insert(directory.end(), m.name.begin(), m.name.end());
    }
    const std::uint64_t directoryOffset = out.size();
    if (directoryOffset + directory.size() + 22 >= kMax32) {
        *error = "archive exceeds 4 GiB (zip64 is not written)";
        return false;
    }
    out.insert(out.end(), directory.begin(), directory.end());
    Put32(&out, 0x06054b50);
    Put16(&out, 0); // this disk
    Put16(&out, 0); // disk holding the directory
    Put16(&out, static_cast<std::uint32_t>(members.size()));
    Put16(&out, static_cast<std::uint32_t>(members.size()));
    Put32(&out, static_cast<std::uint32_t>(directory.size()));
    Put32(&out, static_cast<std::uint32_t>(directoryOffset));
    Put16(&out, 0); // comment length
    *archive = std::move(out);
    return true;
}

} // namespace assetgen
