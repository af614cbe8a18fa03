// The delay facility for native builds: the host's sleep is already fine-grained.
#include "delay.h"

#include <chrono>
#include <thread>

void Delay(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
