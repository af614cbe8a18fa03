// keyboard.h - the keyboard facility: snapshots of all 256 key states, indexed
// by scan code (set-1 make code, +128 for E0-prefixed keys). On Windows it rests
// on DirectInput 7 (keyboard_win32.cpp).
//
// States: Closed (no device: snapshots fail, every key reads up), Opened (device
// ready, not yet bound: the next snapshot binds it to the gauge window with
// non-exclusive foreground access, requests acquisition, then reads), Bound
// (snapshots read; a failed read falls back to Opened). IsKeyDown is false
// whenever the last snapshot failed.
#pragma once

#include <cstdint>

bool OpenKeyboard();
bool SnapshotKeyboard();
bool IsKeyDown(int32_t scanCode);
void ReleaseKeyboard();
