// standin_server.h - what simstandin.exe does with one message, apart from finding
// the block: keep the simulator data, serve the batch, misbehave when told to, count.
//
// Pure and portable; the Win32 program around it resolves the atom, maps the block,
// sleeps or hangs, and answers with what ServeMessage returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "attitude_source.h"
#include "standin_options.h"

constexpr size_t kSimDataSize = 0x10000;
// A client's block; the server never walks further even in a larger mapping.
constexpr size_t kServedBlockSize = 0x8000;
constexpr uint32_t kServerVersionOffset = 0x3304;
constexpr uint32_t kSimVersionOffset = 0x3308;
constexpr uint32_t kPitchOffset = 0x0578;
constexpr uint32_t kBankOffset = 0x057C;

struct StandInCounters {
    uint64_t exchanges; // messages whose block was found and served
    uint64_t reads;
    uint64_t writes;
    uint64_t malformed; // served batches that ran off the block or held an unknown type
    uint64_t refused;   // messages whose atom or block could not be found
};

struct StandIn {
    StandInOptions options;
    AttitudeTrack track; // for AttitudeMode::Csv
    uint8_t sim[kSimDataSize];
    StandInCounters counters;
    uint64_t changesRecorded; // steps of AttitudeMode::Steps whose change line is out
};

// Whether the next message meets the misbehaviour options: from exchange number
// --fault-after (counted from 0) on, for --fault-count exchanges or for good.
bool FaultsDue(const StandIn& standIn);

// The attitude the options give `elapsedMicros` after the server's start.
AttitudeRaw CurrentAttitude(const StandIn& standIn, long long elapsedMicros);

// Serves one batch laid in `block` (blockSize bytes readable and writable, of
// which at most kServedBlockSize are used): refreshes the version fields (unless 0)
// and the attitude, carries out the records, applies any tampering, counts, and
// returns the value to answer: 1, the --reply value while faults are due, or 0 for
// a malformed batch (its records before the bad one have been carried out). What
// the walk did goes to *served when it is given.
uint32_t ServeMessage(StandIn* standIn, uint8_t* block, size_t blockSize, long long elapsedMicros,
                      ServeStats* served = nullptr);

// The record's change lines (standin_record.h) of the steps that have begun by
// `elapsedMicros` and were not returned before, for a server started at
// `startMicros` on the record's clock; empty unless the attitude is
// AttitudeMode::Steps. Called before each exchange line is written, it keeps the
// record in time order.
std::string TakeChangeLines(StandIn* standIn, long long startMicros, long long elapsedMicros);

// Counts a message that could not be served and returns the value to answer (0).
uint32_t RefuseMessage(StandIn* standIn);

// "simstandin: exchanges=... reads=... writes=... malformed=... refused=... elapsed=...s"
std::string StatusLine(const StandInCounters& counters, double elapsed);
