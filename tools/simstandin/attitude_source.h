// attitude_source.h - where the stand-in's pitch and bank come from: degrees in the
// simulator's raw angle unit, a scripted manoeuvre, and a replayed CSV track.
//
// Pure and portable: simstandin.exe uses it, the native tests check it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "angle.h" // DegreesToRaw: the simulator's angle unit, shared with the gauge

struct AttitudeDegrees {
    double pitch;
    double bank;
};

struct AttitudeRaw {
    int32_t pitch;
    int32_t bank;
};

AttitudeRaw ToRaw(AttitudeDegrees attitude);

// A smooth manoeuvre for demonstrations and tests: bank swings through +-60 degrees
// every 8 s and pitch through +-20 degrees every 11 s, both level at t = 0. The two
// periods differ so that every combination of the two comes round in time.
AttitudeDegrees ScriptedAttitude(double seconds);

// --attitude steps: a new attitude every stepMs, each one distinct, so that a value
// seen downstream names the moment the server began to serve it. Step k (0 from the
// server's start) holds pitch raw (k + 1) * 1193047 and bank raw (k + 1) * -3579139,
// wrapped to 32 bits: about 0.1 degree more nose-down and 0.3 degree more right bank
// at each step. Both factors are odd, so no value comes back within 2^32 steps.
AttitudeRaw SteppedAttitude(uint64_t step);

// The step in force `elapsedMicros` after the start (step 0 until the first change,
// and before the start), and the moment at which step `step` begins. stepMs is at
// least 1 (0 is taken for 1).
uint64_t StepAt(uint32_t stepMs, long long elapsedMicros);
long long StepStartMicros(uint32_t stepMs, uint64_t step);

struct AttitudeSample {
    double time; // seconds from the start of the replay
    AttitudeDegrees attitude;
};

// Samples in strictly increasing time; never empty once parsed.
using AttitudeTrack = std::vector<AttitudeSample>;

// Parses "time_seconds,pitch_degrees,bank_degrees" lines. Blank lines, lines whose
// first non-blank character is '#', a UTF-8 byte-order mark, CR line ends and
// blanks around values are accepted, and so is one header line before the first
// sample (a line whose first value holds no digit, such as "time_seconds"). Anything else that is
// not three finite numbers, a negative time, a time not after the previous one, or a text with no
// sample at all fails: *error then names the line and the reason, and *track is left unchanged.
bool ParseAttitudeCsv(std::string_view text, AttitudeTrack* track, std::string* error);

// The attitude of the track at `seconds`: the first sample before it starts, the
// last one after it ends, and in between a straight line from one sample to the
// next, each angle taken the short way round (a wrapped angle such as 170 followed
// by -170 cannot say that it meant the long way). Angles are not normalised: 170 to
// -170 passes through 180 and may end beyond it, which DegreesToRaw wraps.
AttitudeDegrees SampleTrack(const AttitudeTrack& track, double seconds);

// Reads and parses a CSV file; *error starts with the file's name.
bool LoadAttitudeCsv(const std::string& path, AttitudeTrack* track, std::string* error);
