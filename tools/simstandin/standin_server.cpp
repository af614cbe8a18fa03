#include "standin_server.h"

#include <cinttypes>
#include <cstdio>

namespace {

void Store32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

bool FaultsDue(const StandIn& standIn) {
    return standIn.counters.exchanges >= standIn.options.faultAfter;
}

AttitudeRaw CurrentAttitude(const StandIn& standIn, double elapsed) {
    switch (standIn.options.attitude) {
    case AttitudeMode::Script:
        return ToRaw(ScriptedAttitude(elapsed));
    case AttitudeMode::Csv:
        return ToRaw(SampleTrack(standIn.track, elapsed));
    case AttitudeMode::Fixed:
        break;
    }
    return {standIn.options.pitchRaw, standIn.options.bankRaw};
}

uint32_t ServeMessage(StandIn* standIn, uint8_t* block, size_t blockSize, double elapsed) {
    const bool faults = FaultsDue(*standIn);
    const StandInOptions& o = standIn->options;
    // Refreshed before every message: a client's handshake write of 2002 lands on the
    // high half of the simulator version, and must not be what a later read finds.
    if (o.serverVersion) Store32(standIn->sim + kServerVersionOffset, o.serverVersion);
    if (o.simVersion) Store32(standIn->sim + kSimVersionOffset, o.simVersion);
    const AttitudeRaw attitude = CurrentAttitude(*standIn, elapsed);
    Store32(standIn->sim + kPitchOffset, static_cast<uint32_t>(attitude.pitch));
    Store32(standIn->sim + kBankOffset, static_cast<uint32_t>(attitude.bank));

    const size_t served = blockSize < kServedBlockSize ? blockSize : kServedBlockSize;
    const ServeStats stats = ServeBatch(block, served, standIn->sim, kSimDataSize);
    StandInCounters& c = standIn->counters;
    ++c.exchanges;
    c.reads += stats.reads;
    c.writes += stats.writes;
    if (stats.malformed) {
        ++c.malformed;
        return 0;
    }
    if (!faults) return 1;
    TamperBatch(block, served, o.tamper);
    return o.reply;
}

uint32_t RefuseMessage(StandIn* standIn) {
    ++standIn->counters.refused;
    return 0;
}

std::string StatusLine(const StandInCounters& c, double elapsed) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "simstandin: exchanges=%" PRIu64 " reads=%" PRIu64 " writes=%" PRIu64
                  " malformed=%" PRIu64 " refused=%" PRIu64 " elapsed=%.3fs",
                  c.exchanges, c.reads, c.writes, c.malformed, c.refused, elapsed);
    return line;
}
