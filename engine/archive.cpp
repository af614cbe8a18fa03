// Registered archives on top of zip_reader. See archive.h.
#include "archive.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

struct OpenFile {
    std::ifstream stream;
};

bool ReadFile(void* context, std::uint64_t offset, void* destination, std::size_t count) {
    auto* file = static_cast<OpenFile*>(context);
    file->stream.clear();
    file->stream.seekg(static_cast<std::streamoff>(offset));
    if (!file->stream) return false;
    file->stream.read(static_cast<char*>(destination), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(file->stream.gcount()) == count;
}

std::filesystem::path Utf8Path(const std::string& path) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

// Opens `path` and fills `source` to read it. NotFound / ReadFailed otherwise.
ZipResult Open(const std::string& path, OpenFile* file, ZipSource* source) {
    std::error_code error;
    const std::filesystem::path native = Utf8Path(path);
    if (!std::filesystem::is_regular_file(native, error)) return ZipResult::NotFound;
    const std::uintmax_t size = std::filesystem::file_size(native, error);
    if (error) return ZipResult::ReadFailed;
    file->stream.open(native, std::ios::binary);
    if (!file->stream) return ZipResult::ReadFailed;
    source->size = size;
    source->read = ReadFile;
    source->context = file;
    return ZipResult::Ok;
}

} // namespace

ZipResult ArchiveSetAdd(ArchiveSet* set, const std::string& path, std::string* reason) {
    OpenFile file;
    ZipSource source;
    ZipResult result = Open(path, &file, &source);
    if (result == ZipResult::NotFound) {
        *reason = "archive \"" + path + "\" not found";
        return result;
    }
    if (result != ZipResult::Ok) {
        *reason = "archive \"" + path + "\" cannot be read";
        return result;
    }
    RegisteredArchive archive;
    archive.path = path;
    result = ZipReadDirectory(source, &archive.directory);
    if (result != ZipResult::Ok) {
        *reason = "archive \"" + path + "\" refused: " + ZipResultName(result);
        return result;
    }
    set->archives.push_back(std::move(archive));
    return ZipResult::Ok;
}

ZipResult ArchiveSetRead(const ArchiveSet& set, const std::string& name,
                         std::vector<std::uint8_t>* bytes, std::string* reason) {
    bytes->clear();
    for (const RegisteredArchive& archive : set.archives) {
        const ZipEntry* entry = ZipFind(archive.directory, name);
        if (entry == nullptr) continue;
        OpenFile file;
        ZipSource source;
        ZipResult result = Open(archive.path, &file, &source);
        if (result == ZipResult::Ok)
            result = ZipExtract(source, archive.directory, *entry, kMemberMaxBytes, bytes);
        if (result != ZipResult::Ok)
            *reason =
                "member \"" + name + "\" of \"" + archive.path + "\": " + ZipResultName(result);
        return result;
    }
    *reason = "member \"" + name + "\" not found in any archive";
    return ZipResult::NotFound;
}
