// probe_options.h - linkprobe.exe's command line, pure so that it is tried natively.
#pragma once

#include <cstdint>
#include <string>

struct ProbeOptions {
    uint32_t seconds = 5;   // how long to poll
    uint32_t simulator = 0; // passed to IpcOpen: 0 accepts any simulator
    bool bench = false;     // measure instead of polling
    uint32_t count = 10000; // --bench: exchanges of each kind
    bool help = false;
};

// Parses argv[1..argc-1]; on failure false with *error saying which option and why.
bool ParseProbeOptions(int argc, const char* const* argv, ProbeOptions* options,
                       std::string* error);

const char* ProbeUsage();
