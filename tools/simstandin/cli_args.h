// cli_args.h - the small pieces both tool command lines are made of: walking
// "--name value" pairs and reading whole numbers strictly (no sign where none is
// meant, no trailing characters, no silent wrap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Walks argv[1..argc-1].
class ArgWalker {
  public:
    ArgWalker(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}
    // The next argument, false at the end.
    bool Next(std::string_view* argument);
    // The value after the option just returned by Next; false with *error set
    // when the command line ends there.
    bool Value(std::string_view option, std::string_view* value, std::string* error);

  private:
    int argc_;
    const char* const* argv_;
    int next_ = 1;
};

// Decimal, or hexadecimal after "0x": 0 to 0xFFFFFFFF.
bool ParseUnsigned32(std::string_view text, uint32_t* value);
// Hexadecimal with or without "0x".
bool ParseHex32(std::string_view text, uint32_t* value);
// A raw 32-bit value: signed decimal in the int32 range, or a "0x" bit pattern.
bool ParseRaw32(std::string_view text, int32_t* value);

// An option without a value that sets a flag.
struct FlagOption {
    const char* name;
    bool* flag;
};

// Sets the flag named `option` (also "-h" and "/?" for "--help"); false if none is.
bool TakeFlag(std::string_view option, std::initializer_list<FlagOption> flags);

// One word of a fixed set and the value it stands for.
template <typename T> struct NamedValue {
    const char* name;
    T value;
};

template <typename T, size_t N>
bool ParseNamed(std::string_view text, const NamedValue<T> (&names)[N], T* value) {
    for (const NamedValue<T>& named : names) {
        if (text == named.name) {
            *value = named.value;
            return true;
        }
    }
    return false;
}

// "--option: 'text' is not <what>"
std::string BadValue(std::string_view option, std::string_view text, const char* what);
