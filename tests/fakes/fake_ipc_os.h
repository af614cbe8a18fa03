// fake_ipc_os.h - an in-process stand-in for the OS operations of the IPC client.
//
// Linked into native test programs in place of ipc_os_win32.cpp. It records every
// call in order, keeps its own atoms and named 32768-byte mappings, and serves
// each sent batch with the same record executor as simstandin.exe (ServeBatch)
// against its own simulator data, unless a test installs another handler.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ipc_os.h"

struct FakeIpcOs {
    // What exists and what fails.
    std::set<std::string> windowClasses{"UIPCMAIN"};
    uint32_t messageId = 0xC123;
    uint32_t processId = 0x2C4;
    bool failAddAtom = false;
    bool failCreateMapping = false;
    bool failMapView = false;
    std::set<std::string> existingMappings; // names some other process created first

    // The server: versions stamped into its data before each batch (0 leaves the
    // field 0), its reply, and how many leading sends fail before one is delivered.
    uint32_t serverVersion = 0x19990005;
    uint32_t simulatorVersion = 0xFADE0000;
    uintptr_t reply = 1;
    int failingSends = 0;
    uint32_t lastError = 0;
    std::vector<uint8_t> simData = std::vector<uint8_t>(0x10000, 0);
    // Replaces the default server when set: called with the block, returns whether
    // the send is delivered and sets the reply.
    std::function<bool(uint8_t* block, uintptr_t* reply)> onSend;

    // What happened.
    std::vector<std::string> calls; // "FindWindow UIPCMAIN", "Send", "Sleep 100", ...
    std::vector<std::vector<uint8_t>>
        sentBatches; // the block's bytes up to and including the end marker
    int sends = 0;
    std::map<uint16_t, std::string> liveAtoms;
    std::set<std::string> liveMappings;
    int liveViews = 0;
    std::vector<uint32_t> sleeps;
    std::vector<std::string> atomNames; // every name an atom was asked for, in order

    // The named mappings' memory, kept alive for the whole test.
    std::map<std::string, std::unique_ptr<uint8_t[]>> memory;

    int CountCalls(const std::string& prefix) const;
};

// The fake the seam talks to; tests reset it (and the client's session) per case.
extern FakeIpcOs* fakeIpc;

// Fresh fake and a zeroed ipcSession (all fields zero, as at process start).
void ResetFakeIpc();

// The default server: stamps the versions, carries out the records, answers `reply`.
bool FakeServe(uint8_t* block, uintptr_t* reply);

// Bytes of a batch as sent: from the block's start through the end marker.
std::vector<uint8_t> BatchBytes(const uint8_t* block);
