// settings.h - SaveSettings: at each normal exit, "Corvelle.ini" in the working
// directory is replaced by four lines: [system], light = 0, and the window
// frame's last recorded position. The program never reads the file back.
// Every failure is silent and the program ends normally.
#pragma once

void SaveSettings();
