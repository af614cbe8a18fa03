#include "recording_engine.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

#include "engine_api.h"
#include "engine_loader_os.h"

std::vector<std::string> engineCalls;
std::function<void(const std::string&)> engineCallHook;

namespace {

void Append(std::string& out, int v) {
    out += std::to_string(v);
}
void Append(std::string& out, float v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.9g", double(v));
    out += b;
}
void Append(std::string& out, const char* v) {
    out += v ? '"' + std::string(v) + '"' : "null";
}
void Append(std::string& out, void* v) {
    char b[32];
    std::snprintf(b, sizeof b, "%p", v);
    out += v ? b : "null";
}
void Append(std::string& out, int* v) {
    Append(out, static_cast<void*>(v));
}
void Append(std::string& out, unsigned char* v) {
    Append(out, static_cast<void*>(v));
}

uintptr_t KindBase(const char* kind) {
    if (std::strcmp(kind, "TextureID") == 0) return 0x10000;
    if (std::strcmp(kind, "MeshID") == 0) return 0x20000;
    if (std::strcmp(kind, "MaterialID") == 0) return 0x30000;
    return 0x40000;
}

template <typename Fn> struct Recorder;
template <typename R, typename... A> struct Recorder<R (*)(A...)> {
    template <const char* Name> static R Call(A... args) {
        std::string line = std::string(Name) + "(";
        bool first = true;
        ((line += first ? "" : ", ", first = false, Append(line, args)), ...);
        engineCalls.push_back(line + ")");
        if (engineCallHook) engineCallHook(engineCalls.back());
        if constexpr (std::is_same_v<R, void*>) {
            int id = (static_cast<int>(args), ...);
            return reinterpret_cast<void*>(KindBase(Name) + uintptr_t(id));
        } else if constexpr (std::is_same_v<R, const char*>) {
            return "";
        } else {
            return R{};
        }
    }
};

constexpr char kVersionName[] = "Engine3DInterfaceVersion";
int RecordedVersion() {
    return ENGINE3D_INTERFACE_VERSION;
}

#define RECORDING_NAME(name) constexpr char kName_##name[] = #name;
ENGINE3D_FUNCTIONS(RECORDING_NAME)
#undef RECORDING_NAME

template <typename Fn> void* AsSymbol(Fn fn) {
    void* p;
    static_assert(sizeof p == sizeof fn);
    std::memcpy(&p, &fn, sizeof p);
    return p;
}

const std::map<std::string, void*>& Symbols() {
    static const std::map<std::string, void*> symbols = [] {
        std::map<std::string, void*> m;
        m[kVersionName] = AsSymbol(&RecordedVersion);
#define RECORDING_SYMBOL(name)                                                                     \
    m[#name] = AsSymbol(&Recorder<decltype(&::name)>::Call<kName_##name>);
        ENGINE3D_FUNCTIONS(RECORDING_SYMBOL)
#undef RECORDING_SYMBOL
        return m;
    }();
    return symbols;
}

int libraryToken;

} // namespace

std::string RecordedHandle(const char* kind, int id) {
    std::string s;
    Append(s, reinterpret_cast<void*>(KindBase(kind) + uintptr_t(id)));
    return s;
}

void* LoaderOpenLibrary(const char* path, char* reason, std::size_t capacity) {
    if (std::strcmp(path, kRecordingEngine) == 0) return &libraryToken;
    std::snprintf(reason, capacity, "no such library");
    return nullptr;
}

void* LoaderFindSymbol(void*, const char* name) {
    auto it = Symbols().find(name);
    return it == Symbols().end() ? nullptr : it->second;
}

void LoaderCloseLibrary(void*) {}

bool LoaderFileExists(const char* path) {
    return std::strcmp(path, kRecordingEngine) == 0;
}
