#include "attitude_source.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>

namespace {

constexpr double kFullTurnRaw = 4294967296.0; // 2^32
constexpr double kPi = 3.14159265358979323846;

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// from_chars rather than strtod: the result must not depend on the C locale.
bool ParseNumber(std::string_view text, double* value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return false;
    *value = v;
    return true;
}

// b - a brought into [-180, 180).
double ShortWay(double a, double b) {
    double d = std::fmod(b - a, 360.0);
    if (d >= 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return d;
}

std::string LineError(size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

} // namespace

AttitudeRaw ToRaw(AttitudeDegrees attitude) {
    return {DegreesToRaw(attitude.pitch), DegreesToRaw(attitude.bank)};
}

AttitudeDegrees ScriptedAttitude(double seconds) {
    return {20.0 * std::sin(2.0 * kPi * seconds / 11.0),
            60.0 * std::sin(2.0 * kPi * seconds / 8.0)};
}

AttitudeRaw SteppedAttitude(uint64_t step) {
    // Unsigned arithmetic wraps by definition; the bit pattern is the raw value.
    const uint32_t n = uint32_t(step + 1);
    return {static_cast<int32_t>(n * 1193047u), static_cast<int32_t>(n * (0u - 3579139u))};
}

uint64_t StepAt(uint32_t stepMs, long long elapsedMicros) {
    if (elapsedMicros <= 0) return 0;
    const uint64_t stepMicros = uint64_t(stepMs ? stepMs : 1) * 1000u;
    return uint64_t(elapsedMicros) / stepMicros;
}

long long StepStartMicros(uint32_t stepMs, uint64_t step) {
    return static_cast<long long>(step * uint64_t(stepMs ? stepMs : 1) * 1000u);
}

bool ParseAttitudeCsv(std::string_view text, AttitudeTrack* track, std::string* error) {
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());

    static const char* const kFieldNames[] = {"time", "pitch", "bank"};
    AttitudeTrack parsed;
    bool headerAllowed = true;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        std::string_view line = Trim(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;

        std::string_view fields[3];
        size_t count = 0;
        for (std::string_view rest = line;; ++count) {
            const size_t comma = rest.find(',');
            if (count < 3) fields[count] = Trim(rest.substr(0, comma));
            if (comma == std::string_view::npos) {
                ++count;
                break;
            }
            rest.remove_prefix(comma + 1);
        }

        // A header names its columns; a first value with a digit in it is meant as data.
        const bool header = fields[0].find_first_of("0123456789") == std::string_view::npos;
        if (headerAllowed && header) {
            headerAllowed = false;
            continue;
        }
        headerAllowed = false;
        if (count != 3) {
            *error = LineError(lineNumber, "expected 3 values (time,pitch,bank), found " +
                                               std::to_string(count));
            return false;
        }
        double values[3] = {0, 0, 0};
        for (size_t i = 0; i < 3; ++i) {
            if (!ParseNumber(fields[i], &values[i]) || !std::isfinite(values[i])) {
                *error =
                    LineError(lineNumber, std::string(kFieldNames[i]) + " '" +
                                              std::string(fields[i]) + "' is not a finite number");
                return false;
            }
        }
        if (values[0] < 0) {
            *error = LineError(lineNumber, "time must not be negative");
            return false;
        }
        if (!parsed.empty() && values[0] <= parsed.back().time) {
            *error = LineError(lineNumber, "time " + std::string(fields[0]) +
                                               " is not after the previous sample's");
            return false;
        }
        parsed.push_back({values[0], {values[1], values[2]}});
    }
    if (parsed.empty()) {
        *error = "no samples (expected lines of time,pitch,bank)";
        return false;
    }
    *track = std::move(parsed);
    return true;
}

AttitudeDegrees SampleTrack(const AttitudeTrack& track, double seconds) {
    if (track.empty()) return {0, 0};
    if (!(seconds > track.front().time)) return track.front().attitude;
    if (seconds >= track.back().time) return track.back().attitude;
    const auto after =
        std::upper_bound(track.begin(), track.end(), seconds,
                         [](double t, const AttitudeSample& sample) { return t < sample.time; });
    const AttitudeSample& a = *(after - 1);
    const AttitudeSample& b = *after;
    const double f = (seconds - a.time) / (b.time - a.time);
    return {a.attitude.pitch + f * ShortWay(a.attitude.pitch, b.attitude.pitch),
            a.attitude.bank + f * ShortWay(a.attitude.bank, b.attitude.bank)};
}

bool LoadAttitudeCsv(const std::string& path, AttitudeTrack* track, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    std::string text;
    if (file) text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file || file.bad()) {
        *error = path + ": cannot read the file";
        return false;
    }
    if (!ParseAttitudeCsv(text, track, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}
