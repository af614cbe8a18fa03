// The keyboard facility over DirectInput 7, loaded at run time from DINPUT.DLL.
#define DIRECTINPUT_VERSION 0x0700
#include "keyboard.h"

#include <windows.h>

#include <dinput.h>

#include <cstring>

#include "window.h"

namespace {

enum class KeyboardState { Closed, Opened, Bound };

// Non-exclusive, foreground, Windows logo key disabled while acquired.
constexpr DWORD kCooperativeLevel = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY;
static_assert(kCooperativeLevel == 0x16);

using DirectInputCreateExFn = HRESULT(WINAPI*)(HINSTANCE, DWORD, REFIID, LPVOID*, LPUNKNOWN);

HMODULE library;
IDirectInput7A* input;
IDirectInputDevice7A* device;
KeyboardState state = KeyboardState::Closed;
BYTE keys[256];
bool lastSnapshotGood;

// The standard keyboard layout, written out: 256 optional one-byte buttons at
// offsets 0..255, for a state of 256 bytes.
DIOBJECTDATAFORMAT keyObjects[256];
DIDATAFORMAT keyboardFormat;

void BuildKeyboardFormat() {
    for (DWORD i = 0; i < 256; ++i) {
        keyObjects[i].pguid = &GUID_Key;
        keyObjects[i].dwOfs = i;
        keyObjects[i].dwType = DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i);
        keyObjects[i].dwFlags = 0;
    }
    keyboardFormat.dwSize = sizeof(DIDATAFORMAT);
    keyboardFormat.dwObjSize = sizeof(DIOBJECTDATAFORMAT);
    keyboardFormat.dwFlags = DIDF_RELAXIS;
    keyboardFormat.dwDataSize = 256;
    keyboardFormat.dwNumObjs = 256;
    keyboardFormat.rgodf = keyObjects;
}

void ReleaseAll() {
    if (device) {
        device->Unacquire();
        device->Release();
        device = nullptr;
    }
    if (input) {
        input->Release();
        input = nullptr;
    }
    if (library) {
        FreeLibrary(library);
        library = nullptr;
    }
    state = KeyboardState::Closed;
    lastSnapshotGood = false;
}

} // namespace

bool OpenKeyboard() {
    if (state != KeyboardState::Closed) return true;
    library = LoadLibraryA("DINPUT.DLL");
    if (!library) return false;
    auto create = reinterpret_cast<DirectInputCreateExFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "DirectInputCreateEx")));
    BuildKeyboardFormat();
    if (!create ||
        FAILED(create(GetModuleHandleA(nullptr), 0x0700, IID_IDirectInput7A,
                      reinterpret_cast<LPVOID*>(&input), nullptr)) ||
        FAILED(input->CreateDeviceEx(GUID_SysKeyboard, IID_IDirectInputDevice7A,
                                     reinterpret_cast<LPVOID*>(&device), nullptr)) ||
        FAILED(device->SetDataFormat(&keyboardFormat))) {
        ReleaseAll();
        return false;
    }
    state = KeyboardState::Opened;
    return true;
}

bool SnapshotKeyboard() {
    lastSnapshotGood = false;
    if (state == KeyboardState::Closed) return false;
    if (state == KeyboardState::Opened) {
        // Binding and acquisition results are not looked at: a failed
        // acquisition shows as a failed read below.
        device->SetCooperativeLevel(static_cast<HWND>(GaugeWindowHandle()), kCooperativeLevel);
        device->Acquire();
        state = KeyboardState::Bound;
    }
    if (FAILED(device->GetDeviceState(sizeof keys, keys))) {
        state = KeyboardState::Opened;
        return false;
    }
    lastSnapshotGood = true;
    return true;
}

bool IsKeyDown(int32_t scanCode) {
    if (!lastSnapshotGood || scanCode < 0 || scanCode > 255) return false;
    return (keys[scanCode] & 0x80) != 0;
}

void ReleaseKeyboard() {
    ReleaseAll();
}
