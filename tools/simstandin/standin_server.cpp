#include "standin_server.h"

#include <cinttypes>
#include <cstdio>

#include "standin_record.h"

namespace {

void Store32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

} // namespace

bool FaultsDue(const StandIn& standIn) {
    const uint64_t exchange = standIn.counters.exchanges;
    const uint64_t first = standIn.options.faultAfter, count = standIn.options.faultCount;
    return exchange >= first && (count == 0 || exchange - first < count);
}

AttitudeRaw CurrentAttitude(const StandIn& standIn, long long elapsedMicros) {
    const double seconds = double(elapsedMicros) / 1e6;
    switch (standIn.options.attitude) {
    case AttitudeMode::Script:
        return ToRaw(ScriptedAttitude(seconds));
    case AttitudeMode::Csv:
        return ToRaw(SampleTrack(standIn.track, seconds));
    case AttitudeMode::Steps:
        return SteppedAttitude(StepAt(standIn.options.stepMs, elapsedMicros));
    case AttitudeMode::Fixed:
        break;
    }
    return {standIn.options.pitchRaw, standIn.options.bankRaw};
}

std::string TakeChangeLines(StandIn* standIn, long long startMicros, long long elapsedMicros) {
    std::string lines;
    if (standIn->options.attitude != AttitudeMode::Steps) return lines;
    const uint32_t stepMs = standIn->options.stepMs;
    for (const uint64_t now = StepAt(stepMs, elapsedMicros); standIn->changesRecorded <= now;
         ++standIn->changesRecorded) {
        const uint64_t step = standIn->changesRecorded;
        const AttitudeRaw attitude = SteppedAttitude(step);
        lines +=
            ChangeLine(startMicros + StepStartMicros(stepMs, step), attitude.pitch, attitude.bank);
    }
    return lines;
}

uint32_t ServeMessage(StandIn* standIn, uint8_t* block, size_t blockSize, long long elapsedMicros,
                      ServeStats* served) {
    const bool faults = FaultsDue(*standIn);
    const StandInOptions& o = standIn->options;
    // Refreshed before every message: a client's handshake write of 2002 lands on the
    // high half of the simulator version, and must not be what a later read finds.
    if (o.serverVersion) Store32(standIn->sim + kServerVersionOffset, o.serverVersion);
    if (o.simVersion) Store32(standIn->sim + kSimVersionOffset, o.simVersion);
    const AttitudeRaw attitude = CurrentAttitude(*standIn, elapsedMicros);
    Store32(standIn->sim + kPitchOffset, static_cast<uint32_t>(attitude.pitch));
    Store32(standIn->sim + kBankOffset, static_cast<uint32_t>(attitude.bank));

    const size_t usable = blockSize < kServedBlockSize ? blockSize : kServedBlockSize;
    const ServeStats stats = ServeBatch(block, usable, standIn->sim, kSimDataSize);
    if (served) *served = stats;
    StandInCounters& c = standIn->counters;
    ++c.exchanges;
    c.reads += stats.reads;
    c.writes += stats.writes;
    if (stats.malformed) {
        ++c.malformed;
        return 0;
    }
    if (!faults) return 1;
    TamperBatch(block, usable, o.tamper);
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
