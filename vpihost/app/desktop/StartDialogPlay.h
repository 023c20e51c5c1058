// The module's start dialog as a user meets it: its control ids, from the
// module's own resource header, and the clicks and typing that put
// vpihost's options into it, shared by the Linux and the Windows desktop.
#pragma once

#include <windows.h>

#include "DialogClicks.h"
#include "desktop/DialogSettings.h"
#include "ui/resource.h"

namespace vpihost {

constexpr int kPortRadioFirst = IDC_COMM1;  // COM1; COM2 to COM4 follow
static_assert(IDC_COMM2 == IDC_COMM1 + 1 && IDC_COMM3 == IDC_COMM1 + 2 && IDC_COMM4 == IDC_COMM1 + 3,
              "the port buttons are clicked by number");
constexpr int kNmeaRadio = IDC_DEVICE_NMEA;
constexpr int kSonyRadio = IDC_DEVICE_SONY;
constexpr int kCenterCheck = IDC_CENTERING;
constexpr int k3DCheck = IDC_VIEW3D;
constexpr int kRecordCheck = IDC_RECORD;
constexpr int kIntervalCombo = IDC_SAMPLING;
constexpr int kLineSettingsButton = IDC_COMMSETTING;

using dialog_clicks::Checked;
using dialog_clicks::Click;

// Port, receiver type, the three checks and the interval, in the order a
// user would go: a port click forgets configured line settings and a
// receiver click replaces them, so anything about the line comes after.
void ClickOptions(HWND dialog, const DialogSettings& settings);

}  // namespace vpihost
