// Control ids of the module's start dialog, as a user (and vpihost playing
// one) meets them. vpihost does not build against the module's sources, so
// they stand here once for both desktops.
#pragma once

namespace vpihost {

constexpr int kPortRadioFirst = 8063;  // COM1; COM2 to COM4 follow
constexpr int kNmeaRadio = 8067;
constexpr int kSonyRadio = 8071;
constexpr int kCenterCheck = 8068;
constexpr int k3DCheck = 8069;
constexpr int kRecordCheck = 8070;
constexpr int kIntervalCombo = 237;
constexpr int kLineSettingsButton = 1000;

}  // namespace vpihost
