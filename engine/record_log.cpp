// The call log of the recording build. See record_log.h.
#include "record_log.h"

#include <cstdio>
#include <cstdlib>

namespace {
std::FILE* logFile = nullptr;
bool logTried = false;
} // namespace

void RecordLine(const char* text) {
    if (!logTried) {
        logTried = true;
        const char* path = std::getenv("HORIZON_ENGINE_LOG");
        if (path != nullptr && path[0] != '\0') logFile = std::fopen(path, "ab");
    }
    if (logFile == nullptr) return;
    std::fprintf(logFile, "%lld %s\n", RecordClockMicros(), text);
    std::fflush(logFile);
}
