#include "settings.h"

#include "attitude_state.h"
#include "settings_writer.h"

void SaveSettings() {
    SettingsCreate("Corvelle.ini");
    SettingsSelectGroup("system");
    SettingsWriteInt("light", 0);
    SettingsWriteInt("PosWindowX", attitudeState.windowX);
    SettingsWriteInt("PosWindowY", attitudeState.windowY);
    SettingsClose();
}
