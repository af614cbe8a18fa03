#include "fake_desktop.h"

#include "delay.h"
#include "event_queue.h"
#include "keyboard.h"
#include "window.h"

FakeDesktop fakeDesktop;

void ResetFakeDesktop() {
    fakeDesktop = FakeDesktop{};
    ClearWindowEvents();
}

bool PlatformInit() {
    return true;
}
bool OpenGaugeWindow(int, int, const char*) {
    return true;
}
void* GaugeWindowHandle() {
    return &fakeDesktop;
}
void* OpenRenderSurface(int, int) {
    return nullptr;
}
void CloseRenderSurface() {}
void DestroyGaugeWindow() {}
void ShowMessageBox(const char*, const char*) {}

int32_t FetchEvent() {
    fakeDesktop.calls.push_back("FetchEvent");
    WindowEvent event;
    if (TakeWindowEvent(&event)) return event.code;
    if (fakeDesktop.systemMessages.empty()) return 0;
    int32_t message = fakeDesktop.systemMessages.front();
    fakeDesktop.systemMessages.pop_front();
    return message;
}

void GaugeFramePosition(int32_t* x, int32_t* y) {
    *x = fakeDesktop.frameX;
    *y = fakeDesktop.frameY;
}

bool OpenKeyboard() {
    return true;
}
bool SnapshotKeyboard() {
    fakeDesktop.calls.push_back("SnapshotKeyboard");
    ++fakeDesktop.snapshots;
    return !fakeDesktop.snapshotFails;
}
bool IsKeyDown(int32_t scanCode) {
    return !fakeDesktop.snapshotFails && fakeDesktop.keysDown.count(scanCode) > 0;
}
void ReleaseKeyboard() {}

void Delay(uint32_t milliseconds) {
    fakeDesktop.calls.push_back("Delay " + std::to_string(milliseconds));
    fakeDesktop.delays.push_back(milliseconds);
}
