// archive.h - the engine's registered archives and the lookup of members by
// bare name, in registration order.
//
// Contract
// - ArchiveSetAdd reads and checks the archive's central directory at once
//   (zip_reader.h) and remembers the path; a file that is missing or broken is
//   not registered. Member bytes are read from the file when asked for.
// - ArchiveSetRead looks the name up in each archive in registration order; the
//   first archive that lists the name decides: its member is extracted (capped
//   at kMemberMaxBytes) or the read fails, without trying later archives.
// - Paths are UTF-8, on Windows too (opened through std::filesystem::path).
// - Failures come back as a ZipResult plus a one-line English reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zip_reader.h"

inline constexpr std::uint64_t kMemberMaxBytes = 64u << 20;

struct RegisteredArchive {
    std::string path;
    ZipDirectory directory;
};

struct ArchiveSet {
    std::vector<RegisteredArchive> archives;
};

// ZipResult::NotFound when the file does not exist, ReadFailed when it cannot
// be read, otherwise what the directory reader says.
ZipResult ArchiveSetAdd(ArchiveSet* set, const std::string& path, std::string* reason);

ZipResult ArchiveSetRead(const ArchiveSet& set, const std::string& name,
                         std::vector<std::uint8_t>* bytes, std::string* reason);
