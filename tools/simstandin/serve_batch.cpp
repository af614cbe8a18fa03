#include "serve_batch.h"

#include <cstring>

namespace {

uint32_t Load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Store32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Copies n bytes of simulator data starting at offset, zero where it runs past the end.
void ReadSim(const uint8_t* sim, size_t simSize, uint64_t offset, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint64_t at = offset + i;
        out[i] = at < simSize ? sim[at] : 0;
    }
}

void WriteSim(uint8_t* sim, size_t simSize, uint64_t offset, const uint8_t* in, size_t n) {
    if (offset >= simSize) return;
    size_t room = size_t(simSize - offset);
    std::memcpy(sim + offset, in, n < room ? n : room);
}

} // namespace

ServeStats ServeBatch(uint8_t* block, size_t blockSize, uint8_t* simData, size_t simSize) {
    ServeStats stats{};
    size_t at = 0;
    for (;;) {
        stats.bytes = at;
        if (blockSize - at < 4) {
            stats.malformed = true;
            return stats;
        }
        uint32_t type = Load32(block + at);
        if (type == 0) {
            stats.bytes += 4;
            return stats;
        }
        uint64_t header = type == 1 ? 16 : 12;
        if ((type != 1 && type != 2) || blockSize - at < header) {
            stats.malformed = true;
            return stats;
        }
        uint32_t offset = Load32(block + at + 4);
        uint64_t size = Load32(block + at + 8);
        if (size > blockSize - at - header) {
            stats.malformed = true;
            return stats;
        }
        uint8_t* data = block + at + header;
        if (type == 1) {
            ReadSim(simData, simSize, offset, data, size_t(size));
            ++stats.reads;
        } else {
            WriteSim(simData, simSize, offset, data, size_t(size));
            ++stats.writes;
        }
        at += size_t(header + size);
    }
}

void TamperBatch(uint8_t* block, size_t blockSize, Tamper how) {
    if (blockSize < 16 || how == Tamper::None) return;
    // Find the record boundaries of the batch as it stands.
    size_t starts[3] = {0, 0, 0};
    size_t count = 0, at = 0, end = 0;
    while (blockSize - at >= 16) {
        uint32_t type = Load32(block + at);
        if (type != 1 && type != 2) break;
        uint64_t len = (type == 1 ? 16u : 12u) + uint64_t(Load32(block + at + 8));
        if (len > blockSize - at) break;
        if (count < 3) starts[count] = at;
        ++count;
        at += size_t(len);
    }
    end = at;
    switch (how) {
    case Tamper::None:
        break;
    case Tamper::FirstType:
        if (count > 0) Store32(block + starts[0], 7);
        break;
    case Tamper::FirstSize:
        if (count > 0) Store32(block + starts[0] + 8, 0x7FFFFFFF);
        break;
    case Tamper::EndMarker:
        if (blockSize - end >= 16) {
            Store32(block + end, 1);
            Store32(block + end + 4, 0);
            Store32(block + end + 8, 64);
            Store32(block + end + 12, 1);
        }
        break;
    case Tamper::SecondOffset:
        if (count > 1) Store32(block + starts[1] + 4, Load32(block + starts[1] + 4) ^ 0x40);
        break;
    case Tamper::Garbage:
        for (size_t i = 0; i < count && i < 3; ++i)
            std::memset(block + starts[i], 0xA5, 12);
        break;
    }
}

bool ParseTamper(const char* text, Tamper* how) {
    static const struct {
        const char* name;
        Tamper value;
    } kNames[] = {{"none", Tamper::None},           {"type", Tamper::FirstType},
                  {"size", Tamper::FirstSize},      {"end", Tamper::EndMarker},
                  {"offset", Tamper::SecondOffset}, {"garbage", Tamper::Garbage}};
    for (const auto& n : kNames) {
        if (std::strcmp(n.name, text) == 0) {
            *how = n.value;
            return true;
        }
    }
    return false;
}
