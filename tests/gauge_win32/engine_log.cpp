#include "engine_log.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// Splits the argument part of a line; texts in quotes are one field each.
void SplitArgs(const std::string& text, size_t at, EngineCall* call) {
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ')
            ++at;
        if (at >= text.size()) break;
        std::string field;
        bool quoted = false;
        if (text[at] == '"') {
            quoted = true;
            ++at;
            while (at < text.size() && text[at] != '"') {
                if (text[at] == '\\' && at + 1 < text.size()) ++at;
                field += text[at++];
            }
            ++at; // the closing quote
        } else {
            while (at < text.size() && text[at] != ' ')
                field += text[at++];
        }
        if (call->args.size() < sizeof call->quoted) call->quoted[call->args.size()] = quoted;
        call->args.push_back(field);
    }
}

bool ParseFloat(const std::string& text, float* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE) return false;
    *value = v;
    return true;
}

bool ParseHandle(const std::string& text, unsigned long long* value) {
    if (text.empty() || text[0] == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (end != text.c_str() + text.size() || errno == ERANGE) return false;
    *value = v;
    return true;
}

} // namespace

std::vector<EngineCall> ParseEngineLog(const std::string& text) {
    std::vector<EngineCall> calls;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EngineCall call;
        const size_t space = line.find(' ');
        char* stop = nullptr;
        const long long micros = std::strtoll(line.c_str(), &stop, 10);
        if (space == std::string::npos || stop != line.c_str() + space || space == 0) {
            call.name.push_back('?'); // (assigning "?" trips a false -Wrestrict in GCC 12)
            call.args.push_back(line);
            calls.push_back(call);
            continue;
        }
        call.micros = micros;
        const size_t nameEnd = line.find(' ', space + 1);
        call.name = line.substr(space + 1, nameEnd == std::string::npos ? std::string::npos
                                                                        : nameEnd - space - 1);
        if (nameEnd != std::string::npos) SplitArgs(line, nameEnd + 1, &call);
        calls.push_back(call);
    }
    return calls;
}

std::string Describe(const EngineCall& call) {
    std::string out = std::to_string(call.micros) + " " + call.name;
    for (size_t i = 0; i < call.args.size(); ++i) {
        const bool quoted = i < sizeof call.quoted && call.quoted[i];
        out += quoted ? " \"" + call.args[i] + "\"" : " " + call.args[i];
    }
    return out;
}

std::string Describe(const std::vector<EngineCall>& calls, size_t from) {
    std::string out;
    for (size_t i = from; i < calls.size(); ++i)
        out += "  " + Describe(calls[i]) + "\n";
    return out.empty() ? "  (no calls)\n" : out;
}

std::string MatchCall(const EngineCall& call, const std::string& expected) {
    EngineCall want;
    const size_t space = expected.find(' ');
    want.name = expected.substr(0, space);
    if (space != std::string::npos) SplitArgs(expected, space + 1, &want);
    const std::string mismatch = "expected " + expected + ", got " + Describe(call);
    if (call.name != want.name || call.args.size() != want.args.size()) return mismatch;
    for (size_t i = 0; i < want.args.size(); ++i) {
        const std::string& got = call.args[i];
        const std::string& pattern = want.args[i];
        const bool wantQuoted = i < sizeof want.quoted && want.quoted[i];
        const bool gotQuoted = i < sizeof call.quoted && call.quoted[i];
        if (wantQuoted) {
            if (!gotQuoted || got != pattern) return mismatch;
            continue;
        }
        if (pattern == "*") {
            unsigned long long handle = 0;
            if (gotQuoted || !ParseHandle(got, &handle) || handle == 0) return mismatch;
            continue;
        }
        float a = 0, b = 0;
        if (ParseFloat(pattern, &b)) {
            if (gotQuoted || !ParseFloat(got, &a) || a != b) return mismatch;
            continue;
        }
        if (gotQuoted || got != pattern) return mismatch;
    }
    return "";
}

std::string LoggedFloat(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

bool ArgFloat(const EngineCall& call, size_t index, float* value) {
    return index < call.args.size() && ParseFloat(call.args[index], value);
}

bool ArgHandle(const EngineCall& call, size_t index, unsigned long long* value) {
    return index < call.args.size() && ParseHandle(call.args[index], value);
}
