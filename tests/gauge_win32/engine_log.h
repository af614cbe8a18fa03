// engine_log.h - reading the recording engine's call log ("t_us Name args...",
// one call per line, texts in double quotes with \ and " escaped) and matching
// calls against expected ones.
//
// Contract
// - ParseEngineLog takes only complete lines (ending in a newline): the last
//   one may still be in the middle of being written. A line that does not
//   start with a number and a name is kept as a call named "?" with the line as
//   its one argument, so that it shows in a failure instead of vanishing.
// - Texts lose their quotes and escapes; "null" stays the bare word null.
// - MatchCall compares a call with an expected "Name arg arg ..." pattern:
//   numbers compare as single floats (the engine logs them with %.9g, which
//   reads back exactly; "-0" equals "0"), "*" is any non-zero handle, a quoted
//   text compares exactly, anything else compares as text.
#pragma once

#include <string>
#include <vector>

struct EngineCall {
    long long micros = 0;
    std::string name;
    std::vector<std::string> args;
    bool quoted[16] = {}; // which of the first 16 args were quoted texts
};

std::vector<EngineCall> ParseEngineLog(const std::string& text);

// The call as one readable line, for failure messages.
std::string Describe(const EngineCall& call);
std::string Describe(const std::vector<EngineCall>& calls, size_t from = 0);

// Empty when the call matches; otherwise what differs.
std::string MatchCall(const EngineCall& call, const std::string& expected);

// A float as the engine logs it ("%.9g"), for comparing a call's text exactly.
std::string LoggedFloat(float value);

// The argument as a single float; false if it is not a number.
bool ArgFloat(const EngineCall& call, size_t index, float* value);
// The argument as an unsigned 64-bit number (decimal or 0x hex); false otherwise.
bool ArgHandle(const EngineCall& call, size_t index, unsigned long long* value);
