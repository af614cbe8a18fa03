// standin_options.h - simstandin.exe's command line. Pure, so that every option and
// every refusal is tried natively.
#pragma once

#include <cstdint>
#include <string>

#include "serve_batch.h"

enum class ServerClasses { Primary, Fallback, Both }; // UIPCMAIN, FS98MAIN, both windows

enum class AttitudeMode { Fixed, Script, Csv, Steps };

struct StandInOptions {
    ServerClasses classes = ServerClasses::Primary;
    uint32_t serverVersion = 0x19990005; // 0: offset 0x3304 is never filled
    uint32_t simVersion = 0xFADE0000;    // 0: offset 0x3308 is never filled
    // Misbehaviour, all of it held back for the first `faultAfter` exchanges so that
    // a client can open its session (the handshake) before the server turns bad, and
    // over after `faultCount` exchanges (0: never over) so that it can come back.
    uint32_t reply = 1;
    uint32_t delayMs = 0;
    bool hang = false;
    Tamper tamper = Tamper::None;
    uint32_t faultAfter = 0;
    uint32_t faultCount = 0;
    // Ending: 0 means never.
    uint32_t quitAfter = 0;
    uint32_t seconds = 0;
    AttitudeMode attitude = AttitudeMode::Fixed;
    int32_t pitchRaw = 0;
    int32_t bankRaw = 0;
    std::string csvPath;
    uint32_t stepMs = 100;  // AttitudeMode::Steps
    std::string recordPath; // empty: no record
    bool verbose = false;
    bool help = false;
};

// Parses argv[1..argc-1]. On failure returns false with *error saying which option
// and why, in one line fit to print after "simstandin: ".
bool ParseStandInOptions(int argc, const char* const* argv, StandInOptions* options,
                         std::string* error);

// The --help text.
const char* StandInUsage();
