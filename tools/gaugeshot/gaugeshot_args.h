// gaugeshot_args.h - the command line of gaugeshot, parsed without side effects.
//
//   gaugeshot [--pitch DEG] [--bank DEG] [--pitch-raw N] [--bank-raw N]
//             [--camera Z] [--archive PATH] [--engine PATH] -o FILE.png
//
// Degrees become raw values with the simulator's convention (raw = -deg * 2^32 /
// 360, rounded); a raw option given after a degree option for the same axis wins,
// and the other way round. Numbers must be whole, finite and in range.
#pragma once

#include <cstdint>
#include <string>

struct GaugeshotArgs {
    int32_t pitchRaw = 0;
    int32_t bankRaw = 0;
    float camera = 450.0f;
    std::string archive; // empty: the gauge's own ./data_horizon_rouleau.zip
    std::string engine;  // empty: the platform's default library name
    std::string output;
    bool help = false;
};

// False with a one-line reason in *error when the arguments are not usable.
bool ParseGaugeshotArgs(int argc, const char* const* argv, GaugeshotArgs* args, std::string* error);

extern const char kGaugeshotUsage[];
