// ipc_test_support.h - what the IPC client tests share: a fixture that leaves the
// process-wide session closed, the gauge's poll batch, and the session's names.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ipc_client.h"
#include "standin_process.h"

// The values a poll's destinations hold before it: an exchange that copies nothing
// leaves them so.
constexpr int32_t kUntouchedPitch = 0x11111111;
constexpr int32_t kUntouchedBank = 0x22222222;
constexpr uint16_t kUntouchedUnused = 0x3333;

struct PollValues {
    int32_t pitch = kUntouchedPitch;
    int32_t bank = kUntouchedBank;
    uint16_t unused = kUntouchedUnused;
};

// Queues the gauge's poll batch (pitch, bank, 2 bytes at 0x0D0C) and exchanges it.
inline bool Poll(PollValues* values, IpcResult* result) {
    return IpcRead(0x0578, 4, &values->pitch, result) &&
           IpcRead(0x057C, 4, &values->bank, result) &&
           IpcRead(0x0D0C, 2, &values->unused, result) && IpcProcess(result);
}

// The name the client gives its block and atom for open number `count`.
inline std::string BlockName(uint32_t count) {
    char name[64];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", unsigned(GetCurrentProcessId()),
                  unsigned(count));
    return name;
}

inline bool MappingExists(const std::string& name) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping) CloseHandle(mapping);
    return mapping != nullptr;
}

// The handles this process holds. Wine 8's GetProcessHandleCount answers 0, so the
// count is taken the slow way: every handle value (a multiple of 4) that the system
// takes for a handle, up to 1024 handles, far above what these tests hold.
inline DWORD HandleCount() {
    DWORD count = 0;
    for (uintptr_t value = 4; value < 4 * 1024; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

inline double SecondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

inline LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

#define ASSERT_SERVER_STARTED(server) ASSERT_TRUE((server).Started()) << (server).Error()

// Every test leaves the one session of the process closed, whatever it asserted.
class IpcLinkTest : public ::testing::Test {
  protected:
    void TearDown() override { IpcClose(); }
    // Starts a server with `args` and opens the session with it.
    void StartAndOpen(const std::vector<std::string>& args) {
        server_ = std::make_unique<StandInProcess>(args);
        ASSERT_SERVER_STARTED(*server_);
        IpcResult result = IpcResult::Ok;
        ASSERT_TRUE(IpcOpen(0, &result)) << IpcResultName(result);
    }
    std::unique_ptr<StandInProcess> server_;
};
