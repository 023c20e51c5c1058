// The module's start dialog as a user meets it: its control ids and the
// clicks and typing that put vpihost's options into it, shared by the Linux
// and the Windows desktop (vpihost does not build against the module's
// sources, so the ids stand here once).
#pragma once

#include <windows.h>

#include "cli/Options.h"

namespace vpihost {

constexpr int kPortRadioFirst = 8063;  // COM1; COM2 to COM4 follow
constexpr int kNmeaRadio = 8067;
constexpr int kSonyRadio = 8071;
constexpr int kCenterCheck = 8068;
constexpr int k3DCheck = 8069;
constexpr int kRecordCheck = 8070;
constexpr int kIntervalCombo = 237;
constexpr int kLineSettingsButton = 1000;

void Click(HWND dialog, int id);
bool Checked(HWND dialog, int id);

// Port, receiver type, the three checks and the interval, in the order a
// user would go: a port click forgets configured line settings and a
// receiver click replaces them, so anything about the line comes after.
void ClickOptions(HWND dialog, const Options& options);

}  // namespace vpihost
