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
