// assetgen: writes the default gauge archive data_horizon_rouleau.zip.
//
//   assetgen -o PATH
//
// The archive is complete in memory before anything touches PATH, and it reaches PATH through a
// temporary file and a rename, so a failure never leaves a truncated archive where an older good
// one stood. Exit codes: 0 written, 1 generation or write failed, 2 bad arguments.
#include "gauge_archive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef ASSETGEN_FONT
#error "ASSETGEN_FONT must name the TrueType font for the numerals"
#endif

namespace {

constexpr const char* kUsage = "usage: assetgen -o PATH\n"
                               "Writes the default gauge archive (six members) to PATH.\n";

int Fail(const std::string& message, int code) {
    std::fprintf(stderr, "assetgen: %s\n", message.c_str());
    return code;
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string* error) {
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        *error = "cannot create " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        *error = "cannot write " + temporary + ": " + std::strerror(written ? errno : writeErrno);
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg != "-o") {
            std::fputs(kUsage, stderr);
            return Fail("unknown argument '" + arg + "'", 2);
        }
        if (i + 1 >= argc) return Fail("-o needs a path", 2);
        if (!output.empty()) return Fail("-o given twice", 2);
        output = argv[++i];
        if (output.empty()) return Fail("-o path is empty", 2);
    }
    if (output.empty()) {
        std::fputs(kUsage, stderr);
        return Fail("no output path (-o PATH)", 2);
    }
    std::vector<std::uint8_t> zip;
    std::string error;
    if (!assetgen::BuildGaugeArchive(ASSETGEN_FONT, &zip, &error)) return Fail(error, 1);
    if (!WriteFileAtomically(output, zip, &error)) return Fail(error, 1);
    return 0;
}
