// A stand-in engine library for the loader tests: every export of the list,
// each doing nothing, and Engine3DInterfaceVersion returning
// FAKE_INTERFACE_VERSION. The build hides one export or picks a wrong version.
#include "engine3d_export_names.h"

#define FAKE_EXPORT(name)                                                                          \
    extern "C" __attribute__((visibility("default"))) int name() {                                 \
        return 0;                                                                                  \
    }
ENGINE3D_FUNCTIONS(FAKE_EXPORT)

extern "C" __attribute__((visibility("default"))) int Engine3DInterfaceVersion() {
    return FAKE_INTERFACE_VERSION;
}
