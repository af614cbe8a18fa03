#include "probe_options.h"

#include "cli_args.h"

bool ParseProbeOptions(int argc, const char* const* argv, ProbeOptions* options,
                       std::string* error) {
    ProbeOptions o;
    ArgWalker args(argc, argv);
    std::string_view option, value;
    while (args.Next(&option)) {
        if (TakeFlag(option, {{"--help", &o.help}, {"--bench", &o.bench}})) continue;
        uint32_t* field = option == "--seconds"     ? &o.seconds
                          : option == "--simulator" ? &o.simulator
                          : option == "--count"     ? &o.count
                                                    : nullptr;
        if (!field) {
            *error = "unknown option '" + std::string(option) + "' (see --help)";
            return false;
        }
        if (!args.Value(option, &value, error)) return false;
        if (!ParseUnsigned32(value, field) || (field == &o.count && *field == 0)) {
            *error = BadValue(option, value,
                              field == &o.count ? "a whole number from 1 to 4294967295"
                                                : "a whole number from 0 to 4294967295");
            return false;
        }
    }
    *options = o;
    return true;
}

const char* ProbeUsage() {
    return R"(usage: linkprobe.exe [--seconds N] [--simulator ID] [--bench [--count N]]

Opens a session with the simulator's IPC server as the gauge does, prints the
outcome by name and code, the server and simulator versions, then polls pitch and
bank about once a millisecond and prints them in degrees with the exchange rate and
the round-trip median (p50) and p99.

  --seconds N      how long to poll (default 5)
  --simulator ID   the simulator identifier to ask for; 0 accepts any (default 0)
  --bench          instead of polling, time N exchanges of the gauge's poll batch and
                   N bare message round trips with an empty batch, alternating in
                   blocks, and print both medians, p99 and their ratio
  --count N        exchanges of each kind for --bench (default 10000)
  --help           this text

Exit status: 0 when the session opened and every exchange succeeded, 1 otherwise,
2 for a bad command line.
)";
}
