// record_log.h's clock on POSIX: CLOCK_MONOTONIC.
#include "record_log.h"

#include <time.h>

long long RecordClockMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
