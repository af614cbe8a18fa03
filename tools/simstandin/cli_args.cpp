#include "cli_args.h"

#include <charconv>

namespace {

bool ParseBase(std::string_view text, int base, uint64_t limit, uint64_t* value) {
    uint64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || v > limit)
        return false;
    *value = v;
    return true;
}

bool StripHexPrefix(std::string_view* text) {
    if (text->size() > 2 && (*text)[0] == '0' && ((*text)[1] == 'x' || (*text)[1] == 'X')) {
        text->remove_prefix(2);
        return true;
    }
    return false;
}

} // namespace

bool ArgWalker::Next(std::string_view* argument) {
    if (next_ >= argc_) return false;
    *argument = argv_[next_++];
    return true;
}

bool ArgWalker::Value(std::string_view option, std::string_view* value, std::string* error) {
    if (next_ >= argc_) {
        *error = std::string(option) + " needs a value";
        return false;
    }
    *value = argv_[next_++];
    return true;
}

bool TakeFlag(std::string_view option, std::initializer_list<FlagOption> flags) {
    if (option == "-h" || option == "/?") option = "--help";
    for (const FlagOption& f : flags) {
        if (option == f.name) {
            *f.flag = true;
            return true;
        }
    }
    return false;
}

bool ParseUnsigned32(std::string_view text, uint32_t* value) {
    const int base = StripHexPrefix(&text) ? 16 : 10;
    uint64_t v = 0;
    if (!ParseBase(text, base, 0xFFFFFFFFu, &v)) return false;
    *value = uint32_t(v);
    return true;
}

bool ParseHex32(std::string_view text, uint32_t* value) {
    StripHexPrefix(&text);
    uint64_t v = 0;
    if (!ParseBase(text, 16, 0xFFFFFFFFu, &v)) return false;
    *value = uint32_t(v);
    return true;
}

bool ParseRaw32(std::string_view text, int32_t* value) {
    uint64_t v = 0;
    if (StripHexPrefix(&text)) {
        if (!ParseBase(text, 16, 0xFFFFFFFFu, &v)) return false;
        *value = static_cast<int32_t>(uint32_t(v));
        return true;
    }
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (!ParseBase(text, 10, negative ? 0x80000000u : 0x7FFFFFFFu, &v)) return false;
    *value = static_cast<int32_t>(negative ? 0u - uint32_t(v) : uint32_t(v));
    return true;
}

std::string BadValue(std::string_view option, std::string_view text, const char* what) {
    return std::string(option) + ": '" + std::string(text) + "' is not " + what;
}
