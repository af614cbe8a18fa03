#include "gaugeshot_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "angle.h"

const char kGaugeshotUsage[] =
    "usage: gaugeshot [--pitch DEG] [--bank DEG] [--pitch-raw N] [--bank-raw N]\n"
    "                 [--camera Z] [--archive PATH] [--engine PATH] -o FILE.png\n"
    "Renders the gauge headless at 400 x 400 through the engine library and the\n"
    "gauge's own scene code, and writes the frame as PNG.\n"
    "  --pitch DEG      pitch in degrees, nose-up positive\n"
    "  --bank DEG       bank in degrees, right wing down positive\n"
    "  --pitch-raw N    pitch as the simulator's signed 32-bit raw value\n"
    "  --bank-raw N     bank as the simulator's signed 32-bit raw value\n"
    "  --camera Z       camera z before the frame (default 450)\n"
    "  --archive PATH   gauge archive (default ./data_horizon_rouleau.zip)\n"
    "  --engine PATH    engine library (default Engine3D.dll / libEngine3D.so)\n"
    "  -o FILE.png      where to write the frame\n";

namespace {

bool ParseDouble(const char* text, double* out) {
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool ParseRaw(const char* text, int32_t* out) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 0);
    if (end == text || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(v);
    return true;
}

} // namespace

bool ParseGaugeshotArgs(int argc, const char* const* argv, GaugeshotArgs* args,
                        std::string* error) {
    *args = GaugeshotArgs{};
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "-h" || opt == "--help") {
            args->help = true;
            return true;
        }
        if (i + 1 >= argc) {
            *error = opt.rfind("-", 0) == 0 ? opt + " needs a value" : "unexpected argument " + opt;
            return false;
        }
        const char* value = argv[++i];
        double d = 0;
        bool ok = true;
        if (opt == "--pitch" || opt == "--bank") {
            ok = ParseDouble(value, &d);
            if (ok) (opt == "--pitch" ? args->pitchRaw : args->bankRaw) = DegreesToRaw(d);
        } else if (opt == "--pitch-raw") {
            ok = ParseRaw(value, &args->pitchRaw);
        } else if (opt == "--bank-raw") {
            ok = ParseRaw(value, &args->bankRaw);
        } else if (opt == "--camera") {
            ok = ParseDouble(value, &d) && std::fabs(d) < 1e6;
            args->camera = static_cast<float>(d);
        } else if (opt == "--archive") {
            args->archive = value;
        } else if (opt == "--engine") {
            args->engine = value;
        } else if (opt == "-o" || opt == "--output") {
            args->output = value;
        } else {
            *error = "unknown option " + opt;
            return false;
        }
        if (!ok) {
            *error = "bad value for " + opt + ": " + value;
            return false;
        }
    }
    if (args->output.empty()) {
        *error = "no output file: give -o FILE.png";
        return false;
    }
    return true;
}
