// fuzz_zip: the engine's zip reader on arbitrary bytes. Reads the central
// directory, then extracts every listed member (up to 32) with a 1 MiB cap,
// so offsets, sizes, local headers, inflating and CRCs all meet hostile data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ZipSource source = ZipMemorySource(data, size);
    ZipDirectory directory;
    if (ZipReadDirectory(source, &directory) != ZipResult::Ok) return 0;
    std::size_t tried = 0;
    for (const ZipEntry& entry : directory.entries) {
        if (++tried > 32) break;
        std::vector<std::uint8_t> bytes;
        const ZipResult result = ZipExtract(source, directory, entry, 1u << 20, &bytes);
        // The contract: a refused member leaves nothing behind; an accepted one
        // has exactly its declared size.
        if (result != ZipResult::Ok && !bytes.empty()) __builtin_trap();
        if (result == ZipResult::Ok && bytes.size() != entry.uncompressedSize) __builtin_trap();
        if (ZipFind(directory, entry.name) == nullptr) __builtin_trap();
    }
    return 0;
}
