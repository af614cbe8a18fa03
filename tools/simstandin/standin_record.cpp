#include "standin_record.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace {

// The next blank-separated field of `line`, or an empty view at its end.
std::string_view NextField(std::string_view* line) {
    while (!line->empty() && line->front() == ' ')
        line->remove_prefix(1);
    const size_t end = line->find(' ');
    const std::string_view field = line->substr(0, end);
    line->remove_prefix(end == std::string_view::npos ? line->size() : end);
    return field;
}

template <typename T> bool ParseField(std::string_view* line, T* value) {
    const std::string_view field = NextField(line);
    T v{};
    auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (field.empty() || ec != std::errc{} || end != field.data() + field.size()) return false;
    *value = v;
    return true;
}

bool ParseLine(std::string_view line, RecordEntry* entry) {
    RecordEntry e;
    if (!ParseField(&line, &e.micros)) return false;
    std::string_view rest = line;
    if (NextField(&rest) == "change") {
        e.change = true;
        line = rest;
        if (!ParseField(&line, &e.pitchRaw) || !ParseField(&line, &e.bankRaw)) return false;
    } else if (!ParseField(&line, &e.bytes) || !ParseField(&line, &e.reads) ||
               !ParseField(&line, &e.writes) || !ParseField(&line, &e.reply)) {
        return false;
    }
    if (!NextField(&line).empty()) return false;
    *entry = e;
    return true;
}

} // namespace

long long MicrosFromTicks(long long ticks, long long perSecond) {
    return (ticks / perSecond) * 1000000 + (ticks % perSecond) * 1000000 / perSecond;
}

std::string ExchangeLine(long long micros, uint64_t bytes, uint32_t reads, uint32_t writes,
                         uint32_t reply) {
    char line[128];
    std::snprintf(line, sizeof line, "%lld %" PRIu64 " %" PRIu32 " %" PRIu32 " %" PRIu32 "\n",
                  micros, bytes, reads, writes, reply);
    return line;
}

std::string ChangeLine(long long micros, int32_t pitchRaw, int32_t bankRaw) {
    char line[96];
    std::snprintf(line, sizeof line, "%lld change %" PRId32 " %" PRId32 "\n", micros, pitchRaw,
                  bankRaw);
    return line;
}

bool ParseStandInRecord(std::string_view text, std::vector<RecordEntry>* entries,
                        std::string* error) {
    std::vector<RecordEntry> parsed;
    size_t lineNumber = 0;
    for (size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        ++lineNumber;
        RecordEntry entry;
        if (!ParseLine(line, &entry)) {
            *error = "line " + std::to_string(lineNumber) + ": '" + std::string(line) +
                     "' is neither \"t_us bytes reads writes reply\" nor \"t_us change "
                     "pitchRaw bankRaw\"";
            return false;
        }
        parsed.push_back(entry);
    }
    *entries = std::move(parsed);
    return true;
}
