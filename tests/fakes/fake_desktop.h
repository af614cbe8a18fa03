// fake_desktop.h - the window layer, keyboard and delay of the gauge program,
// faked for native tests of the main loop and the test keys.
//
// FetchEvent takes queued program events first (the real event queue), then one
// scripted "system message" number, then answers 0. Keys are down while listed
// in fakeKeysDown and the snapshot succeeds. Delays are recorded, not slept.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

struct FakeDesktop {
    std::deque<int32_t> systemMessages;
    int32_t frameX = 0, frameY = 0;
    std::set<int32_t> keysDown;
    bool snapshotFails = false;
    int snapshots = 0;
    std::vector<uint32_t> delays;
    std::vector<std::string> calls; // platform calls in order: "FetchEvent", "Delay 10", ...
};

extern FakeDesktop fakeDesktop;
void ResetFakeDesktop();
