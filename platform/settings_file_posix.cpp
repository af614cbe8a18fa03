// The settings writer's file operations over POSIX, for native builds and tests.
#include "settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

void* SettingsFileCreate(const char* fileName) {
    int fd = open(fileName, O_RDWR | O_CREAT | O_TRUNC, 0644);
    // Descriptor + 1, so that descriptor 0 is not mistaken for failure.
    return fd < 0 ? nullptr : reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

namespace {
int Descriptor(void* file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1);
}
} // namespace

void SettingsFileWriteAll(void* file, const char* bytes, size_t length) {
    const int fd = Descriptor(file);
    if (pwrite(fd, bytes, length, 0) < 0) return;
    if (ftruncate(fd, static_cast<off_t>(length)) != 0) return;
}

void SettingsFileClose(void* file) {
    close(Descriptor(file));
}
